#!/usr/bin/python
# -*- coding: utf-8 -*-
# Copyright (c) 2026 The Velloran developers
# MIT License (see LICENSE or https://opensource.org/licenses/MIT)
# Runs velloran-apply on the host and turns its JSON report into Ansible's
# changed/failed/diff, so a play can set up ODBC from one setup file.

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
---
module: apply
short_description: Set up ODBC drivers and data sources from a velloran setup file
description:
  - Runs C(velloran-apply --json) on a setup file. The program installs the
    driver manager, translators and drivers, and adds, configures or removes
    data sources through the host's own ODBC installer library, so each
    driver's own setup library does its part.
  - The task is changed when velloran-apply reports an entry C(changed)
    (its outcome changed the configuration or, in check mode, would change
    it). It needs a velloran-apply that reports C(changed) and C(failed) per
    entry; an older one fails the task with a message to upgrade it.
  - The task fails when an installer call fails, or when the run lost a
    section it did not ask to change; the message names every failed entry
    with the installer's own text. Entries after a failed one are still
    applied.
  - In check mode the program runs with C(--check) (and C(--skip-unchanged)
    when I(skip_unchanged) is set, so the check predicts the run it stands
    for) and writes nothing.
  - This module was called C(velloran.odbc.setup) before 2.0.0; that name
    hid C(ansible.builtin.setup) in plays that list the collection.
version_added: 1.0.0
extends_documentation_fragment:
  - velloran.odbc.program
options:
  src:
    description:
      - A setup file on the controller, vault-encrypted or not. It is copied
        to the host's temporary directory for the run and removed
        afterwards; a decrypted copy on the controller is removed at once.
      - Looked for in the role's or play's C(files) directory when relative.
      - Exactly one of I(src) and I(path) is given.
    type: path
  path:
    description:
      - A setup file already on the host.
      - Exactly one of I(src) and I(path) is given.
    type: path
  skip_unchanged:
    description:
      - Run with C(--skip-unchanged), so entries already in place make no
        installer call. Without it a re-run installs each driver again and
        its C(UsageCount) grows.
    type: bool
    default: true
attributes:
  action:
    support: full
    description: The action plugin copies I(src) to the host.
  async:
    support: full
    description: With I(src), the host's copy goes when the job ends.
notes:
  - The installer reads C(ODBCSYSINI) and C(ODBCINI) from the environment;
    unixODBC keeps user data sources in the account's home from the password
    database unless C(ODBCINI) names a file.
  - Secret values (C(PWD) and keys holding C(PASSWORD), C(PASSWD), C(SECRET)
    or C(TOKEN), and a few credential keys) come from velloran-apply masked
    as C(********).
  - On Windows hosts the same program is C(velloran-apply.exe); this module
    is for POSIX hosts.
seealso:
  - module: velloran.odbc.data_source
  - module: velloran.odbc.driver
  - module: velloran.odbc.info
'''

EXAMPLES = r'''
- name: Set up the Sales data source from a file on the controller
  velloran.odbc.apply:
    src: files/sales.ini

- name: The same, into a configuration of its own
  velloran.odbc.apply:
    path: /srv/setup/sales.ini
    env:
      ODBCSYSINI: /srv/odbc
      ODBCINI: /srv/odbc/user.ini

- name: Install every driver again, as velloran does (UsageCount grows)
  velloran.odbc.apply:
    path: /srv/setup/sales.ini
    skip_unchanged: false
'''

RETURN = r'''
entries:
  description:
    - One item per entry the run attempted or would attempt, in the run's
      order, exactly as velloran-apply reports it.
    - Each has C(phase) (C(manager), C(translator), C(driver) or
      C(datasource)), C(index), C(key), C(name), C(request) (data sources),
      C(outcome) (velloran-apply's word for it), C(changed) and C(failed)
      (whether the outcome is, or in check mode would be, a change and a
      failure; the task's changed and failed come from these), C(errors) (a
      list of C(code) and C(message); code 0 is velloran-apply's own reason)
      and C(changes) (a list of C(key), C(before), C(after); secret values
      masked).
  returned: when the program ran and reported
  type: list
  elements: dict
  sample:
    - phase: driver
      index: 1
      key: Driver1
      name: SQLite3
      outcome: installed
      changed: true
      failed: false
      errors: []
      changes: [{key: Driver, before: null, after: /usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so}]
lost:
  description: Sections the run did not ask to change that changed or vanished (each C(file), C(section)); any fails the task.
  returned: when the program ran and reported
  type: list
  elements: dict
  sample: []
mode:
  description: C(apply), or C(check) in check mode.
  returned: when the program ran and reported
  type: str
  sample: apply
file:
  description: The setup file, I(src) as given when the file came from the controller.
  returned: when the program ran and reported
  type: str
  sample: /srv/setup/sales.ini
failed_count:
  description: How many entries failed (the program's C(failed) count).
  returned: when the program ran and reported
  type: int
  sample: 0
interrupted:
  description: The signal that ended the run; the task fails.
  returned: when a signal ended the run
  type: str
  sample: SIGTERM
rc:
  description: The program's exit status (0 nothing failed or nothing would change, 1 a failure or a change to come, 2 the file cannot be read).
  returned: when the program ran
  type: int
  sample: 0
cmd:
  description: The command that was run; with I(src), its last element is I(src) as given, since the host's copy is gone.
  returned: when the program ran
  type: list
  elements: str
  sample: [/usr/bin/velloran-apply, --json, --skip-unchanged, /srv/setup/sales.ini]
stderr:
  description: What the program wrote to standard error.
  returned: when the program ran
  type: str
  sample: ''
stdout:
  description: What the program wrote to standard output, when it was not a JSON report.
  returned: when the program gave no report
  type: str
  sample: 'usage: velloran-apply ...'
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.velloran.odbc.plugins.module_utils.velloran import Velloran, finish


def main():
    module = AnsibleModule(
        argument_spec=dict(
            src=dict(type='path'),
            path=dict(type='path'),
            skip_unchanged=dict(type='bool', default=True),
            executable=dict(type='path', default='velloran-apply'),
            env=dict(type='dict', default={}),
        ),
        mutually_exclusive=[('src', 'path')],
        required_one_of=[('src', 'path')],
        supports_check_mode=True,
    )
    if module.params['src'] is not None:
        # The action plugin copies src to the host and passes path instead.
        module.fail_json(msg='src names a file on the controller and needs the velloran.odbc.apply '
                             'action plugin; call the module by its collection name.')
    program = Velloran(module)
    result, report = program.apply(module.params['path'], module.check_mode,
                                   module.params['skip_unchanged'])
    finish(module, result, report, module.check_mode, module._diff)


if __name__ == '__main__':
    main()
