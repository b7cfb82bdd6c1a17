#!/usr/bin/env python3
"""End-to-end tests of velloran.exe under Wine, on an Xvfb display.

CTest runs three steps, the first and last as fixtures around the groups:

    wine_suite.py boot SESSION            a fresh Wine prefix in SESSION
    wine_suite.py run SESSION FILES [GROUP...]   the tests (unittest)
    wine_suite.py clean SESSION           stops Wine, removes SESSION
    wine_suite.py profile-probe SESSION --profile-probe EXE
                                          the profile case table, in the prefix

A `run` starts its own Xvfb display and a Wine server for the prefix, and
stops both at the end. Every run of velloran.exe gets a new Wine virtual
desktop of a chosen size, in which winprobe.exe starts it, watches its
windows and answers OK in its warning boxes. Standard library only; needs
wine (64-bit) and Xvfb, and exits 77 (skipped) without them.
"""
import argparse
import contextlib
import json
import os
import select
import shutil
import subprocess
import sys
import time
import unittest
from pathlib import Path

sys.dont_write_bytecode = True  # no __pycache__ beside the sources
sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "support"))
from wine import PE_I386, X86_SKIP_MESSAGE, Wine, pe_machine, runs_x86  # noqa: E402
from xvfb import xvfb  # noqa: E402

SKIPPED = 77
PROBE_TIMEOUT_MS = 15000
RUN_TIMEOUT_MS = 60000
WS_CAPTION, WS_VISIBLE, WS_CLIPSIBLINGS = 0x00C00000, 0x10000000, 0x04000000
WS_EX_WINDOWEDGE = 0x100
WM_LAUNCHER_START = 0x401
SW_SHOWMINNOACTIVE = 7
WARNINGS = {
    "manager": "Failed to install ODBC driver manager.",
    "translator": "Failed to install ODBC translator.",
    "driver": "Failed to install ODBC driver.",
    "source": "Failed to configure ODBC data source.",
}
OK_BOX = {"caption": "Error", "icon": "warning", "buttons": "1 OK=1"}
FAIL_MARKER = "; fake-fail:"


def windows_path(path):
    return "Z:" + str(path).replace("/", "\\")


def parse(lines):
    """'name value' lines; a 'caption' line starts a new box."""
    items = []
    for line in lines:
        name, _, value = line.partition(" ")
        if not items or (name == "caption" and "caption" in items[-1]):
            items.append({})
        items[-1][name] = value
    return items


def box_texts(boxes):
    for box in boxes:
        yield {k: box.get(k) for k in OK_BOX}, box.get("text")


class Run:
    """One velloran.exe run, started by winprobe.exe in a new virtual desktop."""

    count = 0

    def __init__(self, suite, command_line, exe, size, installer, show=None, drain=None, env=None):
        Run.count += 1
        self.suite = suite
        self.desktop = "velloran%d" % Run.count
        # "native-first" is Windows' own order: a DLL file before Wine's builtin.
        self.env = {**(env or {}), "VELLORAN_PROBE_DESKTOP": self.desktop,
                    "VELLORAN_PROBE_TIMEOUT": str(PROBE_TIMEOUT_MS),
                    "VELLORAN_PROBE_COMMAND_LINE": command_line,
                    "WINEDLLOVERRIDES": {"fake": "odbccp32=n", "none": "odbccp32=d",
                                         "wine": "odbccp32=b",
                                         "native-first": "odbccp32=n,b"}[installer]}
        args = ["explorer", "/desktop=%s,%dx%d" % (self.desktop, *size), suite.probe, "launch",
                exe, "--timeout", str(RUN_TIMEOUT_MS)]
        args += ["--show", str(show)] if show is not None else []
        args += ["--drain", drain] if drain else []
        self.process = suite.wine.popen(*args, env=self.env)
        ready, _, _ = select.select([self.process.stdout], [], [], PROBE_TIMEOUT_MS / 1000)
        first = self.process.stdout.readline() if ready else ""
        if not first.startswith("pid "):
            self.stop()
            raise RuntimeError("velloran.exe did not start: %r" % first)
        self.pid = first.split()[1]

    def probe(self, *args):
        result = self.suite.wine.run(self.suite.probe, *args, env=self.env)
        return result.returncode, result.stdout.splitlines()

    def window(self):
        code, lines = self.probe("window")
        if code != 0:
            raise AssertionError("no launcher window: %s" % lines)
        info = parse(lines)[0]
        for name in ("style", "exstyle"):
            info[name] = int(info[name], 16)
        for name in ("rect", "client"):
            info[name] = [int(n) for n in info[name].split()]
        return info

    def box(self, ok=False):
        code, lines = self.probe("box", self.pid, *(["--ok"] if ok else []))
        return parse(lines)[0] if code == 0 else None

    def pixels(self, *args):
        """The BMP file a capture or render command writes."""
        path = self.suite.scratch / ("%s-%s.bmp" % (self.desktop, args[0]))
        code, lines = self.probe(*args, windows_path(path))
        if code != 0:
            raise AssertionError("%s failed: %s" % (args[0], lines))
        return path.read_bytes()

    def wait_for_message(self, text):
        """Polls until the client area shows `text` as the program draws it."""
        expected = self.pixels("render", text)
        deadline = time.monotonic() + PROBE_TIMEOUT_MS / 1000
        while self.pixels("capture") != expected:
            if time.monotonic() > deadline:
                raise AssertionError("the window never showed %r" % text)
            time.sleep(0.1)
        return expected

    def finish(self):
        """Waits for the run to end: its exit code and the boxes drained."""
        try:
            output, _ = self.process.communicate(timeout=RUN_TIMEOUT_MS / 1000 + 30)
        finally:
            self.stop()
        lines = output.splitlines()
        exits = [line.split()[1] for line in lines if line.startswith("exit ")]
        boxes = parse(line for line in lines if not line.startswith(("exit ", "timeout")))
        return (int(exits[0]) if exits else None), [box for box in boxes if "caption" in box]

    def stop(self):
        if self.process.poll() is None:
            self.probe("end", self.pid)
            with contextlib.suppress(subprocess.TimeoutExpired):
                self.process.communicate(timeout=30)
        if self.process.poll() is None:
            self.process.kill()
            self.process.communicate()


class Suite:
    """The programs in a scratch folder, the prefix's Wine, and runs in it."""

    def __init__(self, session, files, display):
        self.wine = Wine(session / "prefix", display)
        self.scratch = session / ("scratch-%d" % os.getpid())
        shutil.rmtree(self.scratch, ignore_errors=True)
        self.program_dir = self.scratch / "program"
        self.program_dir.mkdir(parents=True)
        shutil.copy(files.velloran, self.program_dir / "velloran.exe")
        shutil.copy(files.probe, self.scratch / "winprobe.exe")
        # velloran.exe loads DLLs from the system folder only, so the fake
        # goes there in place of Wine's placeholder: "n" picks the fake, "b"
        # Wine's own. The placeholder is put back at the end for other runs.
        # An x86 build's system folder under WoW64 is syswow64, and its
        # HKLM\Software is the 32-bit registry view: (own view, other view).
        self.x86 = pe_machine(files.velloran) == PE_I386
        self.system32 = self.wine.prefix / ("drive_c/windows/%s" % (
            "syswow64" if self.x86 else "system32"))
        self.views = (32, 64) if self.x86 else (64, 32)
        self.setup_library = files.setup_library
        self.files = files
        self.placeholder = self.scratch / "odbccp32-placeholder.dll"
        shutil.copy(self.system32 / "odbccp32.dll", self.placeholder)
        shutil.copy(files.fake, self.system32 / "odbccp32.dll")
        # Wine's installer puts its system folder before a bare Setup= name.
        shutil.copy(files.recorder, self.system32 / "dsnrecorder.dll")
        self.fake = files.fake
        self.probe = windows_path(self.scratch / "winprobe.exe")
        self.scenarios = Path(files.scenarios)
        self.wine.server("-p30")

    @contextlib.contextmanager
    def wine_installer_in_system32(self):
        """Wine's placeholder back in system32, so "n,b" finds Wine's own."""
        fake = self.scratch / "odbccp32-fake.dll"
        shutil.copy(self.system32 / "odbccp32.dll", fake)
        shutil.copy(self.placeholder, self.system32 / "odbccp32.dll")
        try:
            yield
        finally:
            shutil.copy(fake, self.system32 / "odbccp32.dll")

    def close(self):
        shutil.copy(self.placeholder, self.system32 / "odbccp32.dll")
        self.wine.stop()

    def write(self, name, text):
        path = self.scratch / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_text(text)
        return path

    def start(self, setup=None, command_line=None, exe=None, size=(1024, 768), installer="none",
              **options):
        exe = exe or windows_path(self.program_dir / "velloran.exe")
        if command_line is None:
            command_line = "velloran.exe " + windows_path(setup)
        return Run(self, command_line, exe, size, installer, **options)


SUITE = None


class WineTest(unittest.TestCase):
    def start(self, setup_text, **options):
        setup = SUITE.write("%s.ini" % self.id().split(".")[-1], setup_text)
        run = SUITE.start(setup, **options)
        run.setup = setup
        self.addCleanup(run.stop)
        return run

    def record(self, name):
        path = SUITE.scratch / name
        return path, {"VELLORAN_FAKE_LOG": windows_path(path)}


ONE_DRIVER = "[Drivers]\nDriver1=Held\\0Driver=held.dll\n"


class Placement(WineTest):
    def test_centred_on_the_desktop_with_truncating_division(self):
        # 1x1 is the smallest desktop Wine makes (0x0 is refused). On desktops
        # narrower than the window Wine caps its size to the desktop plus
        # frame, so only the position is held to the rule there.
        rows = [((1024, 768), (387, 309)), ((800, 600), (275, 225)), ((1023, 768), (386, 309)),
                ((201, 149), (-24, 0)), ((1, 1), (-124, -74))]
        for size, corner in rows:
            with self.subTest(size=size):
                run = self.start(ONE_DRIVER, size=size)
                rect = run.window()["rect"]
                self.assertEqual(rect[:2], list(corner))
                if size[0] > 250:
                    self.assertEqual((rect[2] - rect[0], rect[3] - rect[1]), (250, 150))
                self.assertIsNotNone(run.box(ok=True))
                self.assertEqual(run.finish()[0], 0)


class Window(WineTest):
    def test_caption_comes_from_title(self):
        rows = [("Title=Sales setup\n", "Sales setup"), ("", "Launcher"), ("Title=\n", "Launcher"),
                ("Title=Empty\n", "Launcher"), ("Title=%s\n" % ("t" * 120), "t" * 99)]
        for settings, caption in rows:
            with self.subTest(settings=settings[:20]):
                run = self.start("[Settings]\n" + settings + ONE_DRIVER)
                self.assertEqual(run.window()["caption"], caption)
                run.box(ok=True)
                self.assertEqual(run.finish()[0], 0)

    def test_caption_only_style_and_clicks_change_nothing(self):
        path, env = self.record("clicks.log")
        run = self.start(ONE_DRIVER, installer="fake", env={**env,
                         "VELLORAN_FAKE_FAIL": "SQLInstallDriverEx#*"})
        before = run.window()
        # The system adds clip-siblings and the window edge to any captioned
        # top-level window; nothing else may be there: no system menu, close
        # box, minimize or maximize box, no sizing border.
        self.assertEqual(hex(before["style"]), hex(WS_CAPTION | WS_VISIBLE | WS_CLIPSIBLINGS))
        self.assertEqual(hex(before["exstyle"] & ~WS_EX_WINDOWEDGE), "0x0")
        self.assertEqual(before["iconic"], "0")
        pixels = run.wait_for_message("Launching program...")
        for point in ((5, 5), (122, 62), (240, 120)):
            code, lines = run.probe("click", *map(str, point))
            self.assertEqual(code, 0, lines)
        self.assertEqual(run.window(), before)
        self.assertEqual(run.pixels("capture"), pixels)
        self.assertEqual(run.box(ok=True)["text"], WARNINGS["driver"])
        self.assertEqual(run.finish()[0], 0)
        self.assertEqual(path.read_text().count("SQLInstallDriverEx#"), 1)

    def test_started_minimized_it_stays_minimized(self):
        run = self.start(ONE_DRIVER, show=SW_SHOWMINNOACTIVE)
        self.assertEqual(run.window()["iconic"], "1")
        run.box(ok=True)
        self.assertEqual(run.finish()[0], 0)


class LoadMessage(WineTest):
    def test_drawn_and_read_again_on_every_repaint(self):
        setup = "[Settings]\nTitle=Repaint\nLoadMessage=%s\n" + ONE_DRIVER
        run = self.start(setup % "Installing the sales drivers...")
        first = run.wait_for_message("Installing the sales drivers...")
        for message, shown in (("Second text, longer than the first", None),
                               ("Empty", "Launching program...")):
            run.setup.write_text(setup % message)
            code, _ = run.probe("redraw")
            self.assertEqual(code, 0)
            self.assertNotEqual(run.wait_for_message(shown or message), first)
        run.box(ok=True)
        self.assertEqual(run.finish()[0], 0)


FULL_SETUP = """[InstallManager]
Install=1
[Translators]
Translator1=Tr One\\0Translator=tr1.dll
Translator2=Tr Two\\0Translator=tr2.dll
[Drivers]
Driver1=Drv One\\0Driver=drv1.dll
Driver2=Drv Two\\0Driver=drv2.dll
[Data Sources]
DSDriver1=Drv One
DSAttrib1=DSN=a
DSDriver2=Drv Two
DSRequest2=ODBC_ADD_SYS_DSN
"""


class WarningBoxes(WineTest):
    def test_without_the_installer_every_entry_warns_once(self):
        run = self.start(FULL_SETUP, drain="-")
        code, boxes = run.finish()
        self.assertEqual(code, 0)
        kinds = ["manager", "translator", "translator", "driver", "driver", "source", "source"]
        self.assertEqual(list(box_texts(boxes)), [(OK_BOX, WARNINGS[k]) for k in kinds])

    def test_a_second_start_message_starts_no_second_run(self):
        path, env = self.record("second-start.log")
        run = self.start(ONE_DRIVER + "Driver2=Next\n", installer="fake",
                         env={**env, "VELLORAN_FAKE_FAIL": "SQLInstallDriverEx#*"})
        self.assertEqual(run.box()["text"], WARNINGS["driver"])
        # Delivered by the box's own message loop, in the middle of the run.
        self.assertEqual(run.probe("post", hex(WM_LAUNCHER_START))[0], 0)
        run.box(ok=True)
        self.assertEqual(run.box(ok=True)["text"], WARNINGS["driver"])
        self.assertIsNone(run.box())
        self.assertEqual(run.finish()[0], 0)
        calls = [line for line in path.read_text().splitlines() if line not in ("load", "unload")]
        self.assertEqual([c.split()[0] for c in calls], ["SQLInstallDriverEx#1", "SQLInstallDriverEx#2"])


class WineInstaller(WineTest):
    """Wine's own odbccp32.dll, with the recording setup library as a driver."""

    def test_components_reach_the_registry_and_requests_the_setup_library(self):
        keywords = ["ODBC_ADD_DSN", "ODBC_CONFIG_DSN", "ODBC_REMOVE_DSN",
                    "ODBC_ADD_SYS_DSN", "ODBC_CONFIG_SYS_DSN", "ODBC_REMOVE_SYS_DSN"]
        # Wine 8 loads Driver= for data-source requests, later ones Setup=.
        setup = ("[InstallManager]\nInstall=1\n[Translators]\n"
                 "Translator1=VT Translator\\0Translator=vttr.dll\\0Setup=vttrs.dll\n"
                 "[Drivers]\nDriver1=VT Recorder\\0Driver=dsnrecorder.dll\\0Setup=dsnrecorder.dll"
                 "\\0APILevel=1\nDriver2=VT Plain\\0Driver=vtplain.dll\n[Data Sources]\n")
        for n, keyword in enumerate(keywords, 1):
            setup += "DSDriver%d=VT Recorder\nDSAttrib%d=DSN=vt%d\\0Database=C:\\db\\%d.db\nDSRequest%d=%s\n" % (
                n, n, n, n, n, keyword)
        log = SUITE.scratch / "config-dsn.log"
        run = self.start(setup, installer="wine", drain="-",
                         env={"VELLORAN_SETUP_LOG": windows_path(log)})
        self.assertEqual(run.finish(), (0, []))
        # The installer hands add/configure/remove on, the system keywords
        # as the system configuration mode (2), the user ones as user (1).
        expected = ['ConfigDSN hwnd=NULL request=%d mode=%d driver="VT Recorder" '
                    'attributes="DSN=vt%d\\0Database=C:\\db\\%d.db\\0\\0"' % (
                        (n - 1) % 3 + 1, 1 if n <= 3 else 2, n, n) for n in range(1, 7)]
        self.assertEqual(log.read_text().splitlines(), expected)
        registry = {key: self.registry_values(key) for key in
                    ("ODBC Drivers", "ODBC Translators", "VT Recorder", "VT Plain", "VT Translator")}
        self.assertEqual(registry["ODBC Drivers"].get("VT Recorder"), "Installed")
        self.assertEqual(registry["ODBC Drivers"].get("VT Plain"), "Installed")
        self.assertEqual(registry["ODBC Translators"].get("VT Translator"), "Installed")
        self.assertEqual(registry["VT Recorder"]["APILevel"], "1")
        self.assertEqual(registry["VT Recorder"]["UsageCount"], "0x1")
        files = {(key, name): registry[key][name].lower().rsplit("\\", 1)[-1] for key, name in
                 [("VT Recorder", "Driver"), ("VT Recorder", "Setup"), ("VT Plain", "Driver"),
                  ("VT Translator", "Translator"), ("VT Translator", "Setup")]}
        self.assertEqual(list(files.values()), ["dsnrecorder.dll", "dsnrecorder.dll",
                                                "vtplain.dll", "vttr.dll", "vttrs.dll"])

    def test_a_dll_planted_beside_the_program_is_never_loaded(self):
        # As from a Downloads folder, in Windows' own order (a DLL file before
        # Wine's builtin): the recording fake waits beside the program.
        folder = SUITE.scratch / "downloads"
        folder.mkdir(exist_ok=True)
        shutil.copy(SUITE.program_dir / "velloran.exe", folder / "velloran.exe")
        shutil.copy(SUITE.fake, folder / "odbccp32.dll")
        log, env = self.record("planted.log")
        setup = SUITE.write("planted.ini", "[Drivers]\nDriver1=VT Planted\\0Driver=planted.dll\n")
        with SUITE.wine_installer_in_system32():
            run = SUITE.start(setup, exe=windows_path(folder / "velloran.exe"),
                              installer="native-first", env=env, drain="-")
            self.assertEqual(run.finish(), (0, []))
        self.assertFalse(log.exists(), "the planted odbccp32.dll was loaded")
        self.assertEqual(self.registry_values("ODBC Drivers").get("VT Planted"), "Installed")

    def test_each_build_writes_only_its_own_view(self):
        # velloran-setup.dll as the driver's setup library (Wine 8 loads
        # Driver= for data-source requests), so the installer's own profile
        # functions write the data sources.
        shutil.copy(SUITE.setup_library, SUITE.system32 / "velloran-setup.dll")
        setup = ("[Drivers]\nDriver1=VT View\\0Driver=velloran-setup.dll\\0Setup=velloran-setup.dll\n"
                 "[Data Sources]\nDSDriver1=VT View\nDSAttrib1=DSN=vt-view-sys\\0Database=s\n"
                 "DSRequest1=ODBC_ADD_SYS_DSN\nDSDriver2=VT View\nDSAttrib2=DSN=vt-view-user\\0Database=u\n"
                 "DSRequest2=ODBC_ADD_DSN\n")
        run = self.start(setup, installer="wine", drain="-")
        self.assertEqual(run.finish(), (0, []))
        own, other = SUITE.views
        # Wine 8 keeps a data source's name and driver in HKLM whatever the
        # request, and its other attributes under HKCU\Software, which both
        # bitnesses share: the same in either view.
        self.assertEqual(self.registry_values("VT View", own)["Driver"].lower().rsplit("\\", 1)[-1],
                         "velloran-setup.dll")
        sources = self.registry_values("ODBC Data Sources", own, "ODBC.INI")
        self.assertEqual((sources.get("vt-view-sys"), sources.get("vt-view-user")),
                         ("VT View", "VT View"))
        self.assertEqual(self.registry_values("VT View", other), {})
        self.assertEqual(self.registry_values("ODBC Data Sources", other, "ODBC.INI"), {})
        for name, value in (("vt-view-sys", "s"), ("vt-view-user", "u")):
            for view in SUITE.views:
                self.assertEqual(self.registry_values(name, view, "ODBC.INI", "HKCU")["Database"],
                                 value)

    def test_apply_check_names_the_other_view_of_a_driver(self):
        # A driver installed for applications of the other bitness only: the
        # data source for it would fail here, and the check says which
        # build would see the driver.
        own, other = SUITE.views
        SUITE.wine.registry_add("HKLM\\Software\\ODBC\\ODBCINST.INI\\ODBC Drivers", other,
                                "VT Elsewhere", "Installed")
        apply = Path(SUITE.files.velloran).parent / "velloran-apply.exe"
        setup = SUITE.write("elsewhere.ini", "[Data Sources]\nDSDriver1=VT Elsewhere\n"
                            "DSAttrib1=DSN=vt-elsewhere\nDSRequest1=ODBC_ADD_SYS_DSN\n")
        with SUITE.wine_installer_in_system32():
            result = SUITE.wine.run(windows_path(apply), "--check", "--json", windows_path(setup),
                                    env={"WINEDLLOVERRIDES": "odbccp32=b"})
        self.assertEqual(result.returncode, 1)
        report = json.loads(result.stdout)
        self.assertEqual(report["view"], "32-bit" if SUITE.x86 else "64-bit")
        entry = report["entries"][0]
        self.assertEqual(entry["outcome"], "fail")
        self.assertIn("run the %s build" % ("x64" if SUITE.x86 else "x86"),
                      entry["errors"][0]["message"])

    def registry_values(self, key, view=None, tree="ODBCINST.INI", root="HKLM"):
        """The values of an installer key in a registry view (the build's own
        by default); {} when it is missing."""
        view = SUITE.views[0] if view is None else view
        return SUITE.wine.registry("%s\\Software\\ODBC\\%s\\%s" % (root, tree, key), view) or {}


class Corpus(WineTest):
    """tests/scenarios: velloran.exe must give the records the Linux program gives."""

    def test_each_scenario_gives_the_expected_record(self):
        for setup in sorted(SUITE.scenarios.glob("*.ini")):
            with self.subTest(scenario=setup.stem):
                record = SUITE.scratch / ("%s.record" % setup.stem)
                env = {"VELLORAN_FAKE_LOG": windows_path(record)}
                for line in setup.read_text().splitlines():
                    if line.startswith(FAIL_MARKER):
                        env["VELLORAN_FAKE_FAIL"] = line[len(FAIL_MARKER):].strip()
                run = SUITE.start(setup, installer="fake", env=env, drain=windows_path(record))
                code, boxes = run.finish()
                self.assertEqual(code, 0)
                self.assertEqual(record.read_text(), setup.with_suffix(".expected").read_text())
                for properties, _ in box_texts(boxes):
                    self.assertEqual(properties, OK_BOX)


class CommandLine(WineTest):
    def test_the_tail_after_the_program_name_is_the_setup_file(self):
        drive_c = SUITE.wine.prefix / "drive_c"
        (drive_c / "vcl").mkdir(exist_ok=True)
        (drive_c / "vcl" / "db.ini").write_text("[Drivers]\nDriver1=Named\n")
        blank = drive_c / "vcl dir"
        blank.mkdir(exist_ok=True)
        shutil.copy(SUITE.program_dir / "velloran.exe", blank / "velloran.exe")
        (blank / "velloran.ini").write_text("[Drivers]\nDriver1=Beside\n")
        exe = "C:\\vcl dir\\velloran.exe"
        rows = [
            ("velloran.exe C:\\vcl\\db.ini", None, ["Named"]),
            ('"C:\\vcl dir\\velloran.exe"', exe, ["Beside"]),
            ('"C:\\vcl dir\\velloran.exe"  C:\\vcl\\db.ini', exe, ["Named"]),
            # The quotes stay part of the name, so no file is found.
            ('velloran.exe "C:\\vcl\\db.ini"', None, []),
        ]
        for n, (command_line, program, drivers) in enumerate(rows):
            with self.subTest(command_line=command_line):
                path, env = self.record("command-line-%d.log" % n)
                run = SUITE.start(command_line=command_line, exe=program, installer="fake",
                                  env=env, drain="-")
                self.assertEqual(run.finish(), (0, []))
                record = path.read_text() if path.exists() else ""
                self.assertEqual([line.split('"')[1].split("\\")[0] for line in record.splitlines()
                                  if line.startswith("SQLInstallDriverEx")], drivers)


class VersionResource(WineTest):
    def test_as_the_version_api_reads_it(self):
        result = SUITE.wine.run(SUITE.probe, "version", windows_path(SUITE.program_dir / "velloran.exe"))
        self.assertEqual(result.stdout.splitlines(), [
            "file-version 1.0.0.0", "product-version 1.0.0.0", "translation 040904b0",
            "FileVersion 1, 0, 0, 0", "ProductVersion 1, 0, 0, 0", "string-block 040904b0",
            # The version information is the only resource.
            "resource 16 1 1033"])


def boot(session):
    shutil.rmtree(session, ignore_errors=True)
    session.mkdir(parents=True)
    with xvfb() as display:
        wine = Wine(session / "prefix", display)
        try:
            wine.boot()
        finally:
            wine.stop()


def clean(session):
    if (session / "prefix").exists():
        Wine(session / "prefix", "").stop()
    shutil.rmtree(session, ignore_errors=True)


def profile_probe(session, exe):
    """The profile case table against Wine's own profile functions; no display."""
    scratch = session / ("profile-probe-%d" % os.getpid())
    shutil.rmtree(scratch, ignore_errors=True)
    scratch.mkdir(parents=True)
    shutil.copy(exe, scratch / "profile_probe.exe")
    wine = Wine(session / "prefix", "")
    try:
        result = wine.run(windows_path(scratch / "profile_probe.exe"), windows_path(scratch / "files"),
                          timeout=120)
    finally:
        wine.stop()
        shutil.rmtree(scratch, ignore_errors=True)
    # Every row, with "/* was ... */" before those Wine answers differently.
    print(result.stdout, end="")
    return result.returncode


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("step", choices=["boot", "run", "clean", "profile-probe"])
    parser.add_argument("session", type=Path)
    for name in ("velloran", "probe", "fake", "recorder", "setup_library", "scenarios",
                 "profile_probe"):
        parser.add_argument("--" + name.replace("_", "-"))
    args, rest = parser.parse_known_args()
    missing = [tool for tool in ("wine", "wineserver", "Xvfb") if shutil.which(tool) is None]
    if missing:
        print("skipped: %s not installed" % ", ".join(missing))
        return SKIPPED
    if args.step == "boot":
        boot(args.session)
        return 0
    if args.step == "clean":
        clean(args.session)
        return 0
    program = args.profile_probe if args.step == "profile-probe" else args.velloran
    if pe_machine(program) == PE_I386 and not runs_x86():
        # Debian's wine32 under WoW64, on a kernel that runs 32-bit code.
        print(X86_SKIP_MESSAGE)
        return SKIPPED
    if args.step == "profile-probe":
        return profile_probe(args.session, args.profile_probe)
    global SUITE
    with xvfb() as display:
        SUITE = Suite(args.session, args, display)
        try:
            program = unittest.main(argv=[sys.argv[0], "-v", *rest], exit=False)
        finally:
            SUITE.close()
    return 0 if program.result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
