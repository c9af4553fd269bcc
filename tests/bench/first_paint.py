#!/usr/bin/env python3
"""Time from start to first paint, and peak memory, of the real ov_installer with each case of the settings
benchmark laid out in its Wine prefix, on a virtual display (started as the end-to-end suite starts it):

    python3 first_paint.py [runs] [seconds] [case...]

Each case runs `runs` times (default 5), each time right after a start with the normal file, so that both
see the same load; medians are shown. A start that has not painted after `seconds` (default 120) is stopped
and reported as such. Needs OV_INSTALLER (the program), OV_E2E_XTOOL (the suite's xtool) and
OV_SETTINGS_BENCHMARK (ov_settings_benchmark, which lays the cases out)."""

import ctypes
import ctypes.util
import os
import statistics
import subprocess
import sys
import time

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))

from harness import BLUE, PROGRAM, SCREEN, Display, Sandbox, near, wait_for  # noqa: E402

BENCHMARK = os.environ.get("OV_SETTINGS_BENCHMARK", "")
# The window opens centred at its first size, 600 pixels square.
STRIP = ((SCREEN[0] - 600) // 2, (SCREEN[1] - 600) // 2, 100, 3)


class Screen:
    """The display's pixels read straight from the X server through libX11: quick enough to poll."""

    def __init__(self, name):
        x11 = self.x11 = ctypes.CDLL(ctypes.util.find_library("X11"))
        x11.XOpenDisplay.restype = ctypes.c_void_p
        x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x11.XDefaultRootWindow.restype = ctypes.c_ulong
        x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x11.XGetImage.restype = ctypes.c_void_p
        x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                                  ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        x11.XGetPixel.restype = ctypes.c_ulong
        x11.XGetPixel.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
        x11.XFree.argtypes = [ctypes.c_void_p]
        self.display = x11.XOpenDisplay(name.encode())
        self.root = x11.XDefaultRootWindow(self.display)

    def painted(self):
        """Whether the panel's accent strip shows where the window opens: its first paint has happened."""
        x, y, w, h = STRIP
        image = self.x11.XGetImage(self.display, self.root, x, y, w, h, 0xFFFFFFFF, 2)  # ZPixmap
        blue = 0
        for row in range(h):
            for column in range(w):
                pixel = self.x11.XGetPixel(image, column, row)
                blue += near(((pixel >> 16) & 255, (pixel >> 8) & 255, pixel & 255), BLUE, 8)
        # The image's own structure and data (XDestroyImage is a macro); a few bytes a poll otherwise.
        self.x11.XFree(ctypes.c_void_p.from_address(image + 16).value)
        self.x11.XFree(image)
        return blue > 200


def peak_kib(pid):
    with open("/proc/%d/status" % pid) as status:
        return next(int(line.split()[1]) for line in status if line.startswith("VmHWM:"))


def start_once(display, screen, case, seconds):
    """Seconds to the first paint (None when it did not come in time) and the program's peak memory in KiB."""
    sandbox = Sandbox()
    process = None
    try:
        subprocess.run([BENCHMARK, "--make-case", case, sandbox.prefix], check=True)
        env = dict(display.env, WINEPREFIX=sandbox.prefix, PATH=sandbox.stub_folder + os.pathsep + os.environ["PATH"])
        start = time.monotonic()
        process = subprocess.Popen([PROGRAM], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                   start_new_session=True)
        while time.monotonic() - start < seconds and process.poll() is None:
            if screen.painted():
                return time.monotonic() - start, peak_kib(process.pid)
            time.sleep(0.002)
        return None, peak_kib(process.pid) if process.poll() is None else None
    finally:
        if process is not None and process.poll() is None:
            os.killpg(process.pid, 9)
            process.wait()
        # The next start must not find this one's window still showing.
        wait_for(lambda: not screen.painted(), 10)
        sandbox.remove()


def main():
    runs = int(sys.argv[1]) if len(sys.argv) > 1 else 5
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 120
    listed = subprocess.run([BENCHMARK, "--list"], capture_output=True, text=True, check=True).stdout
    cases = [line.split("\t") for line in listed.splitlines()]
    wanted = sys.argv[3:] or [name for name, _ in cases]
    display = Display()
    screen = Screen(display.name)
    try:
        print("%-13s %-52s %12s %12s %8s %12s" % ("case", "", "first paint", "normal", "ratio", "peak memory"))
        for name, what in cases:
            if name not in wanted:
                continue
            normal, results = [], []
            for _ in range(runs):
                normal.append(start_once(display, screen, "normal", seconds)[0])
                results.append(start_once(display, screen, name, seconds))
            times = [t for t, _ in results if t is not None]
            peaks = [p for _, p in results if p is not None]
            median = statistics.median(times) if len(times) == runs else None
            base = statistics.median(normal)
            print("%-13s %-52s %12s %12s %8s %12s" % (
                name, what, "%.3f s" % median if median is not None else "> %g s" % seconds, "%.3f s" % base,
                "%.2f" % (median / base) if median is not None else "-",
                "%.0f MiB" % (max(peaks) / 1024) if peaks else "-"), flush=True)
    finally:
        display.close()


if __name__ == "__main__":
    main()
