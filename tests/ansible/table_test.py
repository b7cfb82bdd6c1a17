#!/usr/bin/env python3
# The velloran.odbc collection's logic in one table: each row is a task of
# the collection run by ansible-playbook (connection local) against a stub
# velloran-apply (stub_velloran_apply.py) that answers with the row's exit
# status and JSON, and records what it was given. A row states what the task
# must give back: changed, failed, msg, diff, the calls the program got, the
# files left behind. Rows marked with an issue-20 defect number failed
# before that issue's fixes.
#
# Exits 77 (skipped) when ansible-playbook is missing. The one row that
# needs the real velloran-apply (--program) is skipped without it.

import argparse
import glob
import json
import os
import shutil
import subprocess
import sys
import tarfile
import tempfile

SKIP = 77
HERE = os.path.dirname(os.path.abspath(__file__))
STUB = os.path.join(HERE, 'stub_velloran_apply.py')
PASSWORD = 'Marker-Pw-4711'
VAULT_MARKER = 'VaultPlainMarker9921'


# What velloran-apply's report gives beside each outcome: changed, failed.
FLAGS = {'installed': (True, False), 'added': (True, False), 'configured': (True, False),
         'removed': (True, False), 'install': (True, False), 'add': (True, False),
         'configure': (True, False), 'remove': (True, False), 'unchanged': (False, False),
         'failed': (False, True), 'fail': (False, True)}


def entry(phase, index, name, outcome, request=None, errors=(), changes=(), flags=None):
    """An entry as velloran-apply reports it; flags () for a build older
    than the per-entry changed and failed."""
    e = {'phase': phase, 'index': index, 'key': ('DSDriver%d' if phase == 'datasource'
                                                 else 'Driver%d') % index,
         'name': name, 'outcome': outcome, 'errors': list(errors),
         'changes': [{'key': k, 'before': b, 'after': a} for k, b, a in changes]}
    e.update(zip(('changed', 'failed'), FLAGS[outcome] if flags is None else flags))
    if request:
        e['request'] = {'keyword': request, 'code': 0}
    return e


def report(entries, mode='apply', **extra):
    doc = {'file': '@ARG', 'mode': mode, 'view': 'unixODBC',
           'changed': any(e.get('changed') for e in entries),
           'failed': sum(bool(e.get('failed')) for e in entries), 'entries': entries}
    doc.update(extra)
    return doc


def reply(rc, stdout, stderr='', **extra):
    r = {'rc': rc, 'stdout': stdout, 'stderr': stderr}
    r.update(extra)
    return r


DRIVER_OK = entry('driver', 1, 'SQLite3', 'installed',
                  changes=[('Driver', None, '/usr/lib/libsqlite3odbc.so')])
SALES_ADDED = entry('datasource', 1, 'Sales', 'added', 'ODBC_ADD_SYS_DSN',
                    changes=[('Database', None, '/srv/sales.db')])
BROKEN = entry('datasource', 2, 'Broken', 'failed', 'ODBC_ADD_SYS_DSN',
               errors=[{'code': 1, 'message': 'General installer error'}])
SALES_TIMEOUT = entry('datasource', 1, 'Sales', 'configured', 'ODBC_ADD_SYS_DSN',
                      changes=[('Timeout', '200', '100'), ('TraceFile', '/tmp/t', None),
                               ('PWD', '********', '********')])
LISTING = {'view': 'unixODBC',
           'drivers': [{'name': 'PG', 'attributes': {'Driver': 'psqlodbcw.so', 'UsageCount': '1'}}],
           'translators': [],
           'data_sources': [{'name': 'Sales', 'scope': 'system', 'driver': 'PG',
                             'attributes': {'Port': '5432', 'PWD': '********'}}]}
LISTING_EMPTY = {'view': 'unixODBC', 'drivers': [], 'translators': [], 'data_sources': []}
SECRET_CANDIDATES = ['PWD', 'Password', 'UserPassword', 'PASSWD', 'ClientSecret', 'AuthToken',
                     'AccessKey', 'accountkey', 'APIKey', 'PrivateKey', 'AuthenticationKey', 'UID',
                     'User', 'Database', 'Server', 'Token', 'KeyId']
# A check loads neither library, and predicts the driver for the data source.
SECRET_SETUP = ('[Drivers]\nDriver1=Probe\\0Driver=/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so'
                '\\0Setup=/usr/lib/x86_64-linux-gnu/odbc/libvelloran-setup.so\n'
                '[Data Sources]\nDSDriver1=Probe\nDSAttrib1=DSN=probe\\0%s\nDSRequest1=ODBC_ADD_SYS_DSN\n'
                % '\\0'.join('%s=value%d' % (k, i) for i, k in enumerate(SECRET_CANDIDATES)))
IS_SECRET = ('import importlib.util, json, sys\n'
             "spec = importlib.util.spec_from_file_location('velloran', sys.argv[1])\n"
             'rule = importlib.util.module_from_spec(spec)\n'
             'spec.loader.exec_module(rule)\n'
             'print(json.dumps(dict((k, rule.is_secret(k)) for k in sys.argv[2:])))\n')
DS = 'velloran.odbc.data_source'
AP = 'velloran.odbc.apply'

# Each row: id, defect (issue 20's number, or None), the task (module: args,
# the stub added as executable unless given), check/diff, the stub's
# replies, and what must come back (see run_rows for the keys).
ROWS = [
    # -- apply: exit status and report in, changed/failed/msg/diff out.
    dict(id='apply-changes', task={AP: {'path': '{setup}'}},
         replies={'apply': reply(0, report([DRIVER_OK, SALES_ADDED]))},
         expect=dict(changed=True, failed=False,
                     calls=[{'has': ['--json', '--skip-unchanged'], 'lacks': ['--check']}])),
    dict(id='apply-unchanged', task={AP: {'path': '{setup}'}},
         replies={'apply': reply(0, report([entry('driver', 1, 'SQLite3', 'unchanged', changes=[])]))},
         expect=dict(changed=False, failed=False)),
    dict(id='check-predicts-skip-run', task={AP: {'path': '{setup}'}}, check=True,
         replies={'check': reply(1, report([DRIVER_OK], mode='check'))},
         expect=dict(changed=True, failed=False,
                     calls=[{'has': ['--check', '--skip-unchanged']}])),
    dict(id='check-predicts-plain-run', task={AP: {'path': '{setup}', 'skip_unchanged': False}},
         check=True, replies={'check': reply(1, report([DRIVER_OK], mode='check'))},
         expect=dict(changed=True, calls=[{'has': ['--check'], 'lacks': ['--skip-unchanged']}])),
    dict(id='check-would-fail-warns', task={AP: {'path': '{setup}'}}, check=True,
         replies={'check': reply(1, report([entry('datasource', 1, 'Sales', 'fail', 'ODBC_CONFIG_DSN',
                                                  [{'code': 0, 'message': 'it does not exist'}])],
                                           mode='check'))},
         expect=dict(changed=False, failed=False,
                     warnings=["would fail: datasource 1 'Sales' (ODBC_CONFIG_DSN): it does not exist"])),
    dict(id='installer-failure', task={AP: {'path': '{setup}'}},
         replies={'apply': reply(1, report([SALES_ADDED, BROKEN]))},
         expect=dict(failed=True, changed=True,
                     msg=["velloran-apply: 1 of 2 entries failed: datasource 2 'Broken' "
                          "(ODBC_ADD_SYS_DSN): [1] General installer error"])),
    dict(id='name-quoted-as-is', defect='8', task={AP: {'path': '{setup}'}},
         replies={'apply': reply(1, report([entry('datasource', 1, 'Sales\\Q1', 'failed',
                                                  'ODBC_ADD_DSN', [{'code': 1, 'message': 'x'}])]))},
         expect=dict(failed=True, msg=["datasource 1 'Sales\\Q1' (ODBC_ADD_DSN)"], msg_not=["u'"])),
    dict(id='own-reason-code-0', task={AP: {'path': '{setup}'}},
         replies={'apply': reply(1, report([entry('driver', 1, 'X', 'failed', errors=[
             {'code': 0, 'message': 'the installer reported success, but Driver= is missing'}])]))},
         expect=dict(failed=True, msg=["driver 1 'X': the installer reported success, but Driver="],
                     msg_not=['[0]'])),
    dict(id='library-not-loaded', defect='10', task={AP: {'path': '{setup}'}},
         replies={'apply': reply(1, report([entry('driver', 1, 'X', 'failed'),
                                            entry('datasource', 1, 'S', 'failed', 'ODBC_ADD_DSN')]))},
         expect=dict(failed=True, msg=['libodbcinst.so.2', 'libodbcinst2'])),
    dict(id='unreadable-file', task={AP: {'path': '/nonexistent/s.ini'}},
         replies={'apply': reply(2, report([], error='not a readable regular file of at most 64 MiB'))},
         expect=dict(failed=True, msg=['could not read the setup file /nonexistent/s.ini: not a '
                                       'readable regular file'])),
    dict(id='no-report', task={AP: {'path': '{setup}'}},
         replies={'apply': reply(1, 'Segmentation fault', 'core dumped')},
         expect=dict(failed=True, msg=['exited with status 1 without a report', 'core dumped'],
                     result={'stdout': 'Segmentation fault'})),
    dict(id='flags-not-words', task={AP: {'path': '{setup}'}},
         replies={'apply': reply(1, report([entry('driver', 1, 'X', 'reinstalled', flags=(True, True))]))},
         expect=dict(changed=True, failed=True, msg=["1 of 1 entries failed: driver 1 'X'"])),
    dict(id='program-without-flags', task={AP: {'path': '{setup}'}},
         replies={'apply': reply(0, report([entry('driver', 1, 'SQLite3', 'installed', flags=())]))},
         expect=dict(failed=True, msg=['is older than this collection', 'Upgrade velloran-apply'])),
    dict(id='lost-section', task={AP: {'path': '{setup}'}},
         replies={'apply': reply(1, report([SALES_ADDED], lost=[
             {'file': '/etc/odbc.ini', 'section': 'Archive'}]))},
         expect=dict(failed=True, msg=['the run lost section [Archive] of /etc/odbc.ini'])),
    dict(id='interrupted', task={AP: {'path': '{setup}'}},
         replies={'apply': reply(1, report([SALES_ADDED], interrupted='SIGTERM'))},
         expect=dict(failed=True, msg=['ended by SIGTERM'], result={'interrupted': 'SIGTERM'})),
    dict(id='diff-per-attribute', defect='7', task={AP: {'path': '{setup}'}}, diff=True,
         replies={'apply': reply(0, report([SALES_TIMEOUT]))},
         expect=dict(changed=True, diff_before=['Timeout=200', 'TraceFile=/tmp/t', 'PWD=********'],
                     diff_after=['Timeout=100', 'PWD=********'], diff_not=['not as the setup file asks'])),
    dict(id='diff-in-check-mode', defect='7', task={AP: {'path': '{setup}'}}, check=True, diff=True,
         replies={'check': reply(1, report([entry('datasource', 1, 'Sales', 'configure',
                                                  'ODBC_ADD_SYS_DSN', changes=[('Port', '1', '2')])],
                                           mode='check'))},
         expect=dict(changed=True, diff_before=['Port=1'], diff_after=['Port=2'])),
    dict(id='env-null', defect='5', task={AP: {'path': '{setup}', 'env': None}},
         replies={'apply': reply(0, report([DRIVER_OK]))},
         expect=dict(failed=False, changed=True)),
    dict(id='executable-tilde', defect='10',
         task={AP: {'path': '{setup}', 'executable': '~/stubbin/velloran-apply'}},
         replies={'apply': reply(0, report([DRIVER_OK]))}, expect=dict(failed=False)),
    dict(id='missing-program', task={AP: {'path': '{setup}', 'executable': 'velloran-apply-not-here'}},
         replies={}, expect=dict(failed=True, msg=['velloran-apply-not-here was not found in PATH'])),
    dict(id='src-reported-as-given', defect='10', task={AP: {'src': '{setup}'}},
         replies={'apply': reply(0, report([DRIVER_OK]))},
         expect=dict(failed=False, result={'file': '{setup}'}, cmd_last='{setup}')),
    dict(id='src-missing', task={AP: {'src': '/nonexistent/velloran/setup.ini'}}, replies={},
         expect=dict(failed=True, msg=['/nonexistent/velloran/setup.ini is not on the controller'])),
    dict(id='async', defect='10', task={AP: {'src': '{setup}'}}, keywords={'async': 30, 'poll': 1},
         replies={'apply': reply(0, report([DRIVER_OK]))}, expect=dict(failed=False, changed=True)),
    dict(id='vault-src-cleaned', defect='3', task={AP: {'src': '{vault}'}},
         replies={'apply': reply(0, report([DRIVER_OK]))},
         after={'ansible.builtin.command': {'argv': ['grep', '-rlE', VAULT_MARKER[:5] + '[' + VAULT_MARKER[5] + ']' + VAULT_MARKER[6:], '{local_tmp}']}},
         expect=dict(failed=False, after_rc=1,
                     calls=[{'file_has': [VAULT_MARKER]}])),
    dict(id='builtin-setup-not-hidden', defect='6',
         task={'setup': {'gather_subset': ['min']}}, stub=False, replies={},
         expect=dict(failed=False, result_has=['ansible_facts'])),
    dict(id='check-leaves-no-files', defect='4', task={AP: {'path': '{setup}'}}, check=True,
         replies={'check': reply(0, report([], mode='check'),
                                 touch=['{dir}/sys/odbcinst.ini', '{dir}/sys/odbc.ini', '{dir}/user.ini'])},
         prepare={'sys/odbc.ini': '[Kept]\nDriver=x\n'},
         expect=dict(failed=False, files={'sys/odbcinst.ini': False, 'user.ini': False,
                                          'sys/odbc.ini': True})),
    # -- data_source: the request it picks, the file it writes, the password.
    dict(id='ds-add-user-password', task={DS: {'name': 'Sales', 'driver': 'PG', 'scope': 'user',
                                               'attributes': {'Port': 5432, 'Servername': 'db'},
                                               'password': PASSWORD}}, diff=True,
         replies={'list': reply(0, LISTING_EMPTY), 'apply': reply(0, report([entry(
             'datasource', 1, 'Sales', 'added', 'ODBC_ADD_DSN', changes=[
                 ('Port', None, '5432'), ('PWD', None, '********')])]), stderr='echo ' + PASSWORD)},
         expect=dict(changed=True, failed=False, result={'request': 'ODBC_ADD_DSN'},
                     diff_after=['Port=5432', 'PWD=********'],
                     calls=[{'has': ['--list']},
                            {'has': ['--json', '--skip-unchanged'], 'lacks': ['--check'],
                             'mode': '0o600', 'file_has': [
                                 'DSDriver1=PG\n', 'DSAttrib1=DSN=Sales\\0Port=5432\\0Servername=db\\0PWD='
                                 + PASSWORD + '\n', 'DSRequest1=ODBC_ADD_DSN\n']}])),
    dict(id='ds-secret-attribute', task={DS: {'name': 'Sales', 'driver': 'PG', 'scope': 'user',
                                              'attributes': {'SSLPassword': PASSWORD + 'b'}}},
         replies={'list': reply(0, LISTING_EMPTY),
                  'apply': reply(1, report([entry('datasource', 1, 'Sales', 'failed', 'ODBC_ADD_DSN',
                                                  [{'code': 1, 'message': 'bad ' + PASSWORD + 'b'}])]))},
         expect=dict(failed=True, msg=["datasource 1 'Sales'"])),
    dict(id='ds-existing-configures', task={DS: {'name': 'Sales', 'driver': 'PG',
                                                 'attributes': {'Port': '5432'}}},
         replies={'list': reply(0, LISTING), 'apply': reply(0, report([entry(
             'datasource', 1, 'Sales', 'unchanged', 'ODBC_CONFIG_SYS_DSN', changes=[])]))},
         expect=dict(changed=False, failed=False, result={'request': 'ODBC_CONFIG_SYS_DSN'},
                     calls=[{'has': ['--list']}, {'file_has': ['DSRequest1=ODBC_CONFIG_SYS_DSN']}])),
    dict(id='ds-no-list-probes', task={DS: {'name': 'Sales', 'driver': 'PG'}},
         replies={'check:ODBC_CONFIG_SYS_DSN': reply(1, report([entry(
             'datasource', 1, 'Sales', 'fail', 'ODBC_CONFIG_SYS_DSN')], mode='check')),
             'apply': reply(0, report([SALES_ADDED]))},
         expect=dict(changed=True, result={'request': 'ODBC_ADD_SYS_DSN'},
                     calls=[{'has': ['--list']},
                            {'has': ['--check', '--skip-unchanged'],
                             'file_has': ['ODBC_CONFIG_SYS_DSN']},
                            {'lacks': ['--check'], 'file_has': ['ODBC_ADD_SYS_DSN']}])),
    dict(id='ds-no-list-check-configures', task={DS: {'name': 'Sales', 'driver': 'PG'}}, check=True,
         replies={'check:ODBC_CONFIG_SYS_DSN': reply(1, report([entry(
             'datasource', 1, 'Sales', 'configure', 'ODBC_CONFIG_SYS_DSN')], mode='check'))},
         expect=dict(changed=True, result={'request': 'ODBC_CONFIG_SYS_DSN'}, ncalls=2)),
    dict(id='ds-other-driver', task={DS: {'name': 'Sales', 'driver': 'Other'}},
         replies={'list': reply(0, LISTING)},
         expect=dict(failed=True, msg=["bound to the driver 'PG', not 'Other'"], ncalls=1)),
    dict(id='ds-check-diff', task={DS: {'name': 'Sales', 'driver': 'PG', 'attributes': {'Port': 5433}}},
         check=True, diff=True,
         replies={'list': reply(0, LISTING), 'check': reply(1, report([entry(
             'datasource', 1, 'Sales', 'configure', 'ODBC_CONFIG_SYS_DSN',
             changes=[('Port', '5432', '5433')])], mode='check'))},
         expect=dict(changed=True, diff_before=['Port=5432'], diff_after=['Port=5433'],
                     calls=[{}, {'has': ['--check', '--skip-unchanged']}])),
    dict(id='ds-absent-removes', task={DS: {'name': 'Sales', 'state': 'absent'}},
         replies={'list': reply(0, LISTING), 'apply': reply(0, report([entry(
             'datasource', 1, 'Sales', 'removed', 'ODBC_REMOVE_SYS_DSN')]))},
         expect=dict(changed=True, calls=[{}, {'file_has': ['DSDriver1=PG\n', 'ODBC_REMOVE_SYS_DSN']}])),
    dict(id='ds-absent-already', task={DS: {'name': 'Gone', 'state': 'absent'}},
         replies={'list': reply(0, LISTING)}, expect=dict(changed=False, failed=False, ncalls=1)),
    dict(id='ds-password-twice', task={DS: {'name': 'S', 'driver': 'PG', 'password': PASSWORD,
                                            'attributes': {'pwd': PASSWORD}}},
         replies={'list': reply(0, LISTING_EMPTY)}, expect=dict(failed=True, msg=['not both'])),
    dict(id='ds-password-key', task={DS: {'name': 'S', 'driver': 'PG', 'scope': 'user',
                                          'password': PASSWORD, 'password_key': 'Password'}},
         replies={'list': reply(0, LISTING_EMPTY), 'apply': reply(0, report([entry(
             'datasource', 1, 'S', 'added', 'ODBC_ADD_DSN')]))},
         expect=dict(changed=True, calls=[{}, {'file_has': ['\\0Password=' + PASSWORD + '\n']}])),
    dict(id='ds-password-key-not-secret', task={DS: {'name': 'S', 'driver': 'PG', 'password': PASSWORD,
                                                     'password_key': 'Username'}},
         replies={'list': reply(0, LISTING_EMPTY)},
         expect=dict(failed=True, msg=["password_key 'Username' is not a secret key"])),
    dict(id='ds-check-driver-not-yet', task={DS: {'name': 'S', 'driver': 'New', 'scope': 'user',
                                                  'attributes': {'Port': 1}, 'password': PASSWORD}},
         check=True, diff=True, replies={'list': reply(0, LISTING)},
         expect=dict(changed=True, failed=False, ncalls=1,
                     diff_after=['[S]\nPort=1\nPWD=********\n'])),
    dict(id='ds-name-too-long', task={DS: {'name': 'N' * 33, 'driver': 'PG'}}, replies={},
         expect=dict(failed=True, msg=['1 to 32 characters'], ncalls=0)),
    # -- driver and info.
    dict(id='driver-installs', task={'velloran.odbc.driver': {'name': 'PG', 'attributes': {
        'Driver': '/usr/lib/psqlodbcw.so', 'Setup': '/usr/lib/libvelloran-setup.so'}}},
         replies={'apply': reply(0, report([entry('driver', 1, 'PG', 'installed')]))},
         expect=dict(changed=True, calls=[{'has': ['--skip-unchanged'], 'mode': '0o600', 'file_has': [
             '[Drivers]\nDriver1=PG\\0Driver=/usr/lib/psqlodbcw.so\\0Setup=/usr/lib/libvelloran-setup.so\n']}])),
    dict(id='driver-needs-driver', task={'velloran.odbc.driver': {'name': 'PG', 'attributes': {
        'Setup': '/x.so'}}}, replies={}, expect=dict(failed=True, msg=['Driver'], ncalls=0)),
    dict(id='info-lists', task={'velloran.odbc.info': {}}, check=True,
         replies={'list': reply(0, LISTING)},
         expect=dict(changed=False, failed=False,
                     result={'drivers': LISTING['drivers'], 'data_sources': LISTING['data_sources']})),
    dict(id='info-old-program', task={'velloran.odbc.info': {}}, replies={},
         expect=dict(failed=True, msg=['no --list'])),
    # -- the secret rule the modules keep for their own parameters, against
    # the real velloran-apply's (--program): its check of one data source
    # through apply, then is_secret on the same keys in Ansible's Python.
    dict(id='secret-rule-as-program', program=True, check=True,
         task={AP: {'path': '{dir}/secret.ini', 'executable': '{program}'}},
         prepare={'secret.ini': SECRET_SETUP},
         after={'ansible.builtin.command': {'argv': [
             '{{ ansible_playbook_python }}', '-c', IS_SECRET,
             '{collection}/plugins/module_utils/velloran.py'] + SECRET_CANDIDATES}},
         replies={}, expect=dict(changed=True, failed=False, secret_rule=SECRET_CANDIDATES)),
    # -- the tarball: built from a clean copy, installed, documented.
    dict(id='packaging-licence-urls', defect='9', packaging=True, replies={}, expect={}),
    dict(id='packaging-stdout-documented', defect='10', packaging=True, replies={}, expect={}),
    # -- the role, on a "fresh host" (this machine, connection local).
    dict(id='role-check-binary', defect='1', cli_check=True,
         role={'velloran_odbc_binary': STUB, 'velloran_odbc_binary_dest': '{dir}/prefix/bin/velloran-apply',
               'velloran_odbc_setup_src': '{setup}'},
         replies={'check': reply(1, report([DRIVER_OK], mode='check'))},
         expect=dict(failed=False, changed=True, files={'prefix': False},
                     calls=[{'has': ['--check', '--skip-unchanged']}])),
    dict(id='role-check-unpack', defect='1', cli_check=True,
         role={'velloran_odbc_deb': '{deb}', 'velloran_odbc_deb_root': '{dir}/root',
               'velloran_odbc_deb_cache': '{dir}/cache', 'velloran_odbc_setup_src': '{setup}'},
         replies={'check': reply(1, report([DRIVER_OK], mode='check'))},
         expect=dict(failed=False, changed=True, files={'root': False, 'cache': False},
                     calls=[{'has': ['--check']}])),
    dict(id='role-check-apt', defect='1', cli_check=True,
         role={'velloran_odbc_deb': '{deb}', 'velloran_odbc_deb_cache': '{dir}/cache',
               'velloran_odbc_setup_src': '{setup}'},
         replies={'check': reply(1, report([DRIVER_OK], mode='check'))},
         expect=dict(failed=False, changed=True, files={'cache': False}, calls=[{'has': ['--check']}])),
    dict(id='role-unpack-recovers', defect='2',
         role={'velloran_odbc_deb': '{deb}', 'velloran_odbc_deb_root': '{dir}/root',
               'velloran_odbc_deb_cache': '{dir}/cache', 'velloran_odbc_setup_src': '{setup}'},
         between={'ansible.builtin.file': {'path': '{dir}/root/usr/bin/velloran-apply', 'state': 'absent'}},
         replies={'apply': reply(0, report([DRIVER_OK]))},
         expect=dict(failed=False, files={'root/usr/bin/velloran-apply': True}, ncalls=2)),
    dict(id='role-binary-brings-setup-library', defect='10',
         role={'velloran_odbc_binary': STUB, 'velloran_odbc_binary_dest': '{dir}/prefix/bin/velloran-apply',
               'velloran_odbc_setup_library': '{setup}',
               'velloran_odbc_setup_library_dest': '{dir}/prefix/lib/libvelloran-setup.so'},
         replies={}, expect=dict(failed=False, files={'prefix/lib/libvelloran-setup.so': True}, ncalls=0)),
]


def fill(value, names):
    if isinstance(value, str):
        for k, v in names.items():
            value = value.replace('{%s}' % k, v)
        return value
    if isinstance(value, (list, dict)):
        items = value.items() if isinstance(value, dict) else enumerate(value)
        done = {k: fill(v, names) for k, v in items}
        return done if isinstance(value, dict) else list(done.values())
    return value


def make_deb(work):
    """A .deb shaped like velloran's, its velloran-apply the stub."""
    root = os.path.join(work, 'debroot')
    lib = os.path.join(root, 'usr', 'lib', 'x86_64-linux-gnu', 'odbc')
    for d in ('DEBIAN', 'usr/bin', lib):
        os.makedirs(os.path.join(root, d), exist_ok=True)
    with open(os.path.join(root, 'DEBIAN', 'control'), 'w') as f:
        f.write('Package: velloran\nVersion: 1.0.0\nArchitecture: all\nMaintainer: t <t@localhost>\n'
                'Description: stub\n')
    shutil.copy(STUB, os.path.join(root, 'usr', 'bin', 'velloran-apply'))
    open(os.path.join(lib, 'libvelloran-setup.so'), 'w').close()
    deb = os.path.join(work, 'velloran_1.0.0_all.deb')
    subprocess.run(['dpkg-deb', '--root-owner-group', '-b', root, deb], check=True,
                   stdout=subprocess.DEVNULL)
    return deb


def row_tasks(row, names):
    """A marker, then the row's tasks in a block whose rescue lets the next
    row run. Module rows get the stub through the task's environment, role
    rows through velloran_odbc_env."""
    stub_env = {'VELLORAN_STUB_REPLY': names['reply'], 'VELLORAN_STUB_LOG': names['log']}
    odbc_env = {'ODBCSYSINI': names['dir'] + '/sys', 'ODBCINI': names['dir'] + '/user.ini',
                'HOME': names['dir'] + '/home'}
    if 'role' in row:
        include = {'name': 'row ' + row['id'], 'vars': dict(fill(row['role'], names),
                                                            velloran_odbc_env=dict(odbc_env, **stub_env)),
                   'ansible.builtin.include_role': {'name': 'velloran.odbc.provision'}}
        body = [include]
        if 'between' in row:
            body += [dict(fill(row['between'], names), name='between'), include]
    else:
        (module, args), = fill(row['task'], names).items()
        if row.get('stub', True):
            args = dict({'executable': STUB, 'env': odbc_env}, **args)
        body = [dict({'name': 'row ' + row['id'], module: args, 'environment': stub_env,
                      'check_mode': row.get('check', False), 'diff': row.get('diff', False)},
                     **row.get('keywords', {}))]
    if 'after' in row:
        body.append(dict(fill(row['after'], names), name='after', ignore_errors=True))
    return [{'name': 'begin ' + row['id'], 'ansible.builtin.debug': {'msg': row['id']}},
            {'block': body, 'rescue': [{'name': 'rescued', 'ansible.builtin.debug': {}}]}]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--collection', required=True, help='the collection source (ansible/)')
    parser.add_argument('--defects', action='store_true',
                        help="only the rows of issue 20's defects (to run against the old collection)")
    parser.add_argument('--only', help='run the rows whose id contains this')
    parser.add_argument('--program', help="the real velloran-apply, for the row that compares "
                                          "the secret rule with it")
    parser.add_argument('--verbose', action='store_true', help="print ansible-playbook's output")
    args = parser.parse_args()
    for tool in ('ansible-playbook', 'ansible-vault', 'dpkg-deb'):
        if not shutil.which(tool):
            print('SKIP: %s is not installed' % tool)
            return SKIP
    work = tempfile.mkdtemp(prefix='vtable.', dir='/tmp')
    try:
        return run_rows(work, args)
    finally:
        shutil.rmtree(work, ignore_errors=True)


def write(path, text):
    with open(path, 'w') as f:
        f.write(text)
    return path


def run_rows(work, args):
    rows = [r for r in ROWS if (not args.only or args.only in r['id'])
            and (not args.defects or r.get('defect'))]
    program = args.program and os.path.isfile(args.program) and os.access(args.program, os.X_OK)
    for row in [r for r in rows if r.get('program') and not program]:
        print('skip %s: no velloran-apply to compare with (%s)' % (
            row['id'], '%s is not executable' % args.program if args.program else 'give --program PATH'))
        rows.remove(row)
    collections = os.path.join(work, 'collections', 'ansible_collections', 'velloran')
    os.makedirs(collections)
    os.symlink(os.path.abspath(args.collection), os.path.join(collections, 'odbc'))
    home, local_tmp = os.path.join(work, 'home'), os.path.join(work, 'local-tmp')
    os.makedirs(os.path.join(home, 'stubbin'))
    os.makedirs(local_tmp)
    shutil.copy(STUB, os.path.join(home, 'stubbin', 'velloran-apply'))
    setup = write(os.path.join(work, 'setup.ini'),
                  '[Drivers]\nDriver1=SQLite3\\0Driver=/usr/lib/libsqlite3odbc.so\n')
    vault_pass = write(os.path.join(work, 'vault-pass'), 'table-test\n')
    vault = write(os.path.join(work, 'vault.ini'),
                  '[Data Sources]\nDSDriver1=PG\nDSAttrib1=DSN=S\\0PWD=%s\n' % VAULT_MARKER)
    results_file = os.path.join(work, 'results.jsonl')
    env = dict(os.environ, HOME=home, LANG='C.UTF-8', LC_ALL='C.UTF-8',
               ANSIBLE_CONFIG=os.path.join(work, 'no-ansible.cfg'),
               ANSIBLE_COLLECTIONS_PATH=os.path.join(work, 'collections'),
               ANSIBLE_LOCAL_TEMP=local_tmp, ANSIBLE_ASYNC_DIR=os.path.join(work, 'async'),
               ANSIBLE_REMOTE_TEMP=os.path.join(work, 'remote-tmp'),
               ANSIBLE_CALLBACK_PLUGINS=os.path.join(HERE, 'callback_plugins'),
               ANSIBLE_CALLBACKS_ENABLED='record_results', VELLORAN_TABLE_RESULTS=results_file,
               ANSIBLE_NOCOLOR='1', ANSIBLE_RETRY_FILES_ENABLED='0',
               ANSIBLE_DEPRECATION_WARNINGS='0', ANSIBLE_LOCALHOST_WARNING='0',
               ANSIBLE_INVENTORY_UNPARSED_WARNING='0')
    for key in ('ODBCSYSINI', 'ODBCINI'):
        env.pop(key, None)
    subprocess.run(['ansible-vault', 'encrypt', '--vault-password-file', vault_pass, vault],
                   env=env, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    deb = make_deb(work)

    names_of, plays = {}, {False: [], True: []}
    for row in rows:
        d = os.path.join(work, 'rows', row['id'])
        os.makedirs(os.path.join(d, 'sys'))
        os.makedirs(os.path.join(d, 'home'))
        for rel, text in row.get('prepare', {}).items():
            write(os.path.join(d, rel), text)
        names = names_of[row['id']] = {
            'dir': d, 'setup': setup, 'vault': vault, 'deb': deb, 'local_tmp': local_tmp,
            'program': os.path.abspath(args.program or ''),
            'collection': os.path.abspath(args.collection),
            'reply': os.path.join(d, 'reply.json'), 'log': write(os.path.join(d, 'calls.jsonl'), '')}
        write(names['reply'], json.dumps(fill(row['replies'], names)))
        if not row.get('packaging'):
            # Role rows in check mode need --check itself: ansible_check_mode
            # follows the command line, not the task keyword.
            plays[bool(row.get('cli_check'))] += row_tasks(row, names)

    check_dirs = set(glob.glob('/tmp/velloran-check.*'))
    outputs = ''
    for cli_check, tasks in plays.items():
        if not tasks:
            continue
        # collections: a short name of the collection must not hide a builtin.
        playbook = write(os.path.join(work, 'table-%s.yml' % cli_check), json.dumps([{
            'name': 'table', 'hosts': 'localhost', 'connection': 'local', 'gather_facts': False,
            'collections': ['velloran.odbc'], 'tasks': tasks,
            'vars': {'ansible_python_interpreter': sys.executable}}]))
        cmd = ['ansible-playbook', '-v', '-i', 'localhost,', '--vault-password-file', vault_pass,
               playbook] + (['--check', '--diff'] if cli_check else [])
        run = subprocess.run(cmd, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                             text=True, timeout=600)
        outputs += run.stdout
        if args.verbose or 'PLAY RECAP' not in run.stdout:
            print(run.stdout)
        if 'PLAY RECAP' not in run.stdout:
            print('FAIL ansible-playbook did not run the table (exit %d)' % run.returncode)
            return 1
    results, current = {}, None
    for line in open(results_file) if os.path.exists(results_file) else []:
        record = json.loads(line)
        if record['task'].startswith('begin '):
            current = results[record['task'][len('begin '):]] = []
        elif current is not None:
            record['result']['failed'] = record['status'] == 'failed'
            current.append((record['task'], record['result']))

    packaged = package(work, args.collection, env) if any(r.get('packaging') for r in rows) else {}
    failures = []

    def verdict(label, problems):
        print(('ok   ' if not problems else 'FAIL ') + label, flush=True)
        for p in problems:
            print('       ' + p)
        if problems:
            failures.append(label)

    for row in rows:
        verdict(row['id'] + (' (defect %s)' % row['defect'] if row.get('defect') else ''),
                packaged.get(row['id'], []) if row.get('packaging')
                else judge(row, names_of[row['id']], results.get(row['id'])))
    verdict('no password in any output', ['leaked: ' + line.strip()[:300]
                                          for line in outputs.splitlines()
                                          if PASSWORD in line or VAULT_MARKER in line])
    verdict('no traceback', ['a traceback in the output'] if 'Traceback' in outputs else [])
    verdict("check mode's temporary programs removed",
            sorted(set(glob.glob('/tmp/velloran-check.*')) - check_dirs))
    print('\n%d passed, %d failed' % (len(rows) + 3 - len(failures), len(failures)))
    return 1 if failures else 0


def package(work, collection, env):
    """The tarball from a clean copy, installed as a user would: problems by row."""
    licence, documented = [], []
    problems = {'packaging-licence-urls': licence, 'packaging-stdout-documented': documented}
    clean = os.path.join(work, 'clean', 'odbc')
    shutil.copytree(collection, clean, ignore=shutil.ignore_patterns('output', '*.tar.gz',
                                                                      '__pycache__'))
    run = subprocess.run(['ansible-galaxy', 'collection', 'build', '--output-path',
                          os.path.join(work, 'dist'), clean], env=env, stdout=subprocess.PIPE,
                         stderr=subprocess.STDOUT, text=True)
    tarballs = glob.glob(os.path.join(work, 'dist', '*.tar.gz'))
    if run.returncode != 0 or len(tarballs) != 1:
        return {k: ['ansible-galaxy collection build failed: ' + run.stdout] for k in problems}
    with tarfile.open(tarballs[0]) as tar:
        files = {m: tar.extractfile(m).read().decode('utf-8', 'replace')
                 for m in tar.getnames() if tar.getmember(m).isfile()}
    manifest = json.loads(files['MANIFEST.json'])['collection_info']
    licence += ['MANIFEST %s is %r' % (k, manifest.get(k)) for k in
                ('license', 'repository', 'documentation', 'issues')
                if not manifest.get(k) or (k == 'license' and manifest[k] != ['MIT'])]
    licence += ['no %s in the tarball' % m for m in ('LICENSE', 'CHANGELOG.md') if m not in files]
    if "project's README" in files['README.md'] or '../README' in files['README.md']:
        licence.append("the collection README sends the reader to the project's README")
    ignores = sorted(m for m in files if m.startswith('tests/sanity/ignore-'))
    licence += ['%s: %s' % (m, files[m].strip()) for m in ignores if 'no licence' in files[m]]
    if 'tests/sanity/ignore-2.14.txt' not in ignores or len(ignores) < 2:
        licence.append('ignore files only for %s' % ignores)
    installed = os.path.join(work, 'installed')
    run = subprocess.run(['ansible-galaxy', 'collection', 'install', '-p', installed, tarballs[0]],
                         env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    if run.returncode != 0:
        licence.append('install failed: ' + run.stdout)
        return problems
    for module in ('apply', 'data_source', 'driver', 'info'):
        run = subprocess.run(['ansible-doc', '--json', 'velloran.odbc.' + module],
                             env=dict(env, ANSIBLE_COLLECTIONS_PATH=installed),
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        doc = json.loads(run.stdout).get('velloran.odbc.' + module) if run.stdout.startswith('{') \
            else None
        if not doc:
            documented.append('ansible-doc velloran.odbc.%s failed: %s' % (module, run.stdout[:300]))
        elif module == 'apply' and 'stdout' not in (doc.get('return') or {}):
            documented.append('velloran.odbc.apply returns stdout but does not document it')
    return problems


def judge(row, names, results):
    """What is wrong with a row's results, one sentence each."""
    if results is None:
        return ['the row did not run']
    want = fill(row['expect'], names)
    own = [r for n, r in results if n not in ('after', 'rescued', 'begin')]
    # The result looked at: a role's apply task, else the row's task.
    main = ([r for n, r in results if n.endswith('Apply the setup file') and not r.get('skipped')]
            or [r for n, r in results if n.startswith('row ')] or [{}])[-1]
    failed = any(r['failed'] for r in own)
    changed = any(r.get('changed') for r in own)
    msg = ' '.join(str(r.get('msg', '')) for r in own if r['failed']) or str(main.get('msg', ''))
    diffs = main.get('diff') or []
    diffs = diffs if isinstance(diffs, list) else [diffs]
    before = ''.join(str(d.get('before', '')) for d in diffs)
    after = ''.join(str(d.get('after', '')) for d in diffs)
    later = next((r for n, r in results if n == 'after'), {})
    with open(names['log']) as f:
        calls = [json.loads(line) for line in f if line.strip()]
    checks = [
        ('failed' not in want or failed == want['failed'], 'failed is %s: %s' % (failed, msg)),
        ('changed' not in want or changed == want['changed'], 'changed is %s' % changed),
        ('ncalls' not in want or len(calls) == want['ncalls'],
         '%d calls: %s' % (len(calls), [c['argv'] for c in calls])),
        ('after_rc' not in want or later.get('rc') == want['after_rc'],
         'the check after the row gave %r' % later.get('rc')),
        ('cmd_last' not in want or (main.get('cmd') or [None])[-1] == want['cmd_last'],
         'cmd is %s' % main.get('cmd')),
    ]
    checks += [(part in msg, 'msg lacks %r: %s' % (part, msg)) for part in want.get('msg', [])]
    checks += [(part not in msg, 'msg has %r: %s' % (part, msg)) for part in want.get('msg_not', [])]
    checks += [(any(part in w for w in main.get('warnings', [])),
                'no warning %r: %s' % (part, main.get('warnings'))) for part in want.get('warnings', [])]
    checks += [(part in before, 'diff before lacks %r: %r' % (part, before))
               for part in want.get('diff_before', [])]
    checks += [(part in after, 'diff after lacks %r: %r' % (part, after))
               for part in want.get('diff_after', [])]
    checks += [(part not in before + after, 'diff has %r' % part) for part in want.get('diff_not', [])]
    checks += [(main.get(k) == v, '%s is %r, not %r' % (k, main.get(k), v))
               for k, v in want.get('result', {}).items()]
    checks += [(k in main, 'no %s in the result' % k) for k in want.get('result_has', [])]
    if 'secret_rule' in want:
        masked = dict((c.get('key'), c.get('after') == '********') for e in main.get('entries', [])
                      if e.get('phase') == 'datasource' for c in e.get('changes', []))
        secret = json.loads(later.get('stdout') or '{}')
        checks.append((secret, 'is_secret did not run: %s' % later.get('stderr')))
        checks += [(k in masked and secret.get(k) == masked[k], '%s: is_secret gives %s, velloran-apply %s'
                    % (k, secret.get(k), 'reports no change' if k not in masked
                       else 'masks it' if masked[k] else 'shows it')) for k in want['secret_rule']]
    for i, call_want in enumerate(want.get('calls', [])):
        call = calls[i] if i < len(calls) else {'argv': []}
        checks.append((i < len(calls), 'call %d was not made' % (i + 1)))
        checks += [(a in call['argv'], 'call %d lacks %s: %s' % (i + 1, a, call['argv']))
                   for a in call_want.get('has', [])]
        checks += [(a not in call['argv'], 'call %d has %s: %s' % (i + 1, a, call['argv']))
                   for a in call_want.get('lacks', [])]
        checks += [(text in call.get('file', ''), 'call %d: the setup file lacks %r: %r'
                    % (i + 1, text, call.get('file'))) for text in call_want.get('file_has', [])]
        if 'mode' in call_want:
            checks.append((call.get('file_mode') == call_want['mode'],
                           'call %d: the setup file has mode %s' % (i + 1, call.get('file_mode'))))
    checks += [(not os.path.exists(c['file_path']), 'the setup file %s was left behind' % c['file_path'])
               for c in calls if c.get('file_path') and c['file_path'] != names['setup']]
    checks += [(os.path.exists(os.path.join(names['dir'], rel)) == exists,
                '%s %s' % (rel, 'is missing' if exists else 'was left behind'))
               for rel, exists in want.get('files', {}).items()]
    return [text for ok, text in checks if not ok]


if __name__ == '__main__':
    sys.exit(main())
