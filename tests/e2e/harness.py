"""Drives the real ov_installer on a virtual X display, as a user would: pointer, clicks, the Shift key,
screenshots, and the files it leaves in a sandboxed Windows drive.

Needs Xvfb, xdotool, xwininfo, ImageMagick's import and convert, tesseract, and the suite's xtool helper.
Everything here is the Python standard library."""

import contextlib
import fcntl
import hashlib
import json
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import zipfile

PROGRAM = os.environ.get("OV_INSTALLER", "")
XTOOL = os.environ.get("OV_E2E_XTOOL", "")
SOURCE_DIR = os.environ.get("OV_SOURCE_DIR", os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..")))
# The archives the program embeds: resources/ unless the build was given a folder of its own.
ARCHIVE_DIR = os.environ.get("OV_ARCHIVE_DIR") or os.path.join(SOURCE_DIR, "resources")
OUTPUT_DIR = os.environ.get("OV_E2E_OUTPUT", os.path.join(tempfile.gettempdir(), "ov-e2e-output"))
SCREEN = (1280, 1024)
# How long the program may take to show the effect of an action; generous for a loaded machine, and only
# spent in full when something is wrong.
PATIENCE = 20

# The palette, as the panels paint it.
BACKGROUND = (0x11, 0x11, 0x11)
GREY_TEXT = (0xAA, 0xA6, 0xA6)
LIGHT = (0xF5, 0xF5, 0xF5)
GREEN = (0x86, 0xCF, 0x7A)
BLUE = (0x00, 0x94, 0xD8)
YELLOW = (0xD3, 0xC5, 0x5F)


class Failure(AssertionError):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def over_background(colour, alpha):
    """A palette colour at an alpha (0..255), as it shows over the panel's background."""
    return tuple(round(b + (c - b) * alpha / 255) for c, b in zip(colour, BACKGROUND))


def near(actual, expected, tolerance=3):
    return all(abs(a - e) <= tolerance for a, e in zip(actual, expected))


def wait_for(predicate, timeout, interval=0.05):
    """Polls until the predicate gives something true; returns it, or None after the timeout."""
    deadline = time.monotonic() + timeout
    while True:
        result = predicate()
        if result:
            return result
        if time.monotonic() > deadline:
            return None
        time.sleep(interval)


with open(os.path.join(SOURCE_DIR, "product", "product.json"), encoding="utf-8") as definition:
    PRODUCT = json.load(definition)


def product_value(name):
    """A value of the product definition, the file the program is built from, so the suite never drifts from it."""
    check(name in PRODUCT, "no %s in the product definition" % name)
    return PRODUCT[name]


def keep_screenshot(shot, name):
    os.makedirs(OUTPUT_DIR, exist_ok=True)
    path = os.path.join(OUTPUT_DIR, name)
    shot.save_png(path)
    return path


class Shot:
    """A screenshot as RGB pixels."""

    def __init__(self, ppm):
        match = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", ppm)
        check(match is not None, "the screenshot is not an 8-bit PPM image: %r" % ppm[:20])
        self.width, self.height = int(match.group(1)), int(match.group(2))
        self.pixels = ppm[match.end():match.end() + self.width * self.height * 3]
        self.ppm = ppm

    def pixel(self, x, y):
        offset = (int(y) * self.width + int(x)) * 3
        return tuple(self.pixels[offset:offset + 3])

    def region(self, x, y, w, h):
        for row in range(max(0, int(y)), min(self.height, int(y + h))):
            for column in range(max(0, int(x)), min(self.width, int(x + w))):
                yield column, row, self.pixel(column, row)

    def brightest(self, area):
        return max((p for _, _, p in self.region(*area)), key=sum)

    def count(self, area, colour, tolerance=3):
        return sum(1 for _, _, p in self.region(*area) if near(p, colour, tolerance))

    def ink_bounds(self, area, is_ink):
        """(left, top, right, bottom) of the pixels that pass is_ink, or None."""
        xs, ys = [], []
        for x, y, p in self.region(*area):
            if is_ink(p):
                xs.append(x)
                ys.append(y)
        return (min(xs), min(ys), max(xs) + 1, max(ys) + 1) if xs else None

    def save_png(self, path):
        subprocess.run(["convert", "ppm:-", path], input=self.ppm, check=True)

    def same_as(self, other):
        return self.width == other.width and self.height == other.height and self.pixels == other.pixels


def brightness(p):
    return max(p)


def ocr(shot, area, scale=3):
    """The text tesseract reads in an area of a screenshot, enlarged and made dark on light first."""
    x, y, w, h = (int(v) for v in area)
    with tempfile.TemporaryDirectory() as folder:
        crop = os.path.join(folder, "crop.png")
        subprocess.run(["convert", "ppm:-", "-crop", "%dx%d+%d+%d" % (w, h, x, y), "+repage",
                        "-colorspace", "Gray", "-resize", "%d%%" % (scale * 100), "-normalize",
                        "-bordercolor", "black", "-border", "20", crop],
                       input=shot.ppm, check=True)
        # Light text on dark ground reads best inverted; dark text on a coloured row is already dark on light.
        mean = float(subprocess.run(["convert", crop, "-format", "%[fx:mean]", "info:"],
                                    capture_output=True, text=True, check=True).stdout)
        if mean < 0.5:
            subprocess.run(["convert", crop, "-negate", crop], check=True)
        result = subprocess.run(["tesseract", crop, "-", "--psm", "6"], capture_output=True, text=True)
    check(result.returncode == 0, "tesseract failed: %s" % result.stderr.strip())
    return result.stdout


def squeeze(text):
    """Text for comparing OCR results: no blanks, case or the glyphs OCR confuses."""
    text = re.sub(r"\s+", "", text).lower()
    return text.translate(str.maketrans({"0": "o", "1": "l", "i": "l", "|": "l", "!": "l", "5": "s"}))


def reads(shot, area, expected):
    """Whether the area reads the expected text, with what was read. OCR misreads a glyph now and then at one
    enlargement and not at another, so a few are tried."""
    texts = []
    for scale in (3, 4, 2):
        texts.append(ocr(shot, area, scale))
        if squeeze(expected) in squeeze(texts[-1]):
            return True, texts[-1]
    return False, " | ".join(t.strip() for t in texts)


def tree_digest(folder):
    """Names, sizes and contents of everything below a folder."""
    result = {}
    for root, folders, files in os.walk(folder):
        for name in folders:
            result[os.path.relpath(os.path.join(root, name), folder) + "/"] = None
        for name in files:
            path = os.path.join(root, name)
            with open(path, "rb") as f:
                result[os.path.relpath(path, folder)] = hashlib.sha256(f.read()).hexdigest()
    return result


def archive_entries(format_name):
    """The entries of a product archive as the bundle's relative paths: folders end in "/", files map to sizes."""
    entries = {}
    with zipfile.ZipFile(os.path.join(ARCHIVE_DIR, format_name + ".zip")) as archive:
        for info in archive.infolist():
            name = info.filename.replace("\\", "/")
            entries[name] = None if name.endswith("/") else info.file_size
    return entries


def unpack_archive(format_name, folder):
    """Puts a bundle in place the way the installer lays it out, for scenarios that start from an installed state."""
    with zipfile.ZipFile(os.path.join(ARCHIVE_DIR, format_name + ".zip")) as archive:
        for info in archive.infolist():
            target = os.path.join(folder, info.filename.replace("\\", "/"))
            if target.endswith("/"):
                os.makedirs(target, exist_ok=True)
                continue
            os.makedirs(os.path.dirname(target), exist_ok=True)
            with archive.open(info) as source, open(target, "wb") as out:
                shutil.copyfileobj(source, out)


def installed_entries(folder, bundle):
    """The same shape as archive_entries, for what is on disk below folder/bundle."""
    entries = {}
    root = os.path.join(folder, bundle)
    if os.path.isfile(root):
        return {bundle: os.path.getsize(root)}
    for parent, folders, files in os.walk(root):
        for name in folders:
            entries[os.path.relpath(os.path.join(parent, name), folder) + "/"] = None
        for name in files:
            path = os.path.join(parent, name)
            entries[os.path.relpath(path, folder)] = os.path.getsize(path)
    return entries


class Sandbox:
    """A Wine prefix of our own: the program maps the Windows folders into its drive_c."""

    FORMATS = {f["name"]: (f["archive"][:-len(".zip")], PRODUCT["productIdentifier"] + f["extension"], f["defaultSubfolder"])
               for f in PRODUCT["formats"]}

    def __init__(self):
        # Letters that OCR does not mix up, since the support overlay shows this path.
        while True:
            name = "ovsandbox" + "".join(random.choice("dfkptwxz") for _ in range(6))
            with contextlib.suppress(FileExistsError):
                self.root = os.path.join(tempfile.gettempdir(), name)
                os.mkdir(self.root, 0o700)
                break
        self.prefix = os.path.join(self.root, "wine")
        self.lock_file = os.path.join(self.prefix, "Orvella.Tavrin3.installer.lock")
        self.drive = os.path.join(self.prefix, "drive_c")
        self.program_data = os.path.join(self.drive, "ProgramData")
        self.maker_folder = os.path.join(self.program_data, "Orvella")
        self.settings_file = os.path.join(self.maker_folder, "PluginManagerSettings.txt")
        self.common_files = os.path.join(self.drive, "Program Files", "Common Files")
        self.browser_log = os.path.join(self.root, "opened.txt")
        self.stub_folder = os.path.join(self.root, "bin")
        os.makedirs(self.program_data)
        os.chmod(self.prefix, 0o700)
        os.makedirs(self.stub_folder)
        stub = os.path.join(self.stub_folder, "xdg-open")
        with open(stub, "w") as f:
            f.write('#!/bin/sh\nprintf "%%s\\n" "$1" >> "%s"\n' % self.browser_log)
        os.chmod(stub, 0o755)
        self.immutable = []

    def default_folder(self, name):
        return os.path.join(self.common_files, self.FORMATS[name][2])

    def bundle(self, name, folder=None):
        return os.path.join(folder or self.default_folder(name), self.FORMATS[name][1])

    def install(self, name, folder=None):
        folder = folder or self.default_folder(name)
        os.makedirs(folder, exist_ok=True)
        unpack_archive(self.FORMATS[name][0], folder)

    def write_settings(self, vst3, clap, aax):
        os.makedirs(self.maker_folder, exist_ok=True)
        with open(self.settings_file, "w") as f:
            f.write('<?xml version="1.0" encoding="UTF-8"?>\n\n<Plugin_Manager_Settings CLAP_Path="%s" VST3_Path="%s" '
                    'AAX_Path="%s"/>\n' % (clap, vst3, aax))

    def make_immutable(self, path):
        subprocess.run(["chattr", "+i", path], check=True)
        self.immutable.append(path)

    @contextlib.contextmanager
    def another_copy_busy(self):
        """Holds the lock that a copy of the installer holds while it works in this prefix: a write lock on a
        file in the prefix's folder, removed as it lets go."""
        with open(self.lock_file, "a+") as f:
            fcntl.flock(f, fcntl.LOCK_EX | fcntl.LOCK_NB)
            try:
                yield
            finally:
                os.remove(self.lock_file)

    def opened_links(self):
        if not os.path.exists(self.browser_log):
            return []
        with open(self.browser_log) as f:
            return [line.rstrip("\n") for line in f]

    def remove(self):
        for path in self.immutable:
            subprocess.run(["chattr", "-i", path])
        shutil.rmtree(self.root, ignore_errors=True)


class Display:
    """Xvfb on a display number of its own, with the atoms a window manager would have made."""

    def __init__(self):
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "%dx%dx24" % SCREEN,
                                         "-noreset", "-nolisten", "tcp"],
                                        pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as numbers:
            number = numbers.readline().strip()
        check(number.isdigit(), "Xvfb did not start")
        self.name = ":" + number
        self.env = dict(os.environ, DISPLAY=self.name)
        subprocess.run([XTOOL, "intern"], env=self.env, check=True)

    def run(self, *args, **kwargs):
        return subprocess.run(list(args), env=self.env, capture_output=True, text=True, **kwargs)

    def close(self):
        self.process.terminate()
        with contextlib.suppress(subprocess.TimeoutExpired):
            self.process.wait(5)
        if self.process.poll() is None:
            self.process.kill()


class Installer:
    """One run of the program on a display, over a sandbox; painted: once its first paint is on the screen, else
    as soon as its window is mapped."""

    def __init__(self, display, sandbox, args=(), painted=True):
        check(os.access(PROGRAM, os.X_OK), "no program at OV_INSTALLER=%r" % PROGRAM)
        self.display = display
        env = dict(display.env, WINEPREFIX=sandbox.prefix,
                   PATH=sandbox.stub_folder + os.pathsep + os.environ.get("PATH", ""))
        self.log = tempfile.TemporaryFile()
        self.process = subprocess.Popen([PROGRAM, *args], env=env, stdout=self.log, stderr=self.log,
                                        start_new_session=True)
        self.window = wait_for(self._find_window, 30, 0.02)
        check(self.window is not None, "the program opened no window:\n" + self.output())
        # The first paint follows the mapping of the window.
        if painted:
            wait_for(lambda: self.shot().count((0, 0, 100, 3), BLUE, 8) > 200 or None, PATIENCE)

    def _find_window(self):
        if self.process.poll() is not None:
            raise Failure("the program ended with code %s before opening its window:\n%s"
                          % (self.process.returncode, self.output()))
        # This run's window only: an earlier run's may not be gone yet.
        result = self.display.run("xdotool", "search", "--all", "--onlyvisible", "--pid", str(self.process.pid),
                                  "--name", "^ov_installer$")
        ids = result.stdout.split()
        return ids[0] if ids else None

    def output(self):
        self.log.seek(0)
        return self.log.read().decode(errors="replace")

    # -- looking -------------------------------------------------------------------------------------------
    def geometry(self):
        """(x, y, width, height) of the window on the screen."""
        info = self.display.run("xwininfo", "-id", self.window).stdout
        value = lambda key: int(re.search(key + r":\s+(-?\d+)", info).group(1))
        return (value("Absolute upper-left X"), value("Absolute upper-left Y"), value("Width"), value("Height"))

    def title(self):
        return self.display.run("xdotool", "getwindowname", self.window).stdout.rstrip("\n")

    def shot(self):
        # import can wait for ever on a window the server is busy with: try again rather than hang.
        for _ in range(3):
            try:
                result = subprocess.run(["import", "-window", self.window, "-depth", "8", "ppm:-"],
                                        env=self.display.env, capture_output=True, timeout=PATIENCE)
                break
            except subprocess.TimeoutExpired:
                continue
        else:
            raise Failure("no screenshot: import did not return in %d s, three times" % PATIENCE)
        check(result.returncode == 0, "no screenshot: %s" % result.stderr.decode(errors="replace"))
        return Shot(result.stdout)

    def wait_for_shot(self, predicate, timeout=PATIENCE, what="the expected face"):
        """The first screenshot that passes the predicate."""
        last = []

        def attempt():
            last[:] = [self.shot()]
            return last[0] if predicate(last[0]) else None

        shot = wait_for(attempt, timeout)
        if shot is None:
            path = keep_screenshot(last[0], "failed-%d.png" % os.getpid())
            raise Failure("timed out waiting for %s (last screenshot: %s)" % (what, path))
        return shot

    # -- acting --------------------------------------------------------------------------------------------
    def move(self, x, y):
        self.display.run("xdotool", "mousemove", "--window", self.window, str(int(x)), str(int(y)), check=True)
        time.sleep(0.1)

    def click(self, x, y):
        self.move(x, y)
        self.display.run("xdotool", "mousedown", "1", check=True)
        time.sleep(0.05)
        self.display.run("xdotool", "mouseup", "1", check=True)
        time.sleep(0.15)

    def key_down(self, key):
        self.display.run("xdotool", "keydown", key, check=True)
        time.sleep(0.1)

    def key_up(self, key):
        self.display.run("xdotool", "keyup", key, check=True)
        time.sleep(0.1)

    def move_window(self, x, y):
        self.display.run("xdotool", "windowmove", self.window, str(x), str(y), check=True)
        check(wait_for(lambda: self.geometry()[:2] == (x, y), PATIENCE),
              "the window did not move to (%d, %d)" % (x, y))

    def resize(self, width, height):
        self.display.run("xdotool", "windowsize", self.window, str(width), str(height), check=True)

    # -- ending --------------------------------------------------------------------------------------------
    def request_close(self, timeout=15):
        """Closes the window as a window manager's close button does, and returns the exit code."""
        sent = self.display.run(XTOOL, "close", self.window)
        check(sent.returncode == 0, "no close request could be sent to the window: %s"
              % (sent.stderr.strip().splitlines() or ["xtool failed"])[0])
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            raise Failure("the program did not end within %g s of the close request" % timeout)

    def kill(self):
        if self.process.poll() is None:
            with contextlib.suppress(ProcessLookupError):
                os.killpg(self.process.pid, signal.SIGKILL)
            self.process.wait()


@contextlib.contextmanager
def busy_cores(count, seconds):
    """Processes that keep count cores busy, each for at most the given seconds, and are stopped afterwards."""
    loop = "import time\nend = time.monotonic() + %g\nwhile time.monotonic() < end:\n    pass\n" % seconds
    busy = [subprocess.Popen([sys.executable, "-c", loop]) for _ in range(count)]
    try:
        yield
    finally:
        for process in busy:
            process.kill()
            process.wait()


@contextlib.contextmanager
def session():
    """A display and a sandbox for one scenario, removed afterwards whatever happens."""
    missing = [tool for tool in ("Xvfb", "xdotool", "xwininfo", "import", "convert", "tesseract", "chattr")
               if shutil.which(tool) is None]
    check(not missing, "missing tools: %s (tools/install-deps.sh installs them)" % ", ".join(missing))
    check(os.access(XTOOL, os.X_OK), "no xtool helper at OV_E2E_XTOOL=%r" % XTOOL)
    display = Display()
    sandbox = Sandbox()
    runs = []

    def start(args=(), painted=True):
        run = Installer(display, sandbox, args, painted)
        runs.append(run)
        return run

    try:
        yield display, sandbox, start
    finally:
        for run in runs:
            run.kill()
        sandbox.remove()
        display.close()
