#!/usr/bin/env python3
"""The Windows Installer packages the build makes with wixl.

    msi_test.py lifecycle --msi X64.MSI --config MSI-CONFIG --script SCRIPT
    msi_test.py tables MSI...
    msi_test.py signing --msi MSI --config MSI-CONFIG --script SCRIPT

lifecycle: in a temporary Wine prefix, the x64 package's life as an
administrator's script lives it: a lower version (made here by the build's
own cmake/windows_msi.cmake) installed silently, replaced by the package,
velloran-apply.exe run from the install folder on the example through
Wine's installer, the lower version refused, and msiexec /x leaving no file
and no key of ours.
tables: what msiinfo reads from each package: its architecture, folder,
files, registry value, upgrade code and downgrade rule; and the programs
inside are of that architecture.
signing: a certificate made on the spot, given to the build's packaging step
as the build takes it: osslsigncode verify passes on every program, the DLL
and the package. The build's own package is unsigned unless it was given
one.
Standard library only; exits 77 (skipped) without wine, msitools or openssl.
"""
import argparse
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

sys.dont_write_bytecode = True  # no __pycache__ beside the sources
sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "support"))
from wine import Wine, pe_machine  # noqa: E402

SKIPPED = 77
ARGS = None
SCRATCH = None
PROGRAMS = ["velloran.exe", "velloran-check.exe", "velloran-apply.exe", "velloran-setup.dll"]
FILES = PROGRAMS + ["LICENSE", "examples/sqlite.ini", "examples/sqlite-datasource.ini"]
UNINSTALL = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
# Windows Installer's exit codes, as a Linux process's 8-bit status.
ERROR_INSTALL_FAILURE = 1603 & 0xFF
ARCHES = {
    # template, program-files folder, component attributes, PE machine
    "x64": ("x64;1033", "ProgramFiles64Folder", 256, 0x8664),
    "x86": ("Intel;1033", "ProgramFilesFolder", 0, 0x14C),
}


def windows_path(path):
    return "Z:" + str(path).replace("/", "\\")


def table(msi, name):
    """The rows of one table as dicts, from msiinfo export."""
    lines = subprocess.run(["msiinfo", "export", str(msi), name], check=True, text=True,
                           stdout=subprocess.PIPE).stdout.splitlines()
    columns = lines[0].split("\t")
    return [dict(zip(columns, line.split("\t"))) for line in lines[3:]]


def properties(msi):
    return {row["Property"]: row["Value"] for row in table(msi, "Property")}


def make_package(output, **variables):
    """The build's own packaging step, with -D overrides."""
    defines = ["-D%s=%s" % item for item in variables.items()]
    subprocess.run(["cmake", "-DCONFIG=" + ARGS.config, "-DOUTPUT=" + str(output), *defines,
                    "-P", ARGS.script], check=True)
    return output


class Tables(unittest.TestCase):
    def test_each_package(self):
        upgrade_codes = set()
        for msi in ARGS.msi:
            arch = re.search(r"-(x64|x86)\.msi$", msi).group(1)
            template, program_files, attributes, machine = ARCHES[arch]
            with self.subTest(msi=Path(msi).name):
                summary = subprocess.run(["msiinfo", "suminfo", msi], check=True, text=True,
                                         stdout=subprocess.PIPE).stdout
                self.assertIn("Template: %s\n" % template, summary)
                folders = {row["Directory"]: row for row in table(msi, "Directory")}
                self.assertEqual((folders["INSTALLDIR"]["Directory_Parent"],
                                  folders["INSTALLDIR"]["DefaultDir"]), (program_files, "Velloran"))
                # Per machine, into the architecture's own view and folder.
                found = properties(msi)
                self.assertEqual(found["ALLUSERS"], "1")
                self.assertEqual(found["ProductVersion"], ARGS.version)
                self.assertEqual({row["Attributes"] for row in table(msi, "Component")},
                                 {str(attributes), str(attributes | 4)})
                self.assertEqual([(r["Root"], r["Key"], r["Name"], r["Value"])
                                  for r in table(msi, "Registry")],
                                 [("2", "SOFTWARE\\Velloran\\", "InstallDir", "[INSTALLDIR]")])
                # A newer version replaces it, an older one is refused.
                upgrades = table(msi, "Upgrade")
                self.assertEqual({row["UpgradeCode"] for row in upgrades}, {found["UpgradeCode"]})
                self.assertEqual(sorted((r["ActionProperty"], r["VersionMin"], r["VersionMax"])
                                        for r in upgrades),
                                 [("WIX_DOWNGRADE_DETECTED", ARGS.version, ""),
                                  ("WIX_UPGRADE_DETECTED", "", ARGS.version)])
                condition = table(msi, "LaunchCondition")
                self.assertEqual(condition[0]["Condition"], "NOT WIX_DOWNGRADE_DETECTED")
                self.assertIn("A newer version of Velloran", condition[0]["Description"])
                upgrade_codes.add(found["UpgradeCode"])
                # The files, and programs of the package's architecture.
                out = SCRATCH / arch
                subprocess.run(["msiextract", "-C", str(out), msi], check=True,
                               stdout=subprocess.DEVNULL)
                # msiextract 0.101 knows ProgramFilesFolder only.
                folder = next(out.glob("**/Velloran"))
                shipped = sorted(str(p.relative_to(folder)) for p in folder.rglob("*") if p.is_file())
                self.assertEqual(shipped, sorted(FILES))
                for program in PROGRAMS:
                    self.assertEqual(hex(pe_machine(folder / program)), hex(machine), program)
        self.assertEqual(len(upgrade_codes), len(ARGS.msi), "the architectures share an upgrade code")


class Lifecycle(unittest.TestCase):
    """Install, run, upgrade, downgrade refused, uninstall: one prefix, in order."""

    def setUp(self):
        self.wine = Wine(SCRATCH / "prefix", overrides="mscoree,mshtml=")
        self.addCleanup(self.wine.stop)
        self.assertTrue(self.wine.boot(), "wineboot failed")
        self.folder = self.wine.prefix / "drive_c" / "Program Files" / "Velloran"

    def msiexec(self, action, msi):
        return self.wine.run("msiexec", action, windows_path(msi), "/qn", timeout=180).returncode

    def installed_version(self, msi):
        found = self.wine.registry(UNINSTALL + properties(msi)["ProductCode"], 64, "DisplayVersion")
        return found and found["DisplayVersion"]

    def test_install_upgrade_downgrade_uninstall(self):
        package = Path(ARGS.msi[0])
        older = make_package(SCRATCH / "velloran-0.9.0-x64.msi", VERSION="0.9.0")
        self.assertEqual(self.msiexec("/i", older), 0)
        self.assertEqual(self.installed_version(older), "0.9.0")

        # The newer package replaces the older one.
        self.assertEqual(self.msiexec("/i", package), 0)
        self.assertIsNone(self.installed_version(older))
        self.assertEqual(self.installed_version(package), ARGS.version)
        self.assertEqual(sorted(str(p.relative_to(self.folder)) for p in self.folder.rglob("*")
                                if p.is_file()), sorted(FILES))
        key = "HKLM\\SOFTWARE\\Velloran"
        self.assertEqual(self.wine.registry(key, 64), {"InstallDir": "C:\\Program Files\\Velloran\\"})
        self.assertIsNone(self.wine.registry(key, 32))

        # The programs run from there, the example through Wine's installer.
        apply = "C:\\Program Files\\Velloran\\velloran-apply.exe"
        result = self.wine.run(apply, "--version")
        self.assertEqual((result.returncode, result.stdout.strip()),
                         (0, "velloran-apply " + ARGS.version))
        result = self.wine.run(apply, "C:\\Program Files\\Velloran\\examples\\sqlite.ini",
                               env={"WINEDLLOVERRIDES": "mscoree,mshtml=;odbccp32=b"})
        self.assertEqual(result.returncode, 0, result.stdout)
        drivers = self.wine.registry("HKLM\\Software\\ODBC\\ODBCINST.INI\\ODBC Drivers", 64) or {}
        self.assertEqual((drivers.get("SQLite3"), drivers.get("SQLite")),
                         ("Installed", "Installed"))

        # The older one is refused and changes nothing.
        self.assertEqual(self.msiexec("/i", older), ERROR_INSTALL_FAILURE)
        self.assertEqual(self.installed_version(package), ARGS.version)
        self.assertTrue((self.folder / "velloran-apply.exe").is_file())

        # Uninstalled: no file, no key, no product.
        self.assertEqual(self.msiexec("/x", package), 0)
        self.assertFalse(self.folder.exists(), list(self.folder.rglob("*")))
        self.assertIsNone(self.wine.registry(key, 64))
        self.assertIsNone(self.wine.registry(key, 32))
        self.assertIsNone(self.installed_version(package))


class Signing(unittest.TestCase):
    def test_every_file_verifies(self):
        cert, key = SCRATCH / "cert.pem", SCRATCH / "key.pem"
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                        "-subj", "/CN=Velloran test signing", "-addext",
                        "extendedKeyUsage=codeSigning", "-keyout", str(key), "-out", str(cert)],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        msi = make_package(SCRATCH / "signed.msi", VELLORAN_SIGN_CERT=cert, VELLORAN_SIGN_KEY=key)
        out = SCRATCH / "files"
        subprocess.run(["msiextract", "-C", str(out), str(msi)], check=True,
                       stdout=subprocess.DEVNULL)
        signed = [msi] + sorted(p for p in out.rglob("*") if p.suffix in (".exe", ".dll"))
        self.assertEqual(sorted(p.name for p in signed[1:]), sorted(PROGRAMS))
        for path in signed:
            with self.subTest(file=path.name):
                result = self.verify(path, cert)
                self.assertEqual(result.returncode, 0, result.stdout)
                self.assertIn("Velloran test signing", result.stdout)
        # Without a certificate the build's package is made all the same.
        if re.search(r'"VELLORAN_SIGN_CERT;"', Path(ARGS.config).read_text()):
            self.assertNotEqual(self.verify(Path(ARGS.msi[0]), cert).returncode, 0)

    @staticmethod
    def verify(path, cert):
        return subprocess.run(["osslsigncode", "verify", "-CAfile", str(cert), "-in", str(path)],
                              text=True, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)


def main():
    global ARGS, SCRATCH
    parser = argparse.ArgumentParser()
    parser.add_argument("step", choices=["lifecycle", "tables", "signing"])
    parser.add_argument("--msi", action="append", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--config")
    parser.add_argument("--script")
    ARGS, rest = parser.parse_known_args()
    tools = {"lifecycle": ["wine", "wineboot", "wineserver", "msiinfo", "cmake", "wixl"],
             "tables": ["msiinfo", "msiextract"],
             "signing": ["openssl", "osslsigncode", "msiinfo", "msiextract", "cmake", "wixl"]}
    missing = [tool for tool in tools[ARGS.step] if shutil.which(tool) is None]
    missing += [msi for msi in ARGS.msi if not Path(msi).is_file()]
    if missing:
        print("skipped: %s not found" % ", ".join(missing))
        return SKIPPED
    # CTest's timeout ends the run with SIGTERM: still stop Wine and remove the prefix.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    SCRATCH = Path(tempfile.mkdtemp(prefix="velloran-msi-"))
    try:
        case = {"lifecycle": Lifecycle, "tables": Tables, "signing": Signing}[ARGS.step]
        suite = unittest.defaultTestLoader.loadTestsFromTestCase(case)
        result = unittest.TextTestRunner(verbosity=2).run(suite)
    finally:
        shutil.rmtree(SCRATCH, ignore_errors=True)
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
