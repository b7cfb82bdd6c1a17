# -*- coding: utf-8 -*-
# Copyright (c) 2026 The Velloran developers
# MIT License (see LICENSE or https://opensource.org/licenses/MIT)
"""What the velloran.odbc modules share: finding velloran-apply, running it
with --json, and turning its report into changed, failed, msg and diff."""

from __future__ import absolute_import, division, print_function
__metaclass__ = type

import json
import os
import shutil
import tempfile

from ansible.module_utils.common.text.converters import to_native, to_text

MASK = '********'

# velloran-apply's rule for a secret key (compared without regard to case):
# PWD, or one containing PASSWORD, PASSWD, SECRET or TOKEN, or a credential
# key ODBC drivers use. The program masks them itself; the modules also keep
# such values of their own parameters out of Ansible's output.
# The same table as setupfile/secret_keys.cpp of velloran; the table test's
# secret-rule-as-program row holds the two together.
SECRET_KEYS = frozenset(('pwd', 'accesskey', 'authenticationkey', 'accountkey', 'apikey',
                         'privatekey'))
SECRET_PARTS = ('password', 'passwd', 'secret', 'token')


def is_secret(key):
    key = to_text(key).strip(' \t').lower()
    return key in SECRET_KEYS or any(part in key for part in SECRET_PARTS)


def quote(name):
    """A name as messages show it, the same on Python 2 and 3 (no u'')."""
    return "'%s'" % to_text(name)


def describe(entry):
    """The entry as a person reads it: phase, index and name, and the request."""
    text = '%s %s %s' % (to_text(entry.get('phase', '?')), to_text(entry.get('index', '?')),
                         quote(entry.get('name', '')))
    request = entry.get('request')
    if isinstance(request, dict):
        keyword = request.get('keyword')
        if keyword is not None:
            text += ' (%s)' % to_text(keyword)
    elif request:
        text += ' (%s)' % to_text(request)
    return text


def error_text(entry):
    messages = []
    for error in entry.get('errors') or []:
        if isinstance(error, dict):
            code = error.get('code', '?')
            message = to_text(error.get('message', ''))
            # Code 0: velloran-apply's own reason, not an installer record.
            messages.append(message if code == 0 else '[%s] %s' % (to_text(code), message))
        else:
            messages.append(to_text(error))
    return '; '.join(messages) if messages else 'the installer gave no detail'


def find_executable(module, executable, env):
    """The program's path; fails the task with what to do when it is missing."""
    if os.sep in executable:
        if os.path.isfile(executable) and os.access(executable, os.X_OK):
            return executable
        module.fail_json(msg='The program %s does not exist or is not executable. Install velloran '
                             '(its package puts velloran-apply in /usr/bin; the velloran.odbc.provision '
                             'role does it) or give its path as executable.' % executable)
    search = [d for d in env.get('PATH', '').split(os.pathsep) if d]
    found = module.get_bin_path(executable, required=False, opt_dirs=search)
    if not found:
        module.fail_json(msg='%s was not found in PATH on this host. Install velloran (its package '
                             'puts velloran-apply in /usr/bin; the velloran.odbc.provision role does '
                             'it) or give its path as executable.' % executable)
    return found


def environment(module):
    """env as strings; null is no environment, a null value an error."""
    env = module.params.get('env') or {}
    result = {}
    for key, value in env.items():
        if value is None:
            module.fail_json(msg='env: %s has no value; give a string, or leave the variable out'
                                 % key)
        result[to_native(key)] = to_native(value)
    return result


def config_files(env):
    """unixODBC's configuration files for this environment, the way it finds
    them: ODBCSYSINI (else /etc) holds odbcinst.ini (or ODBCINSTINI) and the
    system odbc.ini; ODBCINI names the user's file, else ~/.odbc.ini."""
    sysdir = env.get('ODBCSYSINI') or os.environ.get('ODBCSYSINI') or '/etc'
    inst = env.get('ODBCINSTINI') or os.environ.get('ODBCINSTINI') or 'odbcinst.ini'
    files = [os.path.join(sysdir, inst), os.path.join(sysdir, 'odbc.ini')]
    user = env.get('ODBCINI') or os.environ.get('ODBCINI')
    if not user:
        home = env.get('HOME') or os.environ.get('HOME')
        if home:
            user = os.path.join(home, '.odbc.ini')
    if user:
        files.append(user)
    return files


class Velloran(object):
    """One host's velloran-apply, with the task's environment."""

    def __init__(self, module):
        self.module = module
        self.env = environment(module)
        self.executable = find_executable(module, module.params['executable'], self.env)

    def run(self, args):
        cmd = [self.executable] + list(args)
        rc, stdout, stderr = self.module.run_command(cmd, environ_update=self.env, check_rc=False)
        return cmd, rc, stdout, stderr

    def apply(self, setup_file, check, skip_unchanged):
        """Runs the program on a setup file; returns (result, report), failing
        the task when there is no report to read."""
        # A leading dash would read as an option.
        argument = setup_file if not setup_file.startswith('-') else os.path.join('.', setup_file)
        args = ['--json']
        if check:
            args.append('--check')
        if skip_unchanged:
            # A check predicts the run it is given: the same flag.
            args.append('--skip-unchanged')
        args.append(argument)
        absent = []
        if check:
            # Older velloran-apply builds let unixODBC create missing files,
            # empty, while reading: a check must leave none behind.
            absent = [f for f in config_files(self.env) if not os.path.lexists(f)]
        try:
            cmd, rc, stdout, stderr = self.run(args)
        finally:
            for path in absent:
                try:
                    if os.path.isfile(path) and not os.path.islink(path) \
                            and os.path.getsize(path) == 0:
                        os.unlink(path)
                except OSError:
                    pass
        result = dict(cmd=cmd, rc=rc, stderr=stderr, changed=False)
        try:
            report = json.loads(stdout)
        except ValueError:
            report = None
        if rc == 2:
            # The file cannot be read, or the arguments are wrong; nothing was done.
            reason = report.get('error') if isinstance(report, dict) else None
            self.module.fail_json(msg='velloran-apply could not read the setup file %s: %s'
                                      % (setup_file, reason or stderr.strip() or 'no message'),
                                  **result)
        try:
            if not isinstance(report, dict):
                raise ValueError('no JSON object on standard output')
            if not isinstance(report.get('entries'), list):
                raise ValueError('entries is not a list')
        except ValueError as e:
            self.module.fail_json(msg='velloran-apply exited with status %d without a report (%s): %s'
                                      % (rc, to_native(e), stderr.strip() or stdout.strip()
                                         or 'no message'), stdout=stdout, **result)
        # Whether an outcome is a change or a failure is the program's to say.
        if not all(isinstance(e, dict) and isinstance(e.get('changed'), bool)
                   and isinstance(e.get('failed'), bool) for e in report['entries']):
            self.module.fail_json(msg='%s is older than this collection: its report does not say of '
                                      'each entry whether it changed or failed. Upgrade velloran-apply '
                                      '(the velloran.odbc.provision role installs the matching one).'
                                  % self.executable, **result)
        return result, report

    def listing(self):
        """velloran-apply --list --json: the configuration as it is, or None
        when this build has no --list (its usage, exit 2, no JSON)."""
        cmd, rc, stdout, stderr = self.run(['--list', '--json'])
        try:
            report = json.loads(stdout) if stdout.strip() else None
        except ValueError:
            report = None
        if rc == 2 and report is None and 'usage:' in (stderr + stdout) \
                and '--list' not in (stderr + stdout):
            return None
        if rc != 0 or not isinstance(report, dict):
            self.module.fail_json(msg='velloran-apply --list could not read the configuration '
                                      '(exit %d): %s' % (rc, stderr.strip() or stdout.strip()
                                                         or 'no message'),
                                  cmd=cmd, rc=rc, stderr=stderr)
        return report


def change_lines(changes, side):
    lines = []
    for change in changes:
        if not isinstance(change, dict):
            continue
        value = change.get(side)
        if value is not None:
            lines.append('%s=%s\n' % (to_text(change.get('key', '')), to_text(value)))
    return ''.join(lines)


def entry_diff(entry):
    """Before and after of one entry, key by key from velloran-apply's
    changes (secret values come masked); the after side is named with the
    outcome as velloran-apply words it."""
    header = '%s %s' % (to_text(entry.get('phase', '?')), to_text(entry.get('name', '')))
    section = '[%s]\n' % to_text(entry.get('name', ''))
    changes = entry.get('changes') or []
    return {
        'before_header': header,
        'after_header': '%s (%s)' % (header, to_text(entry.get('outcome', ''))),
        'before': section + change_lines(changes, 'before'),
        'after': section + change_lines(changes, 'after'),
    }


def finish(module, result, report, check, diff):
    """Maps the report to changed/failed/msg/diff and ends the task."""
    entries = report['entries']
    result.update(entries=entries, mode=report.get('mode'), file=report.get('file'),
                  failed_count=report.get('failed', 0), lost=report.get('lost') or [])
    result['changed'] = any(e['changed'] for e in entries)
    if diff:
        result['diff'] = [entry_diff(e) for e in entries if e['changed']]
    failed = [e for e in entries if e['failed']]
    interrupted = report.get('interrupted')
    if interrupted:
        result['interrupted'] = interrupted
        module.fail_json(msg='velloran-apply was ended by %s after %d of its entries; run the task '
                             'again' % (to_text(interrupted), len(entries)), **result)
    # failed=False by hand: Ansible takes a non-zero rc alone for a failure,
    # and in check mode 1 means only that something would change.
    if check:
        for entry in failed:
            module.warn('would fail: %s: %s' % (describe(entry), error_text(entry)))
        module.exit_json(failed=False, **result)
    lost = [x for x in result['lost'] if isinstance(x, dict)]
    if result['rc'] != 0:
        parts = []
        if failed:
            detail = '; '.join('%s: %s' % (describe(e), error_text(e)) for e in failed)
            if entries and len(failed) == len(entries) \
                    and not any(e.get('errors') for e in failed):
                detail += ' (no entry got any detail: the installer library, unixODBC\'s ' \
                          'libodbcinst.so.2 from the libodbcinst2 package, is most likely ' \
                          'missing or cannot be loaded)'
            parts.append('%d of %d entries failed: %s' % (len(failed), len(entries), detail))
        if lost:
            parts.append('the run lost %s' % ', '.join(
                'section [%s] of %s' % (to_text(x.get('section', '')), to_text(x.get('file', '')))
                for x in lost))
        if not parts:
            parts.append(result['stderr'].strip() or 'no entry reported a failure')
        module.fail_json(msg='velloran-apply: ' + '; '.join(parts), **result)
    module.exit_json(failed=False, **result)


def check_text(module, what, text):
    """A name, key or value that a setup file line can carry as it is."""
    text = to_text(text)
    if '\n' in text or '\r' in text or '\\0' in text or '\x00' in text:
        module.fail_json(msg='%s holds a line break or \\0, which a setup file cannot carry: %s'
                             % (what, quote(text.replace('\n', '\\n').replace('\r', '\\r'))))
    if text != text.strip():
        module.fail_json(msg='%s has blanks at its start or end, which the installer trims: %s'
                             % (what, quote(text)))
    return text


def attribute_list(module, pairs):
    """key=value elements joined with \\0, as a setup file's list."""
    elements = []
    seen = set()
    for key, value in pairs:
        key = check_text(module, 'An attribute key', key)
        if not key or '=' in key or key[0] in '[;#' or ']' in key:
            module.fail_json(msg='The attribute key %s cannot be stored by unixODBC' % quote(key))
        if key.lower() in seen:
            module.fail_json(msg='The attribute %s is given twice (keys compare without regard '
                                 'to case)' % key)
        seen.add(key.lower())
        if isinstance(value, bool):
            value = 'Yes' if value else 'No'
        value = '' if value is None else to_text(value)
        shown = MASK if is_secret(key) else value
        if value:
            check_text(module, 'The value of %s (%s)' % (key, shown), value)
        elements.append('%s=%s' % (key, value))
    text = '\\0'.join(elements)
    if len(text) > 998:
        module.fail_json(msg='The attributes come to %d characters; a setup file list holds at '
                             'most 998' % len(text))
    return text


def write_setup_file(module, text):
    """A setup file of the task's own (mode 0600, in a private directory);
    returns its directory, which the caller removes."""
    folder = tempfile.mkdtemp(prefix='velloran-')
    path = os.path.join(folder, 'setup.ini')
    fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o600)
    with os.fdopen(fd, 'wb') as f:
        f.write(text.encode('utf-8'))
    return folder, path


def remove_setup_file(folder):
    shutil.rmtree(folder, ignore_errors=True)


def secret_values(module, attributes):
    """Values of secret keys never reach Ansible's output."""
    for key, value in (attributes or {}).items():
        if is_secret(key) and value not in (None, ''):
            module.no_log_values.add(to_text(value))
