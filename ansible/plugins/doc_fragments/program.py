# -*- coding: utf-8 -*-
# Copyright (c) 2026 Velloran contributors
# MIT License (see LICENSE)
"""What every module of the collection shares: its authors, the options to
find and run velloran-apply, and check and diff mode as the modules that run
it support them (info, which only reads, says its own)."""

from __future__ import absolute_import, division, print_function
__metaclass__ = type


class ModuleDocFragment(object):
    DOCUMENTATION = r'''
author:
  - Velloran maintainers (@velloran)
options:
  executable:
    description: velloran-apply, a path (C(~) expanded on the host) or a name looked for in C(PATH).
    type: path
    default: velloran-apply
  env:
    description:
      - Environment variables for the program, such as C(ODBCSYSINI) (the directory of C(odbcinst.ini)
        and the system C(odbc.ini)), C(ODBCINI) (the user's C(odbc.ini)) and C(HOME).
      - Values given here win over the task's C(environment).
    type: dict
    default: {}
attributes:
  platform:
    support: full
    platforms: posix
    description: Runs on POSIX hosts that have velloran-apply.
  check_mode:
    support: full
    description: Runs velloran-apply with C(--check) (and C(--skip-unchanged) when the run would use it); nothing is written.
  diff_mode:
    support: full
    description: Per entry that changes or would change, its attributes before and after from velloran-apply's report, secret values masked.
'''
