#!/usr/bin/env python3
"""velloran-apply.exe under Wine with Wine's own odbccp32.dll.

    wine_apply.py --apply EXE --setup-dll DLL --linux-apply PROGRAM

In a temporary prefix, no display: the deployment cycle (check, apply,
check, --skip-unchanged, a changed attribute, removal) for drivers and data
sources in both views, with the live reads going through the registry the
installer keeps; the JSON of one setup file against the Linux program's on
unixODBC in temporary ODBCSYSINI/ODBCINI/HOME; and exit statuses 0, 1 and 2
as wine itself returns them. The setup library is the data sources' Driver=
as well as Setup=: Wine 8 hands a request to the Driver= library.
Standard library only; exits 77 (skipped) without wine.
"""
import argparse
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

sys.dont_write_bytecode = True  # no __pycache__ beside the sources
sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "support"))
from wine import PE_I386, X86_SKIP_MESSAGE, Wine, pe_machine, runs_x86  # noqa: E402

SKIPPED = 77
ARGS = None
WINE = None
X86 = False


class Prefix(Wine):
    """A fresh prefix in `root`, with Wine's own odbccp32.dll; removed on close."""

    def __init__(self, root):
        super().__init__(root / "prefix", overrides="mscoree,mshtml=;odbccp32=b")
        self.root = root

    def boot(self):
        if not super().boot():
            raise RuntimeError("wineboot failed in " + str(self.prefix))
        # Where the installer of the build's bitness looks for a bare
        # Driver= name: an x86 build's system folder under WoW64 is syswow64.
        system = "syswow64" if X86 else "system32"
        shutil.copy(ARGS.setup_dll, self.prefix / "drive_c" / "windows" / system / "velloran-setup.dll")

    def close(self):
        if self.prefix.exists():
            self.stop()
        shutil.rmtree(self.root, ignore_errors=True)


def run_apply(command, folder, setup, *options, env=None):
    """Exit status and stdout of one run on `setup`, named bare in `folder`."""
    if setup is not None:
        (folder / "setup.ini").write_text(setup)
    result = subprocess.run([*command, *options, "setup.ini"], cwd=folder, env=env, timeout=60,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    return result.returncode, result.stdout.decode("latin-1")


def wine_apply(setup, *options):
    return run_apply(["wine", ARGS.apply], WINE.root, setup, *options, env=WINE.env)


def outcomes(output):
    return [(e["phase"], e["name"], e["outcome"]) for e in json.loads(output)["entries"]]


def without_file(output):
    """The document without what names the system: the file, the view, and
    the stored file names (Windows puts its system folder in front)."""
    document = {k: v for k, v in json.loads(output).items() if k not in ("file", "view")}
    for entry in document["entries"]:
        for change in entry["changes"]:
            change["after"] = change["after"] and change["after"].rsplit("\\", 1)[-1]
    return document


# Bare file names: Wine's installer puts its system folder in front of any
# Driver= or Setup=, a full path too (C:\windows\system32\C:\odbc\x.dll).
DRIVERS = ("[Drivers]\nDriver1=VA Setup\\0Driver=velloran-setup.dll\\0Setup=velloran-setup.dll\n"
           "Driver2=VA Plain\\0Driver=vaplain.dll\\0APILevel=1\n")
SOURCES = ("[Data Sources]\n"
           "DSDriver1=VA Setup\nDSAttrib1=DSN=va-user\\0Database=C:\\db\\user.db\nDSRequest1=ODBC_ADD_DSN\n"
           "DSDriver2=VA Setup\nDSAttrib2=DSN=va-system\\0Database=C:\\db\\system.db\n"
           "DSRequest2=ODBC_ADD_SYS_DSN\n")


def in_place(setup, *options):
    code, out = wine_apply(setup, *options, "--json")
    return code, [o for _, _, o in outcomes(out)]


def errors(output):
    return [[e["message"] for e in entry["errors"]] for entry in json.loads(output)["entries"]]


class Deployment(unittest.TestCase):
    # Wine 8's installer writes a data source's binding (SQLWriteDSNToIni)
    # to the machine's ODBC.INI whatever the request's view, and its
    # attributes to the user's: no view holds the data source as Windows
    # would, and the read-back says so instead of reporting it added.
    def test_cycle_through_the_registry(self):
        setup = DRIVERS + SOURCES
        code, out = wine_apply(setup, "--check", "--json")
        self.assertEqual((code, outcomes(out)), (1, [
            ("driver", "VA Setup", "install"), ("driver", "VA Plain", "install"),
            ("datasource", "va-user", "add"), ("datasource", "va-system", "add")]))
        code, out = wine_apply(setup, "--json")
        self.assertEqual((code, [o for _, _, o in outcomes(out)]),
                         (1, ["installed", "installed", "failed", "failed"]))
        self.assertEqual(errors(out)[2:], [
            ["the installer reported success, but it is not bound to driver 'VA Setup'"],
            ["the installer reported success, but Database is missing"]])

    def test_drivers_are_a_fixed_point(self):
        setup = DRIVERS.replace("VA ", "VD ")
        self.assertEqual(in_place(setup), (0, ["installed"] * 2))
        self.assertEqual(in_place(setup, "--check"), (1, ["install"] * 2))
        self.assertEqual(in_place(setup, "--check", "--skip-unchanged"), (0, ["unchanged"] * 2))
        self.assertEqual(in_place(setup, "--skip-unchanged"), (0, ["unchanged"] * 2))
        changed = setup.replace("APILevel=1", "APILevel=2")
        self.assertEqual(in_place(changed, "--check", "--skip-unchanged"), (1, ["unchanged", "install"]))

    def test_json_as_on_linux(self):
        # Made-up driver files: neither installer looks for them. No
        # translator: unixODBC's SQLInstallTranslatorEx always fails.
        setup = ("[Drivers]\nDriver1=VJ One\\0Driver=vj1.dll\\0Setup=vj1s.dll\n"
                 "Driver2=VJ Two\\0Driver=vj2.dll\\0FileUsage=1\n")
        if not ARGS.linux_apply or not Path(ARGS.linux_apply).is_file():
            self.skipTest("the Linux velloran-apply is not built (%s): build the linux preset "
                          "to compare the JSON" % ARGS.linux_apply)
        linux = WINE.root / "linux"
        (linux / "home").mkdir(parents=True)
        env = {k: v for k, v in os.environ.items() if not k.startswith(("ODBC", "VELLORAN_"))}
        env.update(ODBCSYSINI=str(linux), ODBCINI=str(linux / "odbc.ini"), HOME=str(linux / "home"))
        for options in (["--check", "--json"], ["--json"]):
            windows = wine_apply(setup, *options)
            unix = run_apply([ARGS.linux_apply], linux, setup, *options, env=env)
            with self.subTest(options=options):
                self.assertEqual(windows[0], unix[0])
                self.assertEqual(without_file(windows[1]), without_file(unix[1]))
                self.assertEqual(json.loads(windows[1])["view"], "32-bit" if X86 else "64-bit")

    def test_exit_status_through_wine(self):
        self.assertEqual(wine_apply("")[0], 0)
        (WINE.root / "setup.ini").unlink()
        code, out = wine_apply(None, "--json")
        self.assertEqual((code, json.loads(out)["entries"]), (2, []))
        orphan = "[Data Sources]\nDSDriver1=VA Absent\nDSAttrib1=DSN=va-orphan\nDSRequest1=ODBC_ADD_DSN\n"
        code, out = wine_apply(orphan, "--json")
        self.assertEqual((code, outcomes(out)), (1, [("datasource", "va-orphan", "failed")]))
        self.assertTrue(json.loads(out)["entries"][0]["errors"], "no installer error detail")
        self.assertEqual(wine_apply("[Drivers]\nDriver1=VA Later\\0Driver=C:\\odbc\\later.dll\n",
                                    "--check")[0], 1)


def main():
    global ARGS, WINE, X86
    parser = argparse.ArgumentParser()
    parser.add_argument("--apply", required=True)
    parser.add_argument("--setup-dll", required=True)
    parser.add_argument("--linux-apply")
    ARGS, rest = parser.parse_known_args()
    # The runs start in the scratch folder.
    ARGS.apply, ARGS.setup_dll = (str(Path(p).resolve()) for p in (ARGS.apply, ARGS.setup_dll))
    missing = [tool for tool in ("wine", "wineboot", "wineserver") if shutil.which(tool) is None]
    if missing:
        print("skipped: %s not installed" % ", ".join(missing))
        return SKIPPED
    X86 = pe_machine(ARGS.apply) == PE_I386
    if X86 and not runs_x86():
        print(X86_SKIP_MESSAGE)
        return SKIPPED
    # CTest's timeout ends the run with SIGTERM: still stop Wine and remove the prefix.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    root = Path(tempfile.mkdtemp(prefix="velloran-wine-apply-"))
    try:
        WINE = Prefix(root)
        WINE.boot()
        program = unittest.main(argv=[sys.argv[0], "-v", *rest], exit=False)
    finally:
        if WINE:
            WINE.close()
        shutil.rmtree(root, ignore_errors=True)
    return 0 if program.result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
