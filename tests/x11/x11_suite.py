#!/usr/bin/env python3
"""End-to-end tests of the Linux launcher window and warning boxes, on Xvfb.

    x11_suite.py --velloran PROGRAM --fake-dir DIR [GROUP...]

Every test starts its own Xvfb on a display number the server picks
(-displayfd), of the screen size the test needs, and stops it again; the
WithWindowManager group also starts openbox on it. The program runs against
the recording fake installer library (DIR holds its libodbcinst.so.2) in a
temporary HOME, ODBCSYSINI and ODBCINI. Windows are found and driven with
xdotool, read with xwininfo and xprop, and captured with ImageMagick's
import. Every wait is bounded. Exits 77 (skipped) when a tool is missing.
"""
import argparse
import ctypes
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

sys.dont_write_bytecode = True  # no __pycache__ beside the sources
sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "support"))
from xvfb import WAIT, die_with_parent, libx11, stop, wait_for, xvfb  # noqa: E402

SKIPPED = 77
TOOLS = ("Xvfb", "xdotool", "xwininfo", "xprop", "import")
TITLE_ONLY_HINTS = "0x3, 0x4, 0x8, 0x0, 0x0"  # functions+decorations: move; title
DRIVER_WARNING = "Error: Failed to install ODBC driver."
TWO_DRIVERS = "[Drivers]\nDriver1=One\\0Driver=one.so\nDriver2=Two\\0Driver=two.so\n"
FAIL_DRIVERS = "SQLInstallDriverEx#*"
FILES = None


def x_tool(display, *args):
    result = subprocess.run(args, env={**os.environ, "DISPLAY": display}, timeout=WAIT,
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    return result.returncode, result.stdout


def expose(display, window):
    """Asks the server to send the window an Expose, as an uncovering would."""
    x11 = libx11()
    x11.XClearArea.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                               ctypes.c_uint, ctypes.c_uint, ctypes.c_int]
    connection = x11.XOpenDisplay(display.encode())
    if not connection:
        raise RuntimeError("cannot open " + display)
    x11.XClearArea(connection, window, 0, 0, 0, 0, 1)
    x11.XCloseDisplay(connection)


class Run:
    """One run of the program on `display` (None: no DISPLAY at all)."""

    def __init__(self, display, setup_text, fail=None, extra_env=None):
        self.display = display
        self.dir = Path(tempfile.mkdtemp(prefix="velloran-x11-"))
        self.setup = self.dir / "setup.ini"
        self.setup.write_text(setup_text)
        self.log = self.dir / "calls.log"
        (self.dir / "odbc").mkdir()
        env = {k: v for k, v in os.environ.items()
               if not k.startswith("VELLORAN_") and k not in ("DISPLAY", "LD_LIBRARY_PATH")}
        env.update(HOME=str(self.dir), ODBCSYSINI=str(self.dir / "odbc"),
                   ODBCINI=str(self.dir / "odbc" / "odbc.ini"),
                   LD_LIBRARY_PATH=FILES.fake_dir, VELLORAN_FAKE_LOG=str(self.log))
        if display is not None:
            env["DISPLAY"] = display
        if fail:
            env["VELLORAN_FAKE_FAIL"] = fail
        env.update(extra_env or {})
        self.errors = open(self.dir / "stderr", "w+")
        self.process = subprocess.Popen([FILES.velloran, str(self.setup)], env=env,
                                        stdout=subprocess.DEVNULL, stderr=self.errors,
                                        preexec_fn=die_with_parent)
        self.window_id = None

    def tool(self, *args):
        return x_tool(self.display, *args)

    def search(self, *criteria):
        code, output = self.tool("xdotool", "search", "--onlyvisible", *criteria)
        return [int(line) for line in output.split()] if code == 0 else []

    def running(self):
        if self.process.poll() is not None:
            raise AssertionError("the program ended (%s): %s" % (self.process.returncode,
                                                                 self.stderr_lines()))

    def window(self):
        if self.window_id is None:
            def probe():
                self.running()
                return self.search("--class", "^Velloran$")
            self.window_id = wait_for("the launcher window", probe)[0]
        return self.window_id

    def geometry(self, window=None):
        """(x, y, width, height) of the window's own area, in root coordinates."""
        _, output = self.tool("xwininfo", "-id", str(window or self.window()))
        fields = dict(line.strip().split(": ", 1) for line in output.splitlines() if ": " in line)
        return tuple(int(fields[name]) for name in
                     ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"))

    def prop(self, name, window=None):
        _, output = self.tool("xprop", "-id", str(window or self.window()), name)
        for separator in (" = ", ": "):
            if separator in output:
                return output.partition(separator)[2].strip()
        return None

    def shot(self, window=None):
        """The window's pixels as the server has them."""
        result = subprocess.run(["import", "-window", str(window or self.window()), "-depth", "8", "rgb:-"],
                                env={**os.environ, "DISPLAY": self.display},
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=WAIT)
        return result.stdout

    def box(self, after=None):
        """The open warning box, once there is one other than `after`."""
        def probe():
            boxes = [b for b in self.search("--name", "^Error$") if b != after]
            if not boxes:
                self.running()
            return boxes
        found = wait_for("a warning box", probe)
        if len(found) != 1:
            raise AssertionError("more than one box: %s" % found)
        return found[0]

    def answer(self, box, key="Return"):
        """Answers the box from the keyboard and waits until it is gone."""
        self.tool("xdotool", "windowfocus", "--sync", str(box), "key", key)
        wait_for("the box to close", lambda: box not in self.search("--name", "^Error$"))

    def calls(self):
        text = self.log.read_text() if self.log.exists() else ""
        return [line.split()[0] for line in text.splitlines() if line not in ("load", "unload")]

    def finish(self):
        """The exit code, once the program has ended by itself."""
        try:
            return self.process.wait(WAIT)
        except subprocess.TimeoutExpired:
            raise AssertionError("the program did not end") from None

    def stderr_lines(self):
        self.errors.seek(0)
        return self.errors.read().splitlines()

    def close(self):
        stop(self.process)
        self.errors.close()
        shutil.rmtree(self.dir, ignore_errors=True)


class X11Test(unittest.TestCase):
    def run_on(self, display, setup_text, **options):
        run = Run(display, setup_text, **options)
        self.addCleanup(run.close)
        return run


class Placement(X11Test):
    def test_centred_on_the_screen_with_truncating_division(self):
        # No window manager: the window is all there is, 250x150 at the point.
        # Screens smaller than the window put it partly off screen, as the
        # rule says, rather than where FLTK would pull it.
        rows = [((1024, 768), (387, 309)), ((800, 600), (275, 225)), ((1023, 768), (386, 309)),
                ((201, 149), (-24, 0)), ((1, 1), (-124, -74))]
        for size, corner in rows:
            with self.subTest(size=size), xvfb(size) as display:
                run = self.run_on(display, TWO_DRIVERS, fail="SQLInstallDriverEx#1")
                self.assertEqual(run.geometry(), (*corner, 250, 150))
                run.answer(run.box())
                self.assertEqual(run.finish(), 0)


class Window(X11Test):
    def test_caption_comes_from_title(self):
        rows = [("Title=Sales setup\n", "Sales setup"), ("", "Launcher"), ("Title=\n", "Launcher"),
                ("Title=Empty\n", "Launcher"), ("Title=%s\n" % ("t" * 120), "t" * 99)]
        with xvfb((1024, 768)) as display:
            for settings, caption in rows:
                with self.subTest(settings=settings[:20]):
                    run = self.run_on(display, "[Settings]\n" + settings + TWO_DRIVERS,
                                      fail="SQLInstallDriverEx#1")
                    run.window()
                    box = run.box()
                    self.assertEqual(run.prop("WM_NAME"), '"%s"' % caption)
                    self.assertEqual(run.prop("_NET_WM_NAME"), '"%s"' % caption)
                    self.assertEqual(run.prop("WM_CLASS"), '"Velloran", "Velloran"')
                    run.answer(box)
                    self.assertEqual(run.finish(), 0)

    def test_title_bar_only_and_fixed_size_are_asked_for(self):
        with xvfb((1024, 768)) as display:
            run = self.run_on(display, TWO_DRIVERS, fail="SQLInstallDriverEx#1")
            box = run.box()
            self.assertEqual(run.prop("_MOTIF_WM_HINTS"), TITLE_ONLY_HINTS)
            _, hints = run.tool("xprop", "-id", str(run.window()), "WM_NORMAL_HINTS")
            for line in ("minimum size: 250 by 150", "maximum size: 250 by 150",
                         "window gravity: NorthWest"):
                self.assertIn(line, hints)
            run.answer(box)
            self.assertEqual(run.finish(), 0)

    def test_clicks_change_nothing(self):
        with xvfb((1024, 768)) as display:
            run = self.run_on(display, TWO_DRIVERS, fail=FAIL_DRIVERS)
            first = run.box()
            run.tool("xdotool", "windowmove", "--sync", str(first), "0", "0")
            before = (run.geometry(), run.shot())
            window = str(run.window())
            for x, y in ((5, 5), (125, 75), (240, 140)):
                run.tool("xdotool", "mousemove", "--window", window, str(x), str(y), "click", "1")
            # The second box shows the program handled the clicks before it.
            run.answer(first)
            second = run.box(after=first)
            run.tool("xdotool", "windowmove", "--sync", str(second), "0", "0")
            self.assertEqual((run.geometry(), run.shot()), before)
            self.assertEqual(run.calls(), ["SQLInstallDriverEx#1", "SQLInstallDriverEx#2"])
            run.answer(second)
            self.assertEqual(run.finish(), 0)


class LoadMessage(X11Test):
    def test_read_again_on_every_repaint(self):
        setup = "[Settings]\n%s\n" + TWO_DRIVERS
        with xvfb((1024, 768)) as display:
            run = self.run_on(display, setup % "LoadMessage=Installing the sales drivers...",
                              fail="SQLInstallDriverEx#1")
            box = run.box()
            run.tool("xdotool", "windowmove", "--sync", str(box), "0", "0")
            pictures = {"first": run.shot()}
            # Each step: the file's setting, and the picture it must give,
            # either one seen before or a new one to be named.
            steps = [("LoadMessage=Second text, longer than the first", "new second"),
                     ("LoadMessage=Installing the sales drivers...", "first"),
                     ("", "new fallback"),
                     ("LoadMessage=Launching program...", "fallback")]
            shown = pictures["first"]
            for settings, expected in steps:
                with self.subTest(settings=settings):
                    run.setup.write_text(setup % settings)
                    expose(display, run.window())
                    name = expected.split()[-1]
                    if expected.startswith("new"):
                        previous = shown
                        shown = wait_for("a new picture",
                                         lambda: (lambda p: p if p != previous else None)(run.shot()))
                        pictures[name] = shown
                    else:
                        wait_for("the %s picture" % name, lambda: run.shot() == pictures[name])
                        shown = pictures[name]
            self.assertEqual(len(set(pictures.values())), 3)
            run.answer(box)
            self.assertEqual(run.finish(), 0)


FULL_SETUP = """[InstallManager]
Install=1
[Translators]
Translator1=Tr One\\0Translator=tr1.so
[Drivers]
Driver1=Drv One\\0Driver=drv1.so
Driver2=Drv Two\\0Driver=drv2.so
[Data Sources]
DSDriver1=Drv One
DSAttrib1=DSN=a
"""
FAIL_ALL = "SQLInstallDriverManager#*,SQLInstallTranslatorEx#*,SQLInstallDriverEx#*,SQLConfigDataSource#*"


def warning_sign_pixels(picture):
    """How many pixels are the sign's yellow (8-bit RGB)."""
    yellow = b"\xff\xff\x00"
    return sum(1 for i in range(0, len(picture) - 2, 3) if picture[i:i + 3] == yellow)


class WarningBoxes(X11Test):
    def test_one_modal_box_per_failure_the_run_waiting_on_each(self):
        with xvfb((1024, 768)) as display:
            run = self.run_on(display, FULL_SETUP, fail=FAIL_ALL)
            launcher = run.window()
            box = None
            # Return and Escape both answer OK; so does the button.
            for n, key in enumerate(["Return", "Escape", "Return", "Return", "Escape"], 1):
                box = run.box(after=box)
                with self.subTest(box=n):
                    self.assertEqual(len(run.calls()), n)
                    self.assertEqual(run.prop("_NET_WM_STATE", box), "_NET_WM_STATE_MODAL")
                    self.assertIn("0x%x" % launcher, run.prop("WM_TRANSIENT_FOR", box))
                    self.assertGreater(warning_sign_pixels(run.shot(box)), 100)
                if n < 5:
                    run.answer(box, key)
            x, y, width, height = run.geometry(box)
            run.tool("xdotool", "mousemove", str(x + width // 2), str(y + height - 27), "click", "1")
            wait_for("the last box to close", lambda: not run.search("--name", "^Error$"))
            self.assertEqual(run.finish(), 0)
            self.assertEqual(run.calls(), ["SQLInstallDriverManager#1", "SQLInstallTranslatorEx#1",
                                           "SQLInstallDriverEx#1", "SQLInstallDriverEx#2",
                                           "SQLConfigDataSource#1"])
            self.assertEqual(run.stderr_lines(), [])


class NoDisplay(X11Test):
    def test_warnings_go_to_standard_error(self):
        unused = next(n for n in range(900, 1000) if not Path("/tmp/.X11-unix/X%d" % n).exists())
        rows = [None, "", ":%d" % unused, "no-such-host-here:0"]
        for display in rows:
            with self.subTest(display=display):
                env = {} if display is None else {"DISPLAY": display}
                run = self.run_on(None, TWO_DRIVERS, fail=FAIL_DRIVERS, extra_env=env)
                self.assertEqual(run.finish(), 0)
                self.assertEqual(run.stderr_lines(), [DRIVER_WARNING] * 2)
                self.assertEqual(run.calls(), ["SQLInstallDriverEx#1", "SQLInstallDriverEx#2"])


class WithWindowManager(X11Test):
    """openbox frames the window: the frame's corner goes to the point."""

    def setUp(self):
        if shutil.which("openbox") is None:
            self.skipTest("openbox is not installed")

    def test_frame_corner_at_the_centred_point(self):
        for size, corner in [((1024, 768), (387, 309)), ((800, 600), (275, 225))]:
            with self.subTest(size=size), xvfb(size) as display:
                # A window mapped while openbox starts up can be lost; its
                # startup command marks the end of that.
                ready = Path(tempfile.mkdtemp(prefix="velloran-wm-")) / "ready"
                self.addCleanup(shutil.rmtree, ready.parent, True)
                wm = subprocess.Popen(["openbox", "--sm-disable", "--startup", "touch " + str(ready)],
                                      env={**os.environ, "DISPLAY": display},
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                      preexec_fn=die_with_parent)
                self.addCleanup(stop, wm)
                wait_for("openbox", ready.exists)
                run = self.run_on(display, TWO_DRIVERS, fail=FAIL_DRIVERS)
                box = run.box()
                extents = wait_for("the frame", lambda: run.prop("_NET_FRAME_EXTENTS"))
                left, _, top, _ = (int(n) for n in extents.split(", "))
                self.assertEqual(run.geometry(), (corner[0] + left, corner[1] + top, 250, 150))
                self.assertEqual(run.prop("_MOTIF_WM_HINTS"), TITLE_ONLY_HINTS)
                run.answer(box)
                run.answer(run.box(after=box), "Escape")
                self.assertEqual(run.finish(), 0)
                self.assertEqual(len(run.calls()), 2)


def main():
    global FILES
    parser = argparse.ArgumentParser()
    parser.add_argument("--velloran", required=True)
    parser.add_argument("--fake-dir", required=True)
    FILES, rest = parser.parse_known_args()
    missing = [tool for tool in TOOLS if shutil.which(tool) is None]
    if missing:
        print("skipped: %s not installed" % ", ".join(missing))
        return SKIPPED
    program = unittest.main(argv=[sys.argv[0], "-v", *rest], exit=False)
    return 0 if program.result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
