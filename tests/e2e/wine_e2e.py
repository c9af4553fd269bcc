#!/usr/bin/env python3
"""End-to-end scenarios of the Windows program under Wine, each its own test: python3 wine_e2e.py SCENARIO.

The program runs in a Wine prefix of its own, so what it does to Windows folders lands in that prefix's drive_c
just where the Linux build puts it: the checks on files and on the face are those of e2e.py. On a display
without a window manager Wine draws no title bar: the window is the client area."""

import os
import re
import shutil
import sys
import urllib.parse

sys.dont_write_bytecode = True  # run from the source tree: leave no cache there

from e2e import (AWAY, CLOSE, EXTRAS, MAIL, ROW_ABSENT, ROW_INSTALLED, ROW_NEEDS_UPDATE, ROWS, SELECT_ALL,
                 expect_all_installed, expect_installed, expect_reads, expect_row, finished_shot, panel_shown, row_is,
                 row_selected, shift_uninstall_vst3_and_aax, start_clean, success_shown)
from harness import (PATIENCE, SCREEN, SOURCE_DIR, WINDOWS_PROGRAM, check, keep_screenshot, run_scenario, session,
                     tree_digest, wait_for)

HEADING = (24, 330, 552, 72)
LINES = (24, 168, 552, 72)
SETTINGS_START = b'<?xml version="1.0" encoding="UTF-8"?>\r\n\r\n<Plugin_Manager_Settings '


def windows_path(sandbox, path):
    """How the program in the prefix names a path below its drive C:."""
    return "C:\\" + os.path.relpath(path, sandbox.drive).replace("/", "\\")


def settings_attributes(data):
    """The settings file's attributes, read as text: the note's name ends in a colon, which XML readers refuse."""
    return dict(re.findall(r'([\w:]+)="([^"]*)"', data.decode("utf-8")))


def expect_windows_form(data):
    check(data.startswith(SETTINGS_START), "the settings file does not start with the XML declaration and the "
                                           "element on the third line: %r" % data[:120])
    check(data.endswith(b"/>\r\n"), "the settings file does not end with the element's end and a line end: %r"
          % data[-40:])
    check(b"\n" not in data.replace(b"\r\n", b"") and b"\r" not in data.replace(b"\r\n", b""),
          "the settings file has line ends other than CR LF")


# -- scenarios -------------------------------------------------------------------------------------------------
def scenario_first_start():
    """The window and its face on a clean machine, and the settings file written in the Windows form."""
    with session(wine=True) as (display, sandbox, start):
        check(not os.path.exists(sandbox.maker_folder), "the prefix starts with a maker folder")
        run = start()
        display.run("xdotool", "mousemove", "0", "0", check=True)
        check(run.title() == "ov_installer", "window title is %r" % run.title())
        x, y, w, h = run.geometry()
        print("the window's client area is %dx%d at (%d, %d)" % (w, h, x, y))
        check((w, h) == (600, 600), "the client area is %dx%d, expected 600x600" % (w, h))
        check(abs(x - (SCREEN[0] - w) // 2) <= 1 and abs(y - (SCREEN[1] - h) // 2) <= 1,
              "window at (%d, %d) is not centred on the %dx%d screen" % (x, y, *SCREEN))

        face = run.wait_for_shot(lambda s: row_is(s, "VST3", ROW_ABSENT), PATIENCE, "the format rows")
        keep_screenshot(face, "win-first-start.png")
        for name in ROWS:
            expect_row(face, name, ROW_ABSENT, "NOT INSTALLED")
            check(not row_selected(face, name), "%s starts selected on a clean machine" % name)
        expect_reads(face, (24, 96, 300, 24), "Version 3.1.10 for Windows", "the product line")

        # The Linux build, whose face e2e.py checks point by point, paints the very same one: the Windows
        # renderer and Wine change no pixel of it.
        with session() as (linux_display, _, start_linux):
            linux = start_linux()
            linux_display.run("xdotool", "mousemove", "0", "0", check=True)
            linux.wait_for_shot(face.same_as, PATIENCE, "the Linux build's face, the same as this one")

        check(wait_for(lambda: os.path.isfile(sandbox.settings_file), PATIENCE),
              "no settings file at %s" % sandbox.settings_file)
        with open(sandbox.settings_file, "rb") as f:
            data = f.read()
        expect_windows_form(data)
        attributes = settings_attributes(data)
        for key, name in (("VST3_Path", "VST3"), ("CLAP_Path", "CLAP"), ("AAX_Path", "AAX")):
            expected = windows_path(sandbox, sandbox.default_folder(name))
            check(attributes.get(key) == expected, "%s is %r, expected %r" % (key, attributes.get(key), expected))
        order = [data.index(key) for key in (b"Important_Note:", b"CLAP_Path", b"VST3_Path", b"AAX_Path")]
        check(order == sorted(order), "settings attributes are not in the order note, CLAP, VST3, AAX")
        check(run.request_close() == 0, "closing did not end the program with code 0")


def scenario_install_restart():
    """INSTALL of all three formats, each version read back from the module as it lands, and again at the next
    start."""
    with session(wine=True) as (display, sandbox, start):
        run = start_clean(start)
        run.click(*SELECT_ALL)
        run.move(*AWAY)
        run.wait_for_shot(lambda s: all(row_selected(s, n) for n in ROWS), PATIENCE, "all three rows selected")
        shot, blocked = finished_shot(run, "win-installed.png")
        print("INSTALL of all three formats blocked the window for %.2f s" % blocked)
        check(success_shown(shot), "no green install icon in the finished display")
        expect_reads(shot, HEADING, "SUCCESS!", "the finished display")
        for line in ("VST3: installed, version 3.1.10.0", "CLAP: installed", "AAX: installed, version 3.1.10.0"):
            expect_reads(shot, LINES, line, "the finished display's lines")
        for name in sandbox.FORMATS:
            expect_installed(sandbox, name)
        check(run.request_close() == 0, "closing did not end the program with code 0")

        run = start_clean(start)
        expect_all_installed(run, "win-restart.png")
        check(run.request_close() == 0, "closing did not end the program with code 0")


def scenario_shift_uninstall():
    """An older VST3 module is told from the shipped one; Shift turns INSTALL into UNINSTALL, which removes the
    selected bundles and nothing else."""
    with session(wine=True) as (display, sandbox, start):
        for name in ROWS:
            sandbox.install(name)
        shutil.copy(os.path.join(SOURCE_DIR, "tests", "fixtures", "pe", "v3.1.9.0-x64.dll"),
                    os.path.join(sandbox.bundle("VST3"), "Contents", "x86_64-win", "Tavrin3.vst3"))

        run = start_clean(start)
        shot = run.wait_for_shot(lambda s: row_is(s, "VST3", ROW_NEEDS_UPDATE), PATIENCE, "the VST3 row in yellow")
        expect_row(shot, "VST3", ROW_NEEDS_UPDATE, "v3.1.9.0 NEEDS UPDATE")
        expect_row(shot, "AAX", ROW_INSTALLED, "v3.1.10.0 INSTALLED")
        shift_uninstall_vst3_and_aax(sandbox, run, "win-shift.png")
        run.move(*AWAY)
        shot = run.shot()
        keep_screenshot(shot, "win-uninstalled.png")
        expect_reads(shot, LINES, "VST3: removed", "the finished display's lines")
        expect_reads(shot, LINES, "AAX: removed", "the finished display's lines")
        check(run.request_close() == 0, "closing did not end the program with code 0")


def scenario_settings_support():
    """The settings file the program wrote, edited as a user would, is read back at the next start; the support
    overlay names it by its Windows path, and the mail it prepares names Windows."""
    with session(wine=True) as (display, sandbox, start):
        run = start_clean(start)
        check(wait_for(lambda: os.path.isfile(sandbox.settings_file), PATIENCE), "no settings file written")
        check(run.request_close() == 0, "closing did not end the program with code 0")

        # A folder of the user's choice, with a blank and a letter beyond ASCII in its name.
        own_vst3 = os.path.join(sandbox.drive, "Plug-ins Wörk", "VST3")
        own_aax = os.path.join(sandbox.drive, "Plug-ins Wörk", "AAX")
        with open(sandbox.settings_file, "rb") as f:
            written = f.read()
        edited = (written.replace(windows_path(sandbox, sandbox.default_folder("VST3")).encode(),
                                  windows_path(sandbox, own_vst3).encode())
                         .replace(windows_path(sandbox, sandbox.default_folder("AAX")).encode(),
                                  windows_path(sandbox, own_aax).encode()))
        check(edited.count("Wörk".encode()) == 2, "the default folders are not in the written settings file")
        with open(sandbox.settings_file, "wb") as f:
            f.write(edited)
        sandbox.install("VST3", own_vst3)
        mailer = os.path.join(sandbox.stub_folder, "xdg-email")   # Wine hands mailto: links to this one
        shutil.copy(os.path.join(sandbox.stub_folder, "xdg-open"), mailer)

        run = start_clean(start)
        shot = run.wait_for_shot(lambda s: row_is(s, "VST3", ROW_INSTALLED), PATIENCE,
                                 "the VST3 row in blue, from the folder the settings name")
        expect_row(shot, "VST3", ROW_INSTALLED, "v3.1.10.0 INSTALLED")
        expect_row(shot, "AAX", ROW_ABSENT, "NOT INSTALLED")

        run.click(*EXTRAS["SUPPORT"])
        run.move(*AWAY)
        support = run.wait_for_shot(lambda s: not panel_shown(s), PATIENCE, "the support overlay")
        keep_screenshot(support, "win-support.png")
        about = (60, 390, 480, 140)
        # The file's name is joined with a forward slash whatever the separators of the folder.
        expect_reads(support, about, "C:\\ProgramData\\Orvella/PluginManagerSettings.txt",
                     "the about text's settings file")
        run.click(*MAIL)
        check(wait_for(sandbox.opened_links, PATIENCE), "MAIL opened no link")
        link = sandbox.opened_links()[-1]
        check(link.startswith("mailto:"), "MAIL opened %r" % link)
        body = urllib.parse.unquote(link.split("body=", 1)[-1])
        check("\nOperating System: Windows 10\n" in body, "the mail body names no Windows 10: %r" % body)
        run.click(*CLOSE)
        run.move(*AWAY)
        run.wait_for_shot(panel_shown, PATIENCE, "the main panel after closing the support overlay")

        run.click(*ROWS["AAX"][:2])
        run.move(*AWAY)
        run.wait_for_shot(lambda s: row_selected(s, "AAX") and row_selected(s, "VST3"), PATIENCE,
                          "VST3 and AAX selected")
        shot, _ = finished_shot(run, "win-own-folders.png")
        check(success_shown(shot), "installing into the folders the settings name did not end in SUCCESS!")
        for name, folder in (("VST3", own_vst3), ("AAX", own_aax)):
            check(os.path.isdir(sandbox.bundle(name, folder)), "no %s bundle in %s" % (name, folder))
            check(not os.path.exists(sandbox.default_folder(name)), "%s went to its default folder" % name)
        with open(sandbox.settings_file, "rb") as f:
            check(f.read() == edited, "the settings file was changed")
        check(run.request_close() == 0, "closing did not end the program with code 0")


def scenario_failure_reason():
    """A file where the VST3 folder belongs and an AAX folder that cannot be changed: both fail, saying why, and
    CLAP is installed."""
    with session(wine=True) as (display, sandbox, start):
        os.makedirs(sandbox.common_files, exist_ok=True)
        with open(sandbox.default_folder("VST3"), "w") as f:
            f.write("not a folder")
        sandbox.install("AAX")
        aax = tree_digest(sandbox.bundle("AAX"))
        sandbox.make_immutable(sandbox.default_folder("AAX"))

        run = start_clean(start)
        run.click(*SELECT_ALL)
        run.move(*AWAY)
        run.wait_for_shot(lambda s: all(row_selected(s, n) for n in ROWS), PATIENCE, "all three rows selected")
        shot, _ = finished_shot(run, "win-failed.png")
        check(not success_shown(shot), "a failed install shows the green success icon")
        expect_reads(shot, HEADING, "2 OF 3 FAILED", "the finished display")
        expect_reads(shot, LINES, "VST3: the install folder cannot be written", "the VST3 line")
        expect_reads(shot, LINES, "CLAP: installed", "the CLAP line")
        expect_reads(shot, LINES, "AAX: the install folder cannot be written", "the AAX line")
        with open(sandbox.default_folder("VST3")) as f:
            check(f.read() == "not a folder", "the file where the VST3 folder belongs was changed")
        check(tree_digest(sandbox.bundle("AAX")) == aax, "the AAX bundle was changed")
        expect_installed(sandbox, "CLAP")
        check(run.request_close() == 0, "closing did not end the program with code 0")


SCENARIOS = {
    "first_start": scenario_first_start,
    "install_restart": scenario_install_restart,
    "shift_uninstall": scenario_shift_uninstall,
    "settings_support": scenario_settings_support,
    "failure_reason": scenario_failure_reason,
}

def why_skipped():
    if not os.path.isfile(WINDOWS_PROGRAM):
        return "no Windows program at OV_WINDOWS_INSTALLER=%r (tools/build-windows.sh builds it)" % WINDOWS_PROGRAM
    if shutil.which("wine") is None:
        return "no Wine here (tools/install-deps.sh --windows installs it)"
    return None


if __name__ == "__main__":
    run_scenario(SCENARIOS, why_skipped)
