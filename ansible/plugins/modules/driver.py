#!/usr/bin/python
# -*- coding: utf-8 -*-
# Copyright (c) 2026 The Velloran developers
# MIT License (see LICENSE or https://opensource.org/licenses/MIT)
# One ODBC driver as task parameters, installed through velloran-apply.

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
---
module: driver
short_description: Install one ODBC driver
description:
  - Writes a setup file of one driver entry on the host (mode 0600, in a
    private temporary directory, removed when the task ends) and runs
    C(velloran-apply --skip-unchanged --json) on it. The driver is installed
    through the host's installer library (C(SQLInstallDriverEx)) unless it is
    already installed with every attribute as given, so C(UsageCount) does
    not climb on re-runs.
  - Attributes the driver has and the task does not name are kept.
  - Removing a driver is not something a setup file can ask for, so there is
    no I(state=absent). To remove one, remove its data sources with
    M(velloran.odbc.data_source) (I(state=absent)), then run
    C(odbcinst -u -d -n NAME) (with M(ansible.builtin.command)), which
    lowers its C(UsageCount) and removes the section at zero.
version_added: 2.0.0
extends_documentation_fragment:
  - velloran.odbc.program
options:
  name:
    description: The driver's name, its section in C(odbcinst.ini).
    type: str
    required: true
  attributes:
    description:
      - The driver's attributes. C(Driver) (the driver library) and
        C(Setup) (the library that takes data-source requests; velloran's
        C(libvelloran-setup.so) for drivers that ship none, such as Debian's
        psqlODBC) are what a useful driver needs; C(Driver) is required.
    type: dict
    required: true
  state:
    description: Only C(present); see the description for removal.
    type: str
    choices: [present]
    default: present
seealso:
  - module: velloran.odbc.data_source
  - module: velloran.odbc.info
'''

EXAMPLES = r'''
- name: Debian's psqlODBC, with velloran's setup library for its data sources
  velloran.odbc.driver:
    name: PostgreSQL Unicode
    attributes:
      Description: PostgreSQL ODBC driver (Unicode)
      Driver: /usr/lib/x86_64-linux-gnu/odbc/psqlodbcw.so
      Setup: /usr/lib/x86_64-linux-gnu/odbc/libvelloran-setup.so
'''

RETURN = r'''
entries:
  description:
    - velloran-apply's report of the driver's entry, as M(velloran.odbc.apply) describes it.
    - The task also returns C(cmd), C(rc), C(stderr) and C(lost) as M(velloran.odbc.apply) does.
  returned: when the program ran and reported
  type: list
  elements: dict
  sample:
    - {phase: driver, index: 1, key: Driver1, name: PostgreSQL Unicode, outcome: installed,
       changed: true, failed: false, errors: [],
       changes: [{key: Driver, before: null, after: /usr/lib/x86_64-linux-gnu/odbc/psqlodbcw.so}]}
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.velloran.odbc.plugins.module_utils.velloran import (
    Velloran, attribute_list, check_text, finish, quote, remove_setup_file, secret_values,
    write_setup_file)


def main():
    module = AnsibleModule(
        argument_spec=dict(
            name=dict(type='str', required=True),
            attributes=dict(type='dict', required=True),
            state=dict(type='str', choices=['present'], default='present'),
            executable=dict(type='path', default='velloran-apply'),
            env=dict(type='dict', default={}),
        ),
        supports_check_mode=True,
    )
    attributes = module.params['attributes'] or {}
    secret_values(module, attributes)
    name = check_text(module, 'The driver name', module.params['name'])
    if not name or '[' in name or ']' in name:
        module.fail_json(msg='The driver name %s cannot be stored: not empty, without [ or ]'
                             % quote(name))
    keys = dict((k.strip().lower(), k) for k in attributes)
    if not attributes.get(keys.get('driver')):
        module.fail_json(msg='attributes: Driver (the driver library) is required')
    if not attributes.get(keys.get('setup')):
        module.warn('No Setup library: data sources of %s cannot be added through the installer'
                    % quote(name))
    pairs = sorted(attributes.items(), key=lambda kv: kv[0].lower())
    text = '[Drivers]\nDriver1=%s\\0%s\n' % (name, attribute_list(module, pairs))
    program = Velloran(module)
    folder, path = write_setup_file(module, text)
    try:
        result, report = program.apply(path, module.check_mode, True)
    finally:
        remove_setup_file(folder)
    finish(module, result, report, module.check_mode, module._diff)


if __name__ == '__main__':
    main()
