#!/usr/bin/python
# -*- coding: utf-8 -*-
# Copyright (c) 2026 The Velloran developers
# MIT License (see LICENSE or https://opensource.org/licenses/MIT)
# The host's ODBC configuration as velloran-apply reads it.

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
---
module: info
short_description: The ODBC drivers, translators and data sources installed on a host
description:
  - Runs C(velloran-apply --list --json), a read-only listing of the host's
    ODBC configuration as the installer library sees it (the same reading a
    run compares against), secret values masked as C(********).
  - Needs a velloran-apply that has C(--list); an older one fails the task
    with that reason.
version_added: 2.0.0
extends_documentation_fragment:
  - velloran.odbc.program
attributes:
  check_mode:
    support: full
    description: It only reads.
  diff_mode:
    support: none
    description: It changes nothing.
seealso:
  - module: velloran.odbc.data_source
  - module: velloran.odbc.driver
'''

EXAMPLES = r'''
- name: What is installed
  velloran.odbc.info:
  register: odbc

- name: Sales is there
  ansible.builtin.assert:
    that: "'Sales' in odbc.data_sources | map(attribute='name')"
'''

RETURN = r'''
view:
  description: The ODBC configuration read (C(unixODBC) on Linux).
  returned: success
  type: str
  sample: unixODBC
drivers:
  description: Each installed driver, C(name) and C(attributes).
  returned: success
  type: list
  elements: dict
  sample: [{name: PostgreSQL Unicode, attributes: {Driver: psqlodbcw.so, Setup: libvelloran-setup.so, UsageCount: '1'}}]
translators:
  description: Each installed translator, C(name) and C(attributes).
  returned: success
  type: list
  elements: dict
  sample: []
data_sources:
  description: Each user and system data source, C(name), C(scope) (C(user) or C(system)), C(driver) and C(attributes), secret values masked.
  returned: success
  type: list
  elements: dict
  sample: [{name: Sales, scope: user, driver: PostgreSQL Unicode, attributes: {Port: '5432', PWD: '********'}}]
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.velloran.odbc.plugins.module_utils.velloran import Velloran


def main():
    module = AnsibleModule(
        argument_spec=dict(
            executable=dict(type='path', default='velloran-apply'),
            env=dict(type='dict', default={}),
        ),
        supports_check_mode=True,
    )
    listing = Velloran(module).listing()
    if listing is None:
        module.fail_json(msg='This velloran-apply has no --list (it prints its usage); the info '
                             'module needs a velloran release that lists the configuration')
    module.exit_json(changed=False,
                     view=listing.get('view'),
                     drivers=listing.get('drivers') or [],
                     translators=listing.get('translators') or [],
                     data_sources=listing.get('data_sources') or [])


if __name__ == '__main__':
    main()
