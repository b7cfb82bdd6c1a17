# A callback for the table test: every task result, in order, as JSON lines
# in the file named by VELLORAN_TABLE_RESULTS (ansible-core has no json
# stdout callback of its own).
from __future__ import absolute_import, division, print_function
__metaclass__ = type

import json
import os

from ansible.plugins.callback import CallbackBase

DOCUMENTATION = '''
    name: record_results
    type: aggregate
    short_description: task results as JSON lines
    description: Writes each task result to the file named by VELLORAN_TABLE_RESULTS.
'''


class CallbackModule(CallbackBase):
    CALLBACK_VERSION = 2.0
    CALLBACK_TYPE = 'aggregate'
    CALLBACK_NAME = 'record_results'
    CALLBACK_NEEDS_ENABLED = True

    def _write(self, result, status):
        with open(os.environ['VELLORAN_TABLE_RESULTS'], 'a') as f:
            f.write(json.dumps({'task': result._task.get_name(), 'status': status,
                                'result': result._result}, default=str) + '\n')

    def v2_runner_on_ok(self, result):
        self._write(result, 'ok')

    def v2_runner_on_failed(self, result, ignore_errors=False):
        self._write(result, 'failed')

    def v2_runner_on_skipped(self, result):
        self._write(result, 'skipped')
