#!/usr/bin/env python3
# The velloran.odbc collection end to end: a real sshd on 127.0.0.1 with keys
# made for the run, three inventory hosts reached through it, each with an
# ODBC configuration of its own, and ansible-playbook running the provision
# role on all of them. Two hosts get a copied binary, the third the .deb
# unpacked into a root of its own; nothing is installed into /usr.
#
# Exits 77 (skipped) when ansible-playbook, sshd, velloran-apply or the
# SQLite ODBC driver is missing.

import argparse
import json
import os
import re
import shutil
import signal
import socket
import sqlite3
import subprocess
import sys
import tempfile
import time

SKIP = 77
HOSTS = ('host1', 'host2', 'host3')
HERE = os.path.dirname(os.path.abspath(__file__))
SQLITE_DRIVER = '/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so'
RUN_TIMEOUT = 300
# Under CTest's TIMEOUT (900 s), so the clean-up below always gets to run.
BUDGET = 780
START = time.monotonic()


def time_left():
    return max(1, min(RUN_TIMEOUT, BUDGET - (time.monotonic() - START)))


BASE = r'''[Drivers]
Driver1=Fleet SQLite3\0Driver={driver}\0Setup={setup}

[Data Sources]
DSDriver1=Fleet SQLite3
DSAttrib1=DSN=Sales\0Database={database}{extra}
DSRequest1=ODBC_ADD_SYS_DSN
'''

# Driver2 has no setup library, so unixODBC refuses its data source; the
# entry after it must still be applied.
FAILING = r'''[Drivers]
Driver1=Fleet SQLite3\0Driver={driver}\0Setup={setup}
Driver2=Fleet Bare\0Driver={driver}

[Data Sources]
DSDriver1=Fleet SQLite3
DSAttrib1=DSN=Sales\0Database={database}
DSRequest1=ODBC_ADD_SYS_DSN
DSDriver2=Fleet Bare
DSAttrib2=DSN=Broken\0Database={database}
DSRequest2=ODBC_ADD_SYS_DSN
DSDriver3=Fleet SQLite3
DSAttrib3=DSN=Archive\0Database={database}
DSRequest3=ODBC_ADD_SYS_DSN
'''

failures = []


def check(condition, what):
    print(('ok   ' if condition else 'FAIL ') + what, flush=True)
    if not condition:
        failures.append(what)
    return condition


def skip(reason):
    print('SKIP: ' + reason, flush=True)
    sys.exit(SKIP)


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(('127.0.0.1', 0))
        return s.getsockname()[1]


class Sshd:
    """sshd on 127.0.0.1 with a host key and a client key of its own."""

    def __init__(self, work, program):
        self.dir = os.path.join(work, 'ssh')
        os.mkdir(self.dir, 0o700)
        self.host_key = os.path.join(self.dir, 'host_key')
        self.client_key = os.path.join(self.dir, 'client_key')
        for key in (self.host_key, self.client_key):
            subprocess.run(['ssh-keygen', '-q', '-t', 'ed25519', '-N', '', '-f', key], check=True)
        shutil.copy(self.client_key + '.pub', os.path.join(self.dir, 'authorized_keys'))
        self.known_hosts = os.path.join(self.dir, 'known_hosts')
        self.home = os.path.join(self.dir, 'home')
        os.mkdir(self.home)
        self.port = free_port()
        with open(self.host_key + '.pub') as f:
            public = f.read().split()
        with open(self.known_hosts, 'w') as f:
            f.write('[127.0.0.1]:%d %s %s\n' % (self.port, public[0], public[1]))
        self.config = os.path.join(self.dir, 'sshd_config')
        with open(self.config, 'w') as f:
            f.write('\n'.join([
                'ListenAddress 127.0.0.1',
                'Port %d' % self.port,
                'HostKey ' + self.host_key,
                'PidFile ' + os.path.join(self.dir, 'sshd.pid'),
                'AuthorizedKeysFile ' + os.path.join(self.dir, 'authorized_keys'),
                'PermitRootLogin prohibit-password',
                'PubkeyAuthentication yes',
                'PasswordAuthentication no',
                'KbdInteractiveAuthentication no',
                'UsePAM no',
                # The keys live under /tmp, which is world-writable.
                'StrictModes no',
                # A home of the run's own: the account's shell start-up files
                # are not read (they can take seconds) and nothing is written
                # to the real home.
                'SetEnv HOME=' + self.home,
                'Subsystem sftp internal-sftp',
                '']))
        self.program = program
        self.process = None
        self.made_privsep_dir = False
        self.log = os.path.join(self.dir, 'sshd.log')

    def start(self):
        if os.geteuid() == 0 and not os.path.isdir('/run/sshd'):
            # Debian's sshd drops privileges into this empty directory.
            os.makedirs('/run/sshd', 0o755)
            self.made_privsep_dir = True
        with open(self.log, 'w') as log:
            self.process = subprocess.Popen([self.program, '-D', '-e', '-f', self.config],
                                            stdin=subprocess.DEVNULL, stdout=log, stderr=log)
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                break
            try:
                socket.create_connection(('127.0.0.1', self.port), timeout=1).close()
                return True
            except OSError:
                time.sleep(0.2)
        with open(self.log) as f:
            print('sshd did not start:\n' + f.read())
        return False

    def stop(self):
        if self.process is not None and self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        if self.made_privsep_dir:
            try:
                os.rmdir('/run/sshd')
            except OSError:
                pass


class ReadOnly:
    """Makes a directory unwritable even for root: a read-only bind mount,
    else the immutable attribute; for other users the mode bits do."""

    def __init__(self, path):
        self.path = path
        self.how = None

    def __enter__(self):
        if os.geteuid() != 0:
            self.files = [os.path.join(self.path, n) for n in os.listdir(self.path)]
            for p in self.files + [self.path]:
                os.chmod(p, 0o555 if p == self.path else 0o444)
            self.how = 'mode bits'
        elif subprocess.run(['mount', '--bind', self.path, self.path],
                            stderr=subprocess.DEVNULL).returncode == 0:
            if subprocess.run(['mount', '-o', 'remount,bind,ro', self.path]).returncode == 0:
                self.how = 'read-only bind mount'
            else:
                subprocess.run(['umount', self.path])
        if self.how is None:
            self.files = [os.path.join(self.path, n) for n in os.listdir(self.path)]
            if subprocess.run(['chattr', '+i'] + self.files + [self.path]).returncode == 0:
                self.how = 'chattr +i'
        if self.how is None:
            skip('cannot make %s read-only for root here (no bind mount, no chattr +i)' % self.path)
        # Prove it: root must really be refused.
        probe = os.path.join(self.path, 'probe')
        try:
            open(probe, 'w').close()
            os.unlink(probe)
            writable = True
        except OSError:
            writable = False
        check(not writable, '%s is read-only (%s)' % (self.path, self.how))
        return self

    def __exit__(self, *exc):
        if self.how == 'read-only bind mount':
            subprocess.run(['umount', self.path])
        elif self.how == 'chattr +i':
            subprocess.run(['chattr', '-i'] + self.files + [self.path])
        elif self.how == 'mode bits':
            os.chmod(self.path, 0o755)
            for p in self.files:
                os.chmod(p, 0o644)


def parse_output(text):
    """The default callback's output, run with -v: each task's per-host
    results and the recap."""
    results = {}  # host -> list of (task, status, result)
    recap = {}
    task = None
    for line in text.splitlines():
        m = re.match(r'^TASK \[(.*)\] \**$', line)
        if m:
            task = m.group(1)
            continue
        m = re.match(r'^(ok|changed|fatal|skipping): \[([^\]]+)\](?::? FAILED!)? => (\{.*\})$', line)
        if m:
            status, host, body = m.groups()
            try:
                result = json.loads(body)
            except ValueError:
                result = {}
            results.setdefault(host, []).append((task, status, result))
            continue
        m = re.match(r'^(\S+)\s+: ok=(\d+)\s+changed=(\d+)\s+unreachable=(\d+)\s+failed=(\d+)\s+'
                     r'skipped=(\d+)\s+rescued=(\d+)\s+ignored=(\d+)', line)
        if m:
            recap[m.group(1)] = dict(zip(('ok', 'changed', 'unreachable', 'failed', 'skipped',
                                          'rescued', 'ignored'), map(int, m.groups()[1:])))
    return results, recap


def recap_text(text):
    lines = text.splitlines()
    for i, line in enumerate(lines):
        if line.startswith('PLAY RECAP'):
            return '\n'.join(rest.rstrip() for rest in lines[i:] if rest.strip())
    return ''


def task_result(results, host, task_name='Apply the setup file'):
    for task, status, result in results.get(host, []):
        if task and task.endswith(task_name):
            return status, result
    return None, {}


def ini_sections(path):
    """Section -> {key: value}, as unixODBC writes the file."""
    sections = {}
    current = None
    try:
        with open(path) as f:
            for line in f:
                line = line.strip()
                if line.startswith('[') and line.endswith(']'):
                    current = sections.setdefault(line[1:-1], {})
                elif '=' in line and current is not None:
                    key, value = line.split('=', 1)
                    current[key.strip().lower()] = value.strip()
    except FileNotFoundError:
        pass
    return sections


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--program', required=True, help='the built velloran-apply')
    parser.add_argument('--setup-library', required=True, help='the built libvelloran-setup.so')
    parser.add_argument('--cpack-config', required=True, help="the build's CPackConfig.cmake")
    parser.add_argument('--collection', required=True, help='the collection source (ansible/)')
    args = parser.parse_args()

    for tool in ('ansible-playbook', 'ssh', 'ssh-keygen', 'isql', 'cpack', 'dpkg-deb'):
        if not shutil.which(tool):
            skip(tool + ' is not installed')
    sshd = shutil.which('sshd') or ('/usr/sbin/sshd' if os.access('/usr/sbin/sshd', os.X_OK) else None)
    if not sshd:
        skip('sshd (openssh-server) is not installed')
    if not os.access(args.program, os.X_OK):
        skip('velloran-apply is not built: %s' % args.program)
    if not os.path.isfile(SQLITE_DRIVER):
        skip("Debian's SQLite ODBC driver is missing: " + SQLITE_DRIVER)

    # A stop signal still unmounts, stops sshd and removes the files.
    for signum in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(signum, lambda *_: sys.exit('stopped by a signal'))
    # Short, so ssh's sockets and the paths stay well inside their limits.
    work = tempfile.mkdtemp(prefix='fleet.', dir='/tmp')
    server = Sshd(work, os.path.abspath(sshd))
    try:
        if not server.start():
            return 1
        return run_steps(work, server, args)
    finally:
        server.stop()
        shutil.rmtree(work, ignore_errors=True)


def run_steps(work, server, args):
    database = os.path.join(work, 'sales.db')
    with sqlite3.connect(database) as db:
        db.execute('CREATE TABLE orders (id INTEGER PRIMARY KEY, item TEXT)')
        db.executemany('INSERT INTO orders (item) VALUES (?)', [('anchor',), ('buoy',), ('cleat',)])

    def setup_file(name, template, extra=''):
        path = os.path.join(work, name)
        with open(path, 'w') as f:
            f.write(template.format(driver=SQLITE_DRIVER, setup=args.setup_library,
                                    database=database, extra=extra))
        return path

    base = setup_file('sales.ini', BASE)
    changed_attribute = setup_file('sales-timeout.ini', BASE, r'\0Timeout=2000')
    failing = setup_file('failing.ini', FAILING)

    # Two hosts get the binary copied; the third gets the .deb unpacked.
    package_dir = os.path.join(work, 'package')
    made = subprocess.run(['cpack', '--config', args.cpack_config, '-B', package_dir],
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                          timeout=time_left())
    debs = [os.path.join(package_dir, n) for n in os.listdir(package_dir) if n.endswith('.deb')] \
        if made.returncode == 0 else []
    if not check(len(debs) == 1, 'cpack made the .deb'):
        print(made.stdout)
        return 1
    contents = subprocess.run(['dpkg-deb', '-c', debs[0]], stdout=subprocess.PIPE, text=True).stdout
    if not check(' ./usr/bin/velloran-apply' in contents, 'the .deb holds /usr/bin/velloran-apply'):
        return 1

    hosts = {}
    for name in HOSTS:
        root = os.path.join(work, 'hosts', name)
        env = {'ODBCSYSINI': os.path.join(root, 'sys'),
               'ODBCINI': os.path.join(root, 'user', 'odbc.ini'),
               'HOME': os.path.join(root, 'home')}
        for d in ('sys', 'user', 'home', 'tmp'):
            os.makedirs(os.path.join(root, d))
        variables = {'odbc_env': env, 'ansible_remote_tmp': os.path.join(root, 'tmp'),
                     'velloran_odbc_env': env}
        if name == 'host3':
            variables.update(velloran_odbc_deb=debs[0],
                             velloran_odbc_deb_cache=os.path.join(root, 'cache'),
                             velloran_odbc_deb_root=os.path.join(root, 'root'))
        else:
            variables.update(velloran_odbc_binary=os.path.abspath(args.program),
                             velloran_odbc_binary_dest=os.path.join(root, 'prefix', 'bin',
                                                                    'velloran-apply'))
        hosts[name] = variables
    user = subprocess.run(['id', '-un'], stdout=subprocess.PIPE, text=True).stdout.strip()
    inventory = os.path.join(work, 'inventory.json')
    with open(inventory, 'w') as f:
        json.dump({'all': {'hosts': hosts, 'vars': {
            'ansible_connection': 'ssh',
            'ansible_host': '127.0.0.1',
            'ansible_port': server.port,
            'ansible_user': user,
            'ansible_ssh_private_key_file': server.client_key,
            'ansible_python_interpreter': sys.executable,
        }}}, f, indent=2)

    collections = os.path.join(work, 'collections', 'ansible_collections', 'velloran')
    os.makedirs(collections)
    os.symlink(os.path.abspath(args.collection), os.path.join(collections, 'odbc'))
    controller_home = os.path.join(work, 'controller')
    os.mkdir(controller_home)
    env = dict(os.environ)
    env.update({
        'HOME': controller_home,
        'LANG': 'C.UTF-8', 'LC_ALL': 'C.UTF-8',
        'ANSIBLE_CONFIG': os.path.join(work, 'no-ansible.cfg'),
        'ANSIBLE_COLLECTIONS_PATH': os.path.join(work, 'collections'),
        'ANSIBLE_LOCAL_TEMP': os.path.join(controller_home, 'tmp'),
        'ANSIBLE_NOCOLOR': '1',
        'ANSIBLE_RETRY_FILES_ENABLED': '0',
        'ANSIBLE_PIPELINING': '1',
        'ANSIBLE_HOST_KEY_CHECKING': '1',
        # One connection per command: no master left behind once the run is over.
        'ANSIBLE_SSH_ARGS': '-F /dev/null -o ControlMaster=no -o IdentitiesOnly=yes '
                            '-o BatchMode=yes -o StrictHostKeyChecking=yes '
                            '-o UserKnownHostsFile=' + server.known_hosts,
    })
    for key in ('ODBCSYSINI', 'ODBCINI'):
        env.pop(key, None)

    def playbook(name, setup, *extra):
        cmd = ['ansible-playbook', '-v', '-i', inventory, os.path.join(HERE, name),
               '-e', 'velloran_odbc_setup_src=' + setup] + list(extra)
        print('\n$ ' + ' '.join(cmd), flush=True)
        try:
            run = subprocess.run(cmd, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                 text=True, timeout=time_left())
        except subprocess.TimeoutExpired as e:
            print(e.output or '')
            check(False, '%s finished in time' % name)
            return 124, '', {}, {}
        print(run.stdout, flush=True)
        results, recap = parse_output(run.stdout)
        return run.returncode, run.stdout, results, recap

    def files_of(name):
        env_of = hosts[name]['odbc_env']
        return [os.path.join(env_of['ODBCSYSINI'], 'odbcinst.ini'),
                os.path.join(env_of['ODBCSYSINI'], 'odbc.ini'), env_of['ODBCINI']]

    def snapshot():
        state = {}
        for name in HOSTS:
            for path in files_of(name):
                try:
                    st = os.stat(path)
                    with open(path, 'rb') as f:
                        state[path] = (f.read(), st.st_mtime_ns)
                except FileNotFoundError:
                    state[path] = None
        return state

    def odbcinst(name):
        return ini_sections(files_of(name)[0])

    def odbc(name):
        return ini_sections(files_of(name)[1])

    # 1. First run: the program is put on every host and the setup applied.
    rc, out, results, recap = playbook('provision.yml', base)
    check(rc == 0, 'first run succeeds (exit %d)' % rc)
    first_recap = recap_text(out)
    for name in HOSTS:
        status, result = task_result(results, name)
        check(status == 'changed', '%s: the setup task changed the host (%s)' % (name, status))
        outcomes = [e.get('outcome') for e in result.get('entries', [])]
        check(outcomes == ['installed', 'added'], '%s: entries installed and added (%s)'
              % (name, outcomes))
    rc, out, results, _ = playbook('read_rows.yml', base)
    for name in HOSTS:
        _, result = task_result(results, name, 'Read the rows through Sales')
        rows = result.get('stdout_lines', [])
        check(any('anchor' in r for r in rows) and any('cleat' in r for r in rows),
              '%s: isql reads the rows through Sales (%s)' % (name, rows))

    # The module's own failures, before any installer call.
    rc, out, results, _ = playbook('errors.yml', base)
    check(rc == 0, 'a missing setup file or program fails with its reason (exit %d)' % rc)
    for task in ('A setup file missing on the host', 'A setup file missing on the controller',
                 'No program'):
        print('     %s: %s' % (task, task_result(results, 'host1', task)[1].get('msg')))

    # 2. Second run: nothing to do anywhere.
    before = snapshot()
    rc, out, results, recap = playbook('provision.yml', base)
    check(rc == 0, 'second run succeeds (exit %d)' % rc)
    for name in HOSTS:
        check(recap.get(name, {}).get('changed') == 0, '%s: changed=0 on the second run (%s)'
              % (name, recap.get(name)))
        usage = odbcinst(name).get('Fleet SQLite3', {}).get('usagecount')
        check(usage == '1', '%s: UsageCount still 1 (%s)' % (name, usage))
    check(snapshot() == before, 'the second run wrote no file')

    # 3. Check mode with a changed attribute: changed, a diff, nothing written.
    rc, out, results, recap = playbook('provision.yml', changed_attribute, '--check', '--diff')
    check(rc == 0, 'check run succeeds (exit %d)' % rc)
    for name in HOSTS:
        status, result = task_result(results, name)
        outcomes = [e.get('outcome') for e in result.get('entries', [])]
        check(status == 'changed' and outcomes[:1] == ['unchanged']
              and outcomes[1:] in (['add'], ['configure']),
              '%s: check mode plans to change Sales alone (%s, %s)' % (name, status, outcomes))
    check(out.count('+++ after: datasource Sales') == len(HOSTS),
          'the diff shows the data source on every host')
    check(snapshot() == before, 'check mode changed no file on any host')

    # 4. A failing entry: every host fails with the installer's message, and
    # the entries after it are still applied.
    rc, out, results, recap = playbook('provision.yml', failing)
    check(rc != 0, 'the failing file fails the play (exit %d)' % rc)
    failing_recap = recap_text(out)
    for name in HOSTS:
        status, result = task_result(results, name)
        failed = [e for e in result.get('entries', []) if e.get('outcome') == 'failed']
        messages = [err.get('message', '') for e in failed for err in e.get('errors', [])]
        msg = result.get('msg', '')
        check(status == 'fatal' and [e.get('name') for e in failed] == ['Broken'],
              '%s: the task fails on Broken alone (%s)' % (name, status))
        check(bool(messages) and all(m and m in msg for m in messages) and "'Broken'" in msg,
              "%s: the message names Broken with the installer's text: %s" % (name, msg))
        check(recap.get(name, {}).get('failed') == 1, '%s: the recap shows the failure (%s)'
              % (name, recap.get(name)))
        check('Archive' in odbc(name) and 'Fleet Bare' in odbcinst(name),
              '%s: the other entries were applied' % name)
        check('Broken' not in odbc(name), '%s: no Broken data source' % name)

    # 5. One host's configuration directory is read-only: only it fails.
    readonly = hosts['host2']['odbc_env']['ODBCSYSINI']
    with ReadOnly(readonly):
        rc, out, results, recap = playbook('provision.yml', changed_attribute)
    readonly_recap = recap_text(out)
    check(rc != 0, 'the run with a read-only host fails (exit %d)' % rc)
    for name in HOSTS:
        status, result = task_result(results, name)
        timeout = odbc(name).get('Sales', {}).get('timeout')
        if name == 'host2':
            check(status == 'fatal' and recap.get(name, {}).get('failed') == 1,
                  '%s (read-only): fails (%s): %s' % (name, status, result.get('msg')))
            check(timeout is None, '%s (read-only): Sales unchanged' % name)
        else:
            check(status == 'changed' and recap.get(name, {}).get('failed') == 0,
                  '%s: applies the change (%s)' % (name, status))
            check(timeout == '2000', '%s: Sales has Timeout=2000 (%s)' % (name, timeout))

    print('\nRecap of the first run:\n' + first_recap)
    print('\nRecap of the run with a failing entry:\n' + failing_recap)
    print('\nRecap of the run with a read-only host:\n' + readonly_recap)
    print('\n%d failed' % len(failures) if failures else '\nall checks passed')
    for what in failures:
        print('  ' + what)
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
