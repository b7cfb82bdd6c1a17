#!/usr/bin/python
# -*- coding: utf-8 -*-
# Copyright (c) 2026 The Velloran developers
# MIT License (see LICENSE or https://opensource.org/licenses/MIT)
# One ODBC data source as task parameters: a one-entry setup file on the
# host, run through velloran-apply, so the driver's setup library does the
# work as it would for a setup file.

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
---
module: data_source
short_description: Add, configure or remove one ODBC data source
description:
  - Writes a setup file of one data-source entry on the host (mode 0600, in
    a private temporary directory, removed when the task ends) and runs
    C(velloran-apply --skip-unchanged --json) on it, so the data source goes
    through the driver's own setup library (its C(Setup=)) as a setup file
    would, and a data source already as asked makes no installer call.
  - I(state=present) on a data source that does not exist uses the add
    request (C(ODBC_ADD_SYS_DSN) or C(ODBC_ADD_DSN)). On one that exists it
    uses the configure request (C(ODBC_CONFIG_SYS_DSN) or
    C(ODBC_CONFIG_DSN)), because an add replaces the whole data source,
    dropping every attribute it does not name (a C(PWD) or C(TraceFile) set
    by hand), while a configure changes only the attributes given and keeps
    the rest.
  - Whether it exists is read with C(velloran-apply --list). With a
    velloran-apply that has no C(--list), a C(--check) of the configure
    request tells it instead (a configure of a missing data source is
    predicted to fail).
  - A data source bound to another driver than I(driver) is not changed (a
    configure cannot rebind it); the task fails and says to remove it first.
  - I(state=absent) uses the remove request; a data source that is not there
    is left alone.
version_added: 2.0.0
extends_documentation_fragment:
  - velloran.odbc.program
options:
  name:
    description: The data source's name (C(DSN)), at most 32 characters.
    type: str
    required: true
  driver:
    description:
      - The installed driver's name, as in C(odbcinst.ini) (see
        M(velloran.odbc.driver)). Its C(Setup=) library takes the request.
      - Required with I(state=present). With I(state=absent) the driver the
        data source is bound to is read with C(velloran-apply --list) when
        not given.
    type: str
  attributes:
    description:
      - The data source's attributes, such as C(Database), C(Servername),
        C(Port). Values are written as text (C(true)/C(false) as C(Yes)/C(No)).
      - Values of secret keys (C(PWD), and keys holding C(PASSWORD),
        C(PASSWD), C(SECRET) or C(TOKEN)) are kept out of the task's output.
    type: dict
    default: {}
  password:
    description:
      - The password, stored as the C(PWD) attribute (see I(password_key)).
        It never appears in the task's output, its diff or velloran-apply's
        report.
      - Give it either here or under its key in I(attributes), not both.
      - On Linux the system C(odbc.ini) is readable by every local user; a
        password belongs in a I(scope=user) data source.
    type: str
  password_key:
    description:
      - The attribute I(password) is stored as. C(PWD) is ODBC's own keyword;
        some drivers read another key from C(odbc.ini), such as psqlODBC,
        which reads C(Password) (and C(Username) for the user).
      - Must be a key velloran treats as secret (C(PWD), or one holding
        C(PASSWORD), C(PASSWD), C(SECRET) or C(TOKEN)), so its value is masked
        in every output.
    type: str
    default: PWD
  scope:
    description: C(system) (every user of the host) or C(user) (the account the task runs as, or C(ODBCINI)).
    type: str
    choices: [system, user]
    default: system
  state:
    description: C(present) adds or configures it; C(absent) removes it.
    type: str
    choices: [present, absent]
    default: present
seealso:
  - module: velloran.odbc.driver
  - module: velloran.odbc.info
  - module: velloran.odbc.apply
'''

EXAMPLES = r'''
- name: The Sales data source on PostgreSQL, for the deploying account
  velloran.odbc.data_source:
    name: Sales
    driver: PostgreSQL Unicode
    scope: user
    attributes:
      Servername: db.example.com
      Port: 5432
      Database: sales
      Username: sales_app
    password: "{{ vault_sales_password }}"
    password_key: Password            # psqlODBC reads Password, not PWD

- name: No more Archive
  velloran.odbc.data_source:
    name: Archive
    state: absent
'''

RETURN = r'''
request:
  description: The request the entry used.
  returned: when the program ran
  type: str
  sample: ODBC_CONFIG_SYS_DSN
entries:
  description:
    - velloran-apply's report of the data source's entry, as M(velloran.odbc.apply) describes it.
    - The task also returns C(cmd), C(rc), C(stderr) and C(lost) as M(velloran.odbc.apply) does.
  returned: when the program ran and reported
  type: list
  elements: dict
  sample:
    - {phase: datasource, index: 1, key: DSDriver1, name: Sales,
       request: {keyword: ODBC_CONFIG_DSN, code: 2}, outcome: configured, changed: true,
       failed: false, errors: [],
       changes: [{key: Port, before: '5432', after: '5433'}, {key: PWD, before: '********', after: '********'}]}
'''

from ansible.module_utils.basic import AnsibleModule
from ansible.module_utils.common.text.converters import to_text
from ansible_collections.velloran.odbc.plugins.module_utils.velloran import (
    MASK, Velloran, attribute_list, check_text, finish, is_secret, quote,
    remove_setup_file, secret_values, write_setup_file)

REQUESTS = {
    ('add', 'system'): 'ODBC_ADD_SYS_DSN', ('add', 'user'): 'ODBC_ADD_DSN',
    ('configure', 'system'): 'ODBC_CONFIG_SYS_DSN', ('configure', 'user'): 'ODBC_CONFIG_DSN',
    ('remove', 'system'): 'ODBC_REMOVE_SYS_DSN', ('remove', 'user'): 'ODBC_REMOVE_DSN',
}


def setup_text(module, driver, name, attributes, request):
    pairs = [('DSN', name)] + [(k, v) for k, v in attributes if k.lower() != 'dsn']
    return ('[Data Sources]\nDSDriver1=%s\nDSAttrib1=%s\nDSRequest1=%s\n'
            % (driver, attribute_list(module, pairs), request))


def run_entry(module, program, driver, name, attributes, request, check):
    folder, path = write_setup_file(module, setup_text(module, driver, name, attributes, request))
    try:
        return program.apply(path, check, True)
    finally:
        remove_setup_file(folder)


def predict_without_driver(module, name, driver, attributes, request):
    """Check mode, the driver not installed yet: the add as the parameters
    ask for it, secrets masked."""
    result = dict(changed=True, request=request, entries=[],
                  msg='The driver %s is not installed yet; once it is, the data source would be '
                      'added with these attributes' % quote(driver))
    module.warn(result['msg'])
    if module._diff:
        lines = ''.join('%s=%s\n' % (k, MASK if is_secret(k) else v) for k, v in attributes)
        header = 'datasource %s' % name
        result['diff'] = [{'before_header': header, 'after_header': header,
                           'before': '', 'after': '[%s]\n%s' % (name, lines)}]
    module.exit_json(**result)


def main():
    module = AnsibleModule(
        argument_spec=dict(
            name=dict(type='str', required=True),
            driver=dict(type='str'),
            attributes=dict(type='dict', default={}),
            password=dict(type='str', no_log=True),
            password_key=dict(type='str', default='PWD', no_log=False),
            scope=dict(type='str', choices=['system', 'user'], default='system'),
            state=dict(type='str', choices=['present', 'absent'], default='present'),
            executable=dict(type='path', default='velloran-apply'),
            env=dict(type='dict', default={}),
        ),
        required_if=[('state', 'present', ('driver',))],
        supports_check_mode=True,
    )
    params = module.params
    given = params['attributes'] or {}
    secret_values(module, given)
    name = check_text(module, 'The data source name', params['name'])
    if not name or len(name) > 32 or '[' in name or ']' in name:
        module.fail_json(msg='The data source name %s cannot be stored: 1 to 32 characters, '
                             'without [ or ]' % quote(name))
    for key in given:
        if key.strip().lower() == 'dsn':
            module.fail_json(msg='attributes: DSN is the name option')
        if key.strip().lower() == 'driver':
            module.fail_json(msg='attributes: Driver is the driver option')
    attributes = sorted(given.items(), key=lambda kv: kv[0].lower())
    if params['password'] is not None:
        key = params['password_key']
        if not is_secret(key):
            module.fail_json(msg='password_key %s is not a secret key, so velloran-apply would show '
                                 'the password; use PWD or a key holding PASSWORD' % quote(key))
        if any(k.strip().lower() == key.strip().lower() for k in given):
            module.fail_json(msg='Give the password as password or as %s in attributes, not both'
                                 % key)
        attributes.append((key, params['password']))
    scope = params['scope']
    program = Velloran(module)
    driver = params['driver']

    if params['state'] == 'absent':
        listing = program.listing()
        bound = None
        exists = True
        if listing is not None:
            found = [d for d in listing.get('data_sources') or []
                     if d.get('scope') == scope and to_text(d.get('name', '')).lower() == name.lower()]
            exists = bool(found)
            bound = found[0].get('driver') if found else None
        if not exists:
            module.exit_json(changed=False, request=REQUESTS[('remove', scope)], entries=[],
                             msg='%s is not a %s data source' % (quote(name), scope))
        driver = driver or bound
        if not driver:
            module.fail_json(msg='driver is required to remove a data source with a velloran-apply '
                                 'that has no --list')
        request = REQUESTS[('remove', scope)]
        result, report = run_entry(module, program, driver, name, [], request, module.check_mode)
        result['request'] = request
        finish(module, result, report, module.check_mode, module._diff)

    listing = program.listing()
    if listing is not None:
        found = [d for d in listing.get('data_sources') or []
                 if d.get('scope') == scope and to_text(d.get('name', '')).lower() == name.lower()]
        if found and to_text(found[0].get('driver', '')).lower() != driver.lower():
            module.fail_json(msg='The %s data source %s is bound to the driver %s, not %s; a '
                                 'configure cannot rebind it: remove it first (state: absent), '
                                 'then add it again' % (scope, quote(name),
                                                        quote(found[0].get('driver', '')),
                                                        quote(driver)))
        action = 'configure' if found else 'add'
        drivers = [to_text(d.get('name', '')).lower() for d in listing.get('drivers') or []]
        if module.check_mode and not found and driver.lower() not in drivers:
            # A driver task before this one would install it; velloran-apply
            # can only say that the add fails without it.
            predict_without_driver(module, name, driver, attributes, REQUESTS[(action, scope)])
    else:
        # No --list: a configure of a data source that is not there is
        # predicted to fail, which tells whether it exists.
        request = REQUESTS[('configure', scope)]
        probe, report = run_entry(module, program, driver, name, attributes, request, True)
        entries = report['entries']
        action = 'add' if entries and entries[0]['failed'] else 'configure'
        if module.check_mode and action == 'configure':
            # The probe was the check of this very request.
            probe['request'] = request
            finish(module, probe, report, True, module._diff)
    request = REQUESTS[(action, scope)]
    if params['password'] is not None and scope == 'system':
        module.warn('The password goes into the system odbc.ini, which every local user can read; '
                    'scope: user keeps it in the account\'s own file.')
    result, report = run_entry(module, program, driver, name, attributes, request, module.check_mode)
    result['request'] = request
    finish(module, result, report, module.check_mode, module._diff)


if __name__ == '__main__':
    main()
