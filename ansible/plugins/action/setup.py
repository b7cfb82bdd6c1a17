# -*- coding: utf-8 -*-
# The controller's half of velloran.odbc.setup: a setup file given as src is
# copied into the host's temporary directory and handed to the module as path.

from __future__ import absolute_import, division, print_function
__metaclass__ = type

import os

from ansible.errors import AnsibleError
from ansible.module_utils.common.text.converters import to_native
from ansible.plugins.action import ActionBase


class ActionModule(ActionBase):

    TRANSFERS_FILES = True

    def run(self, tmp=None, task_vars=None):
        result = super(ActionModule, self).run(tmp, task_vars)
        del tmp
        args = dict(self._task.args)
        src = args.pop('src', None)
        try:
            if src is not None:
                if args.get('path') is not None:
                    result.update(failed=True, msg='src and path are mutually exclusive')
                    return result
                try:
                    local = self._loader.get_real_file(self._find_needle('files', src), decrypt=True)
                except AnsibleError as e:
                    # Only the first line: the rest speaks of options this module lacks.
                    result.update(failed=True, msg='The setup file %s is not on the controller: %s'
                                  % (src, to_native(e).splitlines()[0]))
                    return result
                remote = self._connection._shell.join_path(self._connection._shell.tmpdir,
                                                           os.path.basename(local))
                self._transfer_file(local, remote)
                self._fixup_perms2((self._connection._shell.tmpdir, remote))
                args['path'] = remote
            result.update(self._execute_module(module_name='velloran.odbc.setup',
                                               module_args=args, task_vars=task_vars))
        finally:
            self._remove_tmp_path(self._connection._shell.tmpdir)
        return result
