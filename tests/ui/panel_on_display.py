#!/usr/bin/env python3
"""The built program on a virtual display: its face at a dozen named points, a row answering the pointer,
and the whole face following a resize to 800 pixels.

usage: panel_on_display.py PROGRAM FIXTURES_DIR OUTPUT_DIR"""

import os
import shutil
import subprocess
import sys
import tempfile
import time

BACKGROUND = (0x11, 0x11, 0x11)
GREY = (0xAA, 0xA6, 0xA6)
LIGHT = (0xF5, 0xF5, 0xF5)
BLUE = (0x00, 0x94, 0xD8)
YELLOW = (0xD3, 0xC5, 0x5F)
GREEN = (0x86, 0xCF, 0x7A)


def over_background(colour, alpha):
    return tuple(round((c * alpha + b * (255 - alpha)) / 255) for c, b in zip(colour, BACKGROUND))


def near(actual, expected, tolerance=4):
    return all(abs(a - e) <= tolerance for a, e in zip(actual, expected))


class Shot:
    def __init__(self, ppm):
        fields, offset = [], 0
        while len(fields) < 4:
            while ppm[offset:offset + 1].isspace():
                offset += 1
            if ppm[offset:offset + 1] == b"#":
                offset = ppm.index(b"\n", offset)
                continue
            end = offset
            while not ppm[end:end + 1].isspace():
                end += 1
            fields.append(ppm[offset:end])
            offset = end
        assert fields[0] == b"P6" and fields[3] == b"255", "not an 8-bit PPM"
        self.width, self.height = int(fields[1]), int(fields[2])
        self.data = ppm[offset + 1:]
        self.ppm = ppm

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.data[i:i + 3])

    def brightest(self, x, y, w, h):
        return max((self.pixel(px, py) for py in range(y, y + h) for px in range(x, x + w)), key=sum)


class Run:
    def __init__(self, program, prefix):
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24",
                                      "-noreset", "-nolisten", "tcp"],
                                     pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as numbers:
            self.env = dict(os.environ, DISPLAY=":" + numbers.readline().strip(), WINEPREFIX=prefix)
        self.app = subprocess.Popen([program], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.window = self.wait(self.find_window, "the window")

    def x(self, *args):
        return subprocess.run(list(args), env=self.env, capture_output=True, check=True).stdout

    def find_window(self):
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^ov_installer$"], env=self.env,
                               capture_output=True, text=True).stdout.split()
        return found[0] if found else None

    def wait(self, attempt, what, timeout=15):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            result = attempt()
            if result:
                return result
            time.sleep(0.1)
        raise AssertionError("timed out waiting for " + what)

    def shot(self):
        return Shot(self.x("import", "-window", self.window, "-depth", "8", "ppm:-"))

    def shot_when(self, predicate, what):
        last = []

        def attempt():
            last[:] = [self.shot()]
            return last[0] if predicate(last[0]) else None

        try:
            return self.wait(attempt, what, 10)
        except AssertionError:
            failures.append(what)
            return last[0]

    def point(self, x, y):
        self.x("xdotool", "mousemove", "--window", self.window, str(x), str(y))

    def close(self):
        for process in (self.app, self.xvfb):
            process.terminate()
            try:
                process.wait(5)
            except subprocess.TimeoutExpired:
                process.kill()


failures = []


def expect(condition, what):
    if not condition:
        failures.append(what)


def make_bundles(prefix, fixtures):
    common = os.path.join(prefix, "drive_c", "Program Files", "Common Files")
    module = os.path.join(common, "VST3", "Tavrin3.vst3", "Contents", "x86_64-win")
    os.makedirs(module)
    shutil.copy(os.path.join(fixtures, "pe", "v3.1.9.0-x64.dll"), os.path.join(module, "Tavrin3.vst3"))
    os.makedirs(os.path.join(common, "CLAP"))
    with open(os.path.join(common, "CLAP", "Tavrin3.clap"), "wb") as f:
        f.write(b"module")


def check_face(shot):
    """Named points of the 600-pixel face: VST3 needs an update, CLAP is installed, AAX is absent."""
    points = {
        "accent strip":          ((300, 3), BLUE),
        "background":            ((300, 350), BACKGROUND),
        "FORMATS rule":          ((300, 165), GREY),
        "EXTRAS rule":           ((300, 429), GREY),
        "corner dot":            ((590, 590), over_background(GREY, 128)),
        "empty fourth corner":   ((578, 578), BACKGROUND),
        "SELECT ALL face":       ((470, 134), over_background(GREY, 26)),
        "VST3 row, old version": ((280, 200), over_background(YELLOW, 230)),
        "VST3 outline":          ((23, 210), YELLOW),
        "CLAP row, installed":   ((562, 200), over_background(BLUE, 230)),
        "CLAP outline":          ((305, 210), YELLOW),
        "AAX row, absent":       ((280, 272), over_background(GREY, 89)),
        "AAX not outlined":      ((23, 282), BACKGROUND),
        "EULA face":             ((28, 470), over_background(GREY, 128)),
        "INSTALL face":          ((520, 470), over_background(GREY, 128)),
    }
    for name, ((x, y), colour) in points.items():
        expect(near(shot.pixel(x, y), colour), "%s at (%d, %d) is %s, expected %s" % (name, x, y, shot.pixel(x, y), colour))

    expect(near(shot.brightest(24, 15, 162, 23), LIGHT), "no light logo at the top left")
    expect(near(shot.brightest(24, 48, 300, 50), GREY), "no grey product heading")
    expect(near(shot.brightest(24, 540, 552, 18), over_background(GREY, 128)), "no help line")


def main():
    program, fixtures, output = sys.argv[1:4]
    os.makedirs(output, exist_ok=True)

    with tempfile.TemporaryDirectory(prefix="ov_panel_display_") as prefix:
        make_bundles(prefix, fixtures)
        run = Run(program, prefix)
        try:
            run.x("xdotool", "mousemove", "0", "0")
            face = run.shot_when(lambda s: s.width == 600 and near(s.pixel(300, 3), BLUE), "the first paint")
            check_face(face)

            run.point(150, 282)
            hovered = run.shot_when(lambda s: near(s.pixel(280, 272), over_background(GREY, 128)),
                                    "the AAX row lighting up under the pointer")
            expect(near(hovered.pixel(562, 200), over_background(BLUE, 230)), "the CLAP row changed with AAX hovered")

            run.point(54, 471)
            run.shot_when(lambda s: near(s.pixel(28, 470), over_background(GREY, 191))
                          and near(s.pixel(280, 272), over_background(GREY, 89)), "the EULA face under the pointer")

            run.x("xdotool", "mousemove", "0", "0")
            run.x("xdotool", "windowsize", run.window, "800", "800")
            large = run.shot_when(lambda s: s.width == 800 and near(s.pixel(400, 7), BLUE), "the face at 800 pixels")
            expect(near(large.pixel(400, 9), BACKGROUND), "the accent strip is not 8 pixels high at 800")
            expect(near(large.pixel(692, 620), over_background(GREY, 128)), "the INSTALL face is not at (688, 588)")
            expect(near(large.pixel(684, 620), BACKGROUND), "the INSTALL face starts left of 688")
            expect(near(large.pixel(380, 266), over_background(YELLOW, 230)), "the VST3 row is not 360 wide at 800")
            expect(near(large.pixel(30, 280), YELLOW), "the VST3 outline is not 4 pixels thick at 800")
            expect(near(large.pixel(400, 220), GREY) and near(large.pixel(400, 223), BACKGROUND),
                   "the FORMATS rule is not at 220")

            if failures:
                for name, shot in (("face-600", face), ("face-800", large)):
                    with open(os.path.join(output, "panel-on-display-%s.ppm" % name), "wb") as f:
                        f.write(shot.ppm)
        finally:
            run.close()

    for failure in failures:
        print("FAILED:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
