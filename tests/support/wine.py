"""Commands in a Wine prefix of the tests' own, never the account's: its
environment, its first boot, and its server stopped. Standard library only.
"""
import contextlib
import os
import subprocess
from pathlib import Path


class Wine:
    """Wine in `prefix`, on `display` (none when empty), with `overrides`
    as WINEDLLOVERRIDES for every command."""

    def __init__(self, prefix, display="", overrides=""):
        self.prefix = Path(prefix)
        self.env = {k: v for k, v in os.environ.items()
                    if not k.startswith(("WINE", "VELLORAN_", "ODBC")) and k != "DISPLAY"}
        self.env.update(WINEPREFIX=str(self.prefix), WINEDEBUG="-all")
        if display:
            self.env["DISPLAY"] = display
        if overrides:
            self.env["WINEDLLOVERRIDES"] = overrides

    def run(self, *args, env=None, timeout=60):
        return subprocess.run(["wine", *args], env={**self.env, **(env or {})}, timeout=timeout,
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)

    def popen(self, *args, env):
        return subprocess.Popen(["wine", *args], env={**self.env, **env}, text=True,
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)

    def server(self, *args, timeout=60):
        with contextlib.suppress(subprocess.TimeoutExpired):
            subprocess.run(["wineserver", *args], env=self.env, timeout=timeout,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def boot(self):
        """Makes the prefix; True when wineboot succeeded."""
        # No Mono or Gecko: their installers would wait for a click.
        result = self.run("wineboot", "--init", env={"WINEDLLOVERRIDES": "mscoree,mshtml="},
                          timeout=240)
        self.server("-w")
        return result.returncode == 0

    def stop(self):
        self.server("-k", timeout=30)
