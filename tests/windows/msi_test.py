#!/usr/bin/env python3
"""The .msi packages, with the build's own packaging step (cmake -P):

    msi_test.py lifecycle|signing --msi X64.MSI [--x86-msi X86.MSI]
        --config MSI-CONFIG --script cmake/windows_msi.cmake --version VERSION

lifecycle: the x64 package under Wine in a temporary prefix: upgrade from
a lower version made here, run from the install folder, downgrade refused,
msiexec /x clean; the x86 package by its tables (installing it needs
wine32). signing: a certificate made here; every binary and the package
verify. Exits 77 (skipped) without wine, msitools or openssl.
"""
import argparse
import shutil
import signal
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

sys.dont_write_bytecode = True  # no __pycache__ beside the sources
sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "support"))
from wine import PE_I386, Wine, pe_machine  # noqa: E402

SKIPPED = 77
ARGS = None
SCRATCH = None
PROGRAMS = ["velloran-apply.exe", "velloran-check.exe", "velloran-setup.dll", "velloran.exe"]
FILES = ["LICENSE", "examples/sqlite-datasource.ini", "examples/sqlite-windows.ini",
         "examples/sqlite.ini"] + PROGRAMS
UNINSTALL = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
KEY = "HKLM\\SOFTWARE\\Velloran"
ERROR_INSTALL_FAILURE = 1603 & 0xFF  # as a Linux exit status


def msiinfo(*args):
    return subprocess.run(["msiinfo", *map(str, args)], check=True, text=True,
                          stdout=subprocess.PIPE).stdout


def table(msi, name):
    lines = msiinfo("export", msi, name).splitlines()
    return [dict(zip(lines[0].split("\t"), line.split("\t"))) for line in lines[3:]]


def product(msi):
    return {row["Property"]: row["Value"] for row in table(msi, "Property")}


def make_package(output, **variables):
    """The build's own packaging step, with -D overrides."""
    subprocess.run(["cmake", "-DCONFIG=" + ARGS.config, "-DOUTPUT=%s" % output,
                    *("-D%s=%s" % item for item in variables.items()), "-P", ARGS.script],
                   check=True)
    return output


def extract(msi, folder):
    """The package's files as `FILES` names them, and their folder."""
    subprocess.run(["msiextract", "-C", str(folder), str(msi)], check=True,
                   stdout=subprocess.DEVNULL)
    top = next(folder.glob("**/Velloran"))
    return top, sorted(str(p.relative_to(top)) for p in top.rglob("*") if p.is_file())


class Lifecycle(unittest.TestCase):
    def test_install_upgrade_downgrade_uninstall(self):
        wine = Wine(SCRATCH / "prefix", overrides="mscoree,mshtml=")
        self.addCleanup(wine.stop)
        self.assertTrue(wine.boot(), "wineboot failed")
        folder = wine.prefix / "drive_c" / "Program Files" / "Velloran"
        package = Path(ARGS.msi)
        older = make_package(SCRATCH / "velloran-0.9.0-x64.msi", VERSION="0.9.0")

        def msiexec(action, msi):
            path = "Z:" + str(msi).replace("/", "\\")
            return wine.run("msiexec", action, path, "/qn", timeout=180).returncode

        def version(msi):
            found = wine.registry(UNINSTALL + product(msi)["ProductCode"], 64, "DisplayVersion")
            return found and found["DisplayVersion"]

        self.assertEqual((msiexec("/i", older), version(older)), (0, "0.9.0"))
        # The newer package replaces the older one.
        self.assertEqual((msiexec("/i", package), version(older), version(package)),
                         (0, None, ARGS.version))
        self.assertEqual(sorted(str(p.relative_to(folder)) for p in folder.rglob("*")
                                if p.is_file()), FILES)
        self.assertEqual((wine.registry(KEY, 64), wine.registry(KEY, 32)),
                         ({"InstallDir": "C:\\Program Files\\Velloran\\"}, None))
        apply = "C:\\Program Files\\Velloran\\velloran-apply.exe"
        result = wine.run(apply, "--version")
        self.assertEqual((result.returncode, result.stdout.strip()),
                         (0, "velloran-apply " + ARGS.version))
        result = wine.run(apply, "C:\\Program Files\\Velloran\\examples\\sqlite-windows.ini",
                          env={"WINEDLLOVERRIDES": "mscoree,mshtml=;odbccp32=b"})
        self.assertEqual(result.returncode, 0, result.stdout)
        drivers = wine.registry("HKLM\\Software\\ODBC\\ODBCINST.INI\\ODBC Drivers", 64) or {}
        self.assertEqual(drivers.get("SQLite3 ODBC Driver"), "Installed")
        # The older one is refused and changes nothing.
        self.assertEqual((msiexec("/i", older), version(package)),
                         (ERROR_INSTALL_FAILURE, ARGS.version))
        self.assertTrue((folder / "velloran-apply.exe").is_file())
        # Removed: no file, no key, no product.
        self.assertEqual(msiexec("/x", package), 0)
        self.assertFalse(folder.exists(), list(folder.rglob("*")))
        self.assertEqual((wine.registry(KEY, 64), wine.registry(KEY, 32), version(package)),
                         (None, None, None))

    def test_x86_package_tables(self):
        msi = ARGS.x86_msi
        if not msi or not Path(msi).is_file():
            self.skipTest("no x86 package (build the windows-x86 preset): %s" % msi)
        self.assertIn("Template: Intel;1033\n", msiinfo("suminfo", msi))
        folders = {row["Directory"]: row["Directory_Parent"] for row in table(msi, "Directory")}
        self.assertEqual(folders["INSTALLDIR"], "ProgramFilesFolder")
        self.assertEqual([row for row in table(msi, "Component") if int(row["Attributes"]) & 256], [])
        x86, x64 = product(msi), product(ARGS.msi)
        self.assertEqual(x86["ProductVersion"], ARGS.version)
        self.assertNotEqual(x86["UpgradeCode"], x64["UpgradeCode"])
        top, files = extract(msi, SCRATCH / "x86")
        self.assertEqual(files, FILES)
        self.assertEqual([p for p in PROGRAMS if pe_machine(top / p) != PE_I386], [])


class Signing(unittest.TestCase):
    def test_every_file_verifies(self):
        cert, key = SCRATCH / "cert.pem", SCRATCH / "key.pem"
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                        "-subj", "/CN=Velloran test signing", "-addext",
                        "extendedKeyUsage=codeSigning", "-keyout", str(key), "-out", str(cert)],
                       check=True, capture_output=True)
        msi = make_package(SCRATCH / "signed.msi", VELLORAN_SIGN_CERT=cert, VELLORAN_SIGN_KEY=key)
        top, files = extract(msi, SCRATCH / "files")
        self.assertEqual(files, FILES)
        for path in [msi] + [top / p for p in PROGRAMS]:
            result = subprocess.run(["osslsigncode", "verify", "-CAfile", str(cert), "-in", str(path)],
                                    text=True, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
            self.assertEqual(result.returncode, 0, result.stdout)
            self.assertIn("Velloran test signing", result.stdout)


def main():
    global ARGS, SCRATCH
    parser = argparse.ArgumentParser()
    parser.add_argument("step", choices=["lifecycle", "signing"])
    for option in ("msi", "x86-msi", "config", "script", "version"):
        parser.add_argument("--" + option, required=option != "x86-msi")
    ARGS, rest = parser.parse_known_args()
    tools = ["msiinfo", "msiextract", "wixl"] + (
        ["wine", "wineboot", "wineserver"] if ARGS.step == "lifecycle" else ["openssl", "osslsigncode"])
    missing = [tool for tool in tools if shutil.which(tool) is None]
    if missing or not Path(ARGS.msi).is_file():
        print("skipped: %s not found" % ", ".join(missing or [ARGS.msi]))
        return SKIPPED
    # CTest's timeout ends the run with SIGTERM: still stop Wine and remove the prefix.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    SCRATCH = Path(tempfile.mkdtemp(prefix="velloran-msi-"))
    try:
        case = Lifecycle if ARGS.step == "lifecycle" else Signing
        result = unittest.TextTestRunner(verbosity=2).run(
            unittest.defaultTestLoader.loadTestsFromTestCase(case))
    finally:
        shutil.rmtree(SCRATCH, ignore_errors=True)
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
