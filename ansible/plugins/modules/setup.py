#!/usr/bin/python
# -*- coding: utf-8 -*-
# Runs velloran-apply on the host and turns its JSON report into Ansible's
# changed/failed/diff, so a play can set up ODBC from one setup file.

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
---
module: setup
short_description: Set up ODBC drivers and data sources from a velloran setup file
description:
  - Runs C(velloran-apply --json) on a setup file. The program installs the
    driver manager, translators and drivers, and adds, configures or removes
    data sources through the host's own ODBC installer library, so each
    driver's own setup library does its part and nothing else in the host's
    configuration is overwritten.
  - The task is changed when any entry of the setup file was (or, in check
    mode, would be) installed, added, configured or removed.
  - The task fails when an installer call fails; the message names every
    failed entry with the installer's own text. Entries after a failed one
    are still applied.
  - In check mode the program runs with C(--check) and writes nothing.
version_added: 1.0.0
author:
  - Velloran maintainers (@velloran)
options:
  src:
    description:
      - A setup file on the controller. It is copied to the host for the run
        and removed afterwards.
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
  executable:
    description:
      - The program to run, a path or a name looked for in C(PATH).
    type: str
    default: velloran-apply
  env:
    description:
      - Environment variables for the program, the way the task keyword
        C(environment) sets them, typically C(ODBCSYSINI) (the directory of
        C(odbcinst.ini) and the system C(odbc.ini)), C(ODBCINI) (the user's
        C(odbc.ini)) and C(HOME).
      - Values given here win over the task's C(environment).
    type: dict
    default: {}
attributes:
  check_mode:
    support: full
    description: Runs the program with C(--check); nothing is written.
  diff_mode:
    support: full
    description: One before/after pair per entry that changes or would change.
  platform:
    support: full
    platforms: posix
    description: Runs on POSIX hosts that have velloran-apply.
notes:
  - The installer reads C(ODBCSYSINI) and C(ODBCINI) from the environment;
    unixODBC keeps user data sources in the account's home from the password
    database unless C(ODBCINI) names a file.
  - On Windows hosts the same program is C(velloran-apply.exe); this module
    is for POSIX hosts.
'''

EXAMPLES = r'''
- name: Set up the Sales data source from a file on the controller
  velloran.odbc.setup:
    src: files/sales.ini

- name: The same, into a configuration of its own
  velloran.odbc.setup:
    path: /srv/setup/sales.ini
    env:
      ODBCSYSINI: /srv/odbc
      ODBCINI: /srv/odbc/user.ini

- name: Install every driver again, as velloran does (UsageCount grows)
  velloran.odbc.setup:
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
      C(outcome) and C(errors) (a list of C(code) and C(message) from the
      installer).
  returned: when the program ran and reported
  type: list
  elements: dict
  sample:
    - phase: driver
      index: 1
      key: Driver1
      name: SQLite3
      outcome: installed
      errors: []
mode:
  description: C(apply), or C(check) in check mode.
  returned: when the program ran and reported
  type: str
  sample: apply
file:
  description: The setup file the program read.
  returned: when the program ran and reported
  type: str
  sample: /srv/setup/sales.ini
failed_count:
  description: How many entries failed (the program's C(failed) count).
  returned: when the program ran and reported
  type: int
  sample: 0
rc:
  description: The program's exit status (0 nothing failed or nothing would change, 1 a failure or a change to come, 2 the file cannot be read).
  returned: when the program ran
  type: int
  sample: 0
cmd:
  description: The command that was run.
  returned: when the program ran
  type: list
  elements: str
  sample: [/usr/bin/velloran-apply, --json, --skip-unchanged, /srv/setup/sales.ini]
stderr:
  description: What the program wrote to standard error.
  returned: when the program ran
  type: str
  sample: ''
'''

import json
import os

from ansible.module_utils.basic import AnsibleModule
from ansible.module_utils.common.text.converters import to_native

# Outcomes of an apply, and the actions a check plans, that alter the host.
CHANGING = frozenset(('installed', 'added', 'configured', 'removed',
                      'install', 'add', 'configure', 'remove'))
FAILING = frozenset(('failed', 'fail'))


def outcome_of(entry):
    return str(entry.get('outcome', ''))


def describe(entry):
    """The entry as a person reads it: phase, index and name, and the request."""
    text = '%s %s %r' % (entry.get('phase', '?'), entry.get('index', '?'), entry.get('name', ''))
    request = entry.get('request')
    if isinstance(request, dict):
        keyword = request.get('keyword')
        if keyword is not None:
            text += ' (%s)' % keyword
    elif request:
        text += ' (%s)' % request
    return text


def error_text(entry):
    messages = []
    for error in entry.get('errors') or []:
        if isinstance(error, dict):
            messages.append('[%s] %s' % (error.get('code', '?'), error.get('message', '')))
        else:
            messages.append(str(error))
    return '; '.join(messages) if messages else 'the installer gave no detail'


def entry_diff(entry):
    """Before: the entry is not as the file asks (the program reports no
    more than that); after: what was, or would be, done."""
    header = '%s %s' % (entry.get('phase', '?'), entry.get('name', ''))
    return {
        'before_header': header,
        'after_header': header,
        'before': '%s: not as the setup file asks\n' % describe(entry),
        'after': '%s: %s\n' % (describe(entry), outcome_of(entry)),
    }


def find_executable(module, executable, env):
    if os.sep in executable:
        if os.path.isfile(executable) and os.access(executable, os.X_OK):
            return executable
        module.fail_json(msg='The program %s does not exist or is not executable. Install velloran '
                             '(its package puts velloran-apply in /usr/bin) or give its path as '
                             'executable.' % executable)
    search = [d for d in env.get('PATH', '').split(os.pathsep) if d]
    found = module.get_bin_path(executable, required=False, opt_dirs=search)
    if not found:
        module.fail_json(msg='%s was not found in PATH on this host. Install velloran (its package '
                             'puts velloran-apply in /usr/bin) or give its path as executable.'
                             % executable)
    return found


def main():
    module = AnsibleModule(
        argument_spec=dict(
            src=dict(type='path'),
            path=dict(type='path'),
            skip_unchanged=dict(type='bool', default=True),
            executable=dict(type='str', default='velloran-apply'),
            env=dict(type='dict', default={}),
        ),
        mutually_exclusive=[('src', 'path')],
        required_one_of=[('src', 'path')],
        supports_check_mode=True,
    )
    if module.params['src'] is not None:
        # The action plugin copies src to the host and passes path instead.
        module.fail_json(msg='src names a file on the controller and needs the velloran.odbc.setup '
                             'action plugin; call the module by its collection name.')

    env = dict((str(k), to_native(v)) for k, v in module.params['env'].items())
    executable = find_executable(module, module.params['executable'], env)
    setup_file = module.params['path']
    # A leading dash would read as an option.
    argument = setup_file if not setup_file.startswith('-') else os.path.join('.', setup_file)

    cmd = [executable, '--json']
    if module.check_mode:
        cmd.append('--check')
    if module.params['skip_unchanged']:
        cmd.append('--skip-unchanged')
    cmd.append(argument)

    rc, stdout, stderr = module.run_command(cmd, environ_update=env, check_rc=False)
    result = dict(cmd=cmd, rc=rc, stderr=stderr, changed=False)

    try:
        report = json.loads(stdout)
    except ValueError:
        report = None
    if rc == 2:
        # The file cannot be read (or the arguments are wrong); nothing was done.
        reason = report.get('error') if isinstance(report, dict) else None
        module.fail_json(msg='velloran-apply could not read the setup file %s: %s'
                             % (setup_file, reason or stderr.strip() or 'no message'), **result)
    try:
        if not isinstance(report, dict):
            raise ValueError('no JSON object on standard output')
        entries = report['entries']
        if not isinstance(entries, list):
            raise ValueError('entries is not a list')
    except (ValueError, KeyError, TypeError) as e:
        module.fail_json(msg='velloran-apply exited with status %d without a report (%s): %s'
                             % (rc, to_native(e), stderr.strip() or stdout.strip() or 'no message'),
                         stdout=stdout, **result)

    result.update(entries=entries, mode=report.get('mode'), file=report.get('file'),
                  failed_count=report.get('failed', 0))
    result['changed'] = any(outcome_of(e) in CHANGING for e in entries)
    if module._diff:
        result['diff'] = [entry_diff(e) for e in entries if outcome_of(e) in CHANGING]

    failed = [e for e in entries if outcome_of(e) in FAILING]
    # failed=False by hand: Ansible takes a non-zero rc alone for a failure,
    # and in check mode 1 means only that something would change.
    if module.check_mode:
        for entry in failed:
            module.warn('would fail: %s: %s' % (describe(entry), error_text(entry)))
        module.exit_json(failed=False, **result)
    if rc != 0:
        if failed:
            detail = '; '.join('%s: %s' % (describe(e), error_text(e)) for e in failed)
        else:
            detail = stderr.strip() or 'no entry reported a failure'
        module.fail_json(msg='velloran-apply: %d of %d entries failed: %s'
                             % (len(failed), len(entries), detail), **result)
    module.exit_json(failed=False, **result)


if __name__ == '__main__':
    main()
