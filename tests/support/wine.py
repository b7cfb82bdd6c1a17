"""Commands in a Wine prefix of the tests' own, never the account's: its
environment, its first boot, its server stopped, and its registry read and
written in a named view. Whether this Wine runs x86 programs. Standard
library only.
"""
import contextlib
import os
import subprocess
from pathlib import Path

PE_I386 = 0x14C


def pe_machine(path):
    """The machine field of a Windows program's PE header."""
    data = Path(path).read_bytes()
    header = int.from_bytes(data[0x3C:0x40], "little")
    return int.from_bytes(data[header + 4:header + 6], "little")


def runs_x86():
    """Debian's 32-bit Wine loader (wine32) is there and the kernel runs it."""
    try:
        return subprocess.run(["/usr/lib/wine/wine", "--version"], capture_output=True,
                              timeout=30).returncode == 0
    except OSError:
        return False


X86_SKIP_MESSAGE = ("skipped: this Wine runs no x86 programs: Debian's wine32:i386 is missing, "
                    "or the kernel runs no 32-bit code (scripts/install-deps.sh installs "
                    "wine32 where it does)")


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

    def registry(self, key, view, value=None):
        """The values of `key` as {name: data} in the 32- or 64-bit registry
        view; None when the key (or `value`) is not there. With wine32
        installed, `wine reg` is the 32-bit reg.exe, so the view is always
        named."""
        args = ["reg", "query", key, "/reg:%d" % view] + (["/v", value] if value else [])
        result = self.run(*args)
        if result.returncode != 0:
            return None
        values = {}
        for line in result.stdout.splitlines():
            parts = line.strip().split("    ")
            if line.startswith("    ") and len(parts) == 3:
                values[parts[0]] = parts[2]
        return values

    def registry_add(self, key, view, name, data):
        """Sets a string value in the 32- or 64-bit registry view."""
        result = self.run("reg", "add", key, "/v", name, "/d", data, "/f", "/reg:%d" % view)
        if result.returncode != 0:
            raise RuntimeError("reg add %s failed" % key)
