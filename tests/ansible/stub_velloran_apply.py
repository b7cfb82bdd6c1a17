#!/usr/bin/python3
# A stand-in for velloran-apply in the collection's table test. It appends
# what it was given to VELLORAN_STUB_LOG (one JSON line: argv, the setup
# file's text and mode, the ODBC variables) and answers from the reply file
# VELLORAN_STUB_REPLY: {"check:ODBC_ADD_DSN"|"check"|"apply"|"list": {"rc": N,
# "stdout": object or text, "stderr": text, "touch": [files]}}, the most
# specific key first. A stdout object is the report as velloran-apply gives
# it, each entry with its changed and failed (table_test.py's entry()), or
# without them as an older build gave it. No answer for --list gives the
# usage of a build that lacks it (exit 2).
import json
import os
import re
import sys

USAGE = ('usage: velloran-apply [--check] [--skip-unchanged] [--json] [--log FILE] [--quiet] '
         'SETUP_FILE\n       velloran-apply --help | --version\n')

args = sys.argv[1:]
record = {'argv': args, 'env': {k: os.environ.get(k) for k in ('ODBCSYSINI', 'ODBCINI', 'HOME')}}
request = None
if args and os.path.isfile(args[-1]):
    with open(args[-1]) as f:
        record['file'] = f.read()
    record['file_mode'] = oct(os.stat(args[-1]).st_mode & 0o777)
    record['file_path'] = args[-1]
    m = re.search(r'^DSRequest1=(\S+)', record['file'], re.M)
    request = m.group(1) if m else None
with open(os.environ['VELLORAN_STUB_LOG'], 'a') as log:
    log.write(json.dumps(record) + '\n')
with open(os.environ['VELLORAN_STUB_REPLY']) as f:
    replies = json.load(f)
mode = 'list' if '--list' in args else 'check' if '--check' in args else 'apply'
reply = replies.get('%s:%s' % (mode, request)) or replies.get(mode)
if reply is None:
    sys.stderr.write(USAGE)
    sys.exit(2)
for path in reply.get('touch', []):
    # What unixODBC's read functions did: create a missing file, empty.
    if not os.path.exists(path):
        open(path, 'w').close()
out = reply.get('stdout', '')
if isinstance(out, dict) and out.get('file') == '@ARG' and args:
    out['file'] = args[-1]
sys.stdout.write(out if isinstance(out, str) else json.dumps(out, indent=2))
sys.stderr.write(reply.get('stderr', ''))
sys.exit(reply.get('rc', 0))
