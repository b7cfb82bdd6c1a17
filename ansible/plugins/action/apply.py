# -*- coding: utf-8 -*-
# Copyright (c) 2026 The Velloran developers
# MIT License (see LICENSE or https://opensource.org/licenses/MIT)
# The controller's half of velloran.odbc.apply: a setup file given as src is
# copied into the host's temporary directory and handed to the module as path.

from __future__ import absolute_import, division, print_function
__metaclass__ = type

from ansible.errors import AnsibleError
from ansible.module_utils.common.text.converters import to_native
from ansible.plugins.action import ActionBase


class ActionModule(ActionBase):

    TRANSFERS_FILES = True

    def run(self, tmp=None, task_vars=None):
        # ActionBase sets these per instance; the module runs under async too.
        self._supports_async = True
        self._supports_check_mode = True
        result = super(ActionModule, self).run(tmp, task_vars)
        del tmp
        args = dict(self._task.args)
        src = args.pop('src', None)
        wrap_async = bool(self._task.async_val) and not self._connection.has_native_async
        remote = None
        try:
            if src is not None:
                if args.get('path') is not None:
                    result.update(failed=True, msg='src and path are mutually exclusive')
                    return result
                try:
                    found = self._find_needle('files', src)
                except AnsibleError as e:
                    # Only the first line: the rest speaks of options this module lacks.
                    result.update(failed=True, msg='The setup file %s is not on the controller: %s'
                                  % (src, to_native(e).splitlines()[0]))
                    return result
                # A vault-encrypted file is decrypted into the controller's
                # local temp folder; that copy goes as soon as it is sent.
                local = self._loader.get_real_file(found, decrypt=True)
                try:
                    remote = self._connection._shell.join_path(self._connection._shell.tmpdir,
                                                               'velloran-setup.ini')
                    self._transfer_file(local, remote)
                finally:
                    self._loader.cleanup_tmp_file(local)
                self._fixup_perms2((self._connection._shell.tmpdir, remote))
                args['path'] = remote
            module_result = self._execute_module(module_name='velloran.odbc.apply', module_args=args,
                                                 task_vars=task_vars, wrap_async=wrap_async)
            if remote is not None:
                # The host's copy is removed with the temporary directory:
                # report the file as the play named it.
                if module_result.get('file') == remote:
                    module_result['file'] = src
                cmd = module_result.get('cmd')
                if isinstance(cmd, list) and cmd and cmd[-1] == remote:
                    module_result['cmd'] = cmd[:-1] + [src]
            result.update(module_result)
        finally:
            if not wrap_async:
                # An async job's wrapper removes the directory when it ends.
                self._remove_tmp_path(self._connection._shell.tmpdir)
        return result
