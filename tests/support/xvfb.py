"""Xvfb displays for the suites that need an X server, and the process
handling around them.

Each server takes a display number it picks itself (-displayfd), so suites
and other users' servers side by side never collide, and nothing started
here outlives the test process. Standard library only.
"""
import contextlib
import ctypes
import ctypes.util
import os
import select
import signal
import subprocess
import time

WAIT = 15  # seconds any one wait may take before the test fails


def die_with_parent():
    """For preexec_fn: the child gets SIGTERM when the test process ends."""
    ctypes.CDLL(None, use_errno=True).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG


def stop(process):
    """Ends a started process: politely, then by force."""
    if process.poll() is None:
        process.terminate()
        try:
            process.wait(10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


def wait_for(what, probe):
    """Polls `probe` until it returns something true; fails after WAIT."""
    deadline = time.monotonic() + WAIT
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError("timed out waiting for " + what)
        time.sleep(0.05)


def libx11():
    """Xlib, for what no command-line tool does."""
    x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    return x11


def takes_clients(display):
    x11 = libx11()
    connection = x11.XOpenDisplay(display.encode())
    if connection:
        x11.XCloseDisplay(connection)
    return bool(connection)


@contextlib.contextmanager
def xvfb(size=(1280, 1024)):
    """An Xvfb server of the given screen size; yields its display name."""
    read_end, write_end = os.pipe()
    server = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "%dx%dx24" % size,
         "-nolisten", "tcp", "-noreset"],
        pass_fds=[write_end], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
        preexec_fn=die_with_parent)
    os.close(write_end)
    try:
        number = b""
        while not number.endswith(b"\n"):
            ready, _, _ = select.select([read_end], [], [], WAIT)
            chunk = os.read(read_end, 16) if ready else b""
            if not chunk:
                raise RuntimeError("Xvfb did not start")
            number += chunk
        display = ":" + number.decode().strip()
        # Clients are taken once the server answers one. With -noreset it
        # does not reset (refusing clients meanwhile) as that one leaves.
        wait_for("Xvfb to take clients", lambda: takes_clients(display))
        yield display
    finally:
        os.close(read_end)
        stop(server)
