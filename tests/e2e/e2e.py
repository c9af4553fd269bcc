#!/usr/bin/env python3
"""End-to-end scenarios of ov_installer, each its own test: python3 e2e.py SCENARIO.

Pixel points are those of the 600-pixel face (one unit = 6 pixels) unless a scenario resizes the window."""

import html
import os
import re
import shutil
import signal
import sys
import time
import urllib.parse
import zipfile

sys.dont_write_bytecode = True  # run from the source tree: leave no cache there

from harness import (ARCHIVE_DIR, BACKGROUND, BLUE, GREEN, GREY_TEXT, LIGHT, PATIENCE, SCREEN, SOURCE_DIR, YELLOW, Failure,
                     archive_entries, brightness, busy_cores, check, installed_entries, keep_screenshot, near,
                     over_background, product_value, reads, run_scenario, session, tree_digest, wait_for)

UNIT = 6
ROWS = {"VST3": (24, 180, 270, 60), "CLAP": (306, 180, 270, 60), "AAX": (24, 252, 270, 60)}
SELECT_ALL = (519, 147)
INSTALL = (546, 471)
EXTRAS = {"EULA": (54, 471), "MANUAL": (123, 471), "WEBSITE": (192, 471), "SUPPORT": (261, 471)}
CLOSE = (552, 33)
DISCORD, MAIL = (90, 120), (90, 240)
INSTALL_CAPTION = (440, 503, 160, 22)
AWAY = (300, 570)          # on the help line: over the panel but over no control

ROW_ABSENT = over_background(GREY_TEXT, 89)
ROW_INSTALLED = over_background(BLUE, 230)
ROW_NEEDS_UPDATE = over_background(YELLOW, 230)


# -- reading the face ------------------------------------------------------------------------------------------
def row_face(shot, name):
    """The row's fill at two points that neither its icon, its text nor a selection outline covers."""
    x, y, w, h = ROWS[name]
    return shot.pixel(x + 4, y + h // 2), shot.pixel(x + w - 5, y + h - 5)


def row_is(shot, name, colour):
    return all(near(p, colour, 4) for p in row_face(shot, name))


def row_selected(shot, name):
    """A selected row has a yellow outline half a unit thick, centred on its edge."""
    x, y, w, h = ROWS[name]
    return near(shot.pixel(x - 1, y + h // 2), YELLOW, 40) and near(shot.pixel(x + w, y + h // 2), YELLOW, 40)


def row_reads(shot, name, expected):
    x, y, w, h = ROWS[name]
    return reads(shot, (x + 66, y + 6, w - 64, h - 12), expected)


def panel_shown(shot):
    """The main panel's accent strip is visible (no overlay covers it)."""
    return shot.count((0, 0, 600, 5), BLUE, 6) > 2500


def finished(shot):
    """The finished display: the rows are gone and the install icon is drawn large in the box."""
    return not any(near(p, ROW_ABSENT, 4) or near(p, ROW_INSTALLED, 4) or near(p, ROW_NEEDS_UPDATE, 4)
                   for name in ROWS for p in row_face(shot, name))


def success_shown(shot):
    return finished(shot) and shot.count((96, 240, 408, 84), GREEN, 10) > 300


def expect_reads(shot, area, expected, what):
    ok, text = reads(shot, area, expected)
    check(ok, "%s should read %r, but reads %r" % (what, expected, text.strip()))


def expect_row(shot, name, colour, text):
    check(row_is(shot, name, colour), "%s row face is %s, expected %s" % (name, row_face(shot, name), colour))
    ok, seen = row_reads(shot, name, text)
    check(ok, "%s row should read %r, but reads %r" % (name, text, seen.strip()))


def install_and_wait(run, timeout=120):
    """Clicks INSTALL and waits for the finished display; returns (screenshot, seconds the window was blocked)."""
    run.move(*INSTALL)
    run.display.run("xdotool", "mousedown", "1", check=True)
    time.sleep(0.05)
    run.display.run("xdotool", "mouseup", "1", check=True)
    clicked = time.monotonic()
    shot = run.wait_for_shot(finished, timeout, "the finished display")
    return shot, time.monotonic() - clicked


def finished_shot(run, name):
    """INSTALL, then the finished display with the pointer away from the controls, kept under the name;
    returns it with the seconds the window was blocked."""
    _, blocked = install_and_wait(run)
    run.move(*AWAY)
    shot = run.shot()
    keep_screenshot(shot, name)
    return shot, blocked


def resized_square(run):
    """The window's size once it has left 600 by 600 and is square again, else None."""
    _, _, w, h = run.geometry()
    return (w, h) if w == h != 600 else None


def expect_installed(sandbox, name):
    """The format's bundle in its default folder is its archive, file for file, and nothing lies beside it."""
    archive, bundle, _ = sandbox.FORMATS[name]
    expected = archive_entries(archive)
    actual = installed_entries(sandbox.default_folder(name), bundle)
    files = lambda entries: {k: v for k, v in entries.items() if v is not None}
    check(files(actual) == files(expected), "%s bundle differs from its archive:\n  missing %s\n  extra %s" % (
        name, sorted(set(files(expected).items()) - set(files(actual).items())),
        sorted(set(files(actual).items()) - set(files(expected).items()))))
    # Folders: the archive's own folder entries, and those its files lie in; no others.
    folders = {k for k, v in expected.items() if v is None}
    folders |= {p.rsplit("/", n)[0] + "/" for p in files(expected) for n in range(1, p.count("/") + 1)}
    check({k for k, v in actual.items() if v is None} == folders - {bundle + "/"},
          "%s bundle has other folders than its archive" % name)
    leftovers = [f for f in os.listdir(sandbox.default_folder(name)) if f != bundle]
    check(not leftovers, "%s install folder holds more than the bundle: %s" % (name, leftovers))


def expect_face(shot, expected, name):
    """Each named point (x, y), or area (x, y, w, h) by its brightest pixel, at its colour within 4 levels.
    All the wrong ones are told at once, with the screenshot kept."""
    read = lambda place: shot.pixel(*place) if len(place) == 2 else shot.brightest(place)
    wrong = ["%s at %s is %s, expected %s" % (what, place, read(place), colour)
             for what, (place, colour) in expected.items() if not near(read(place), colour, 4)]
    if wrong:
        raise Failure("\n  ".join(["the face at %d pixels (%s):" % (shot.width, keep_screenshot(shot, name))]
                                   + wrong))


def start_clean(start):
    run = start()
    run.move(*AWAY)
    return run


# -- scenarios -------------------------------------------------------------------------------------------------
def scenario_shell():
    with session() as (display, sandbox, start):
        # Settings and folders in place, so that no run has anything of its own to write.
        sandbox.write_settings(*(sandbox.default_folder(name) for name in ("VST3", "CLAP", "AAX")))
        for name in ROWS:
            os.makedirs(sandbox.default_folder(name))
        run = start()
        display.run("xdotool", "mousemove", "0", "0", check=True)
        check(run.title() == "ov_installer", "window title is %r" % run.title())

        x, y, w, h = run.geometry()
        check((w, h) == (600, 600), "content is %dx%d, expected 600x600" % (w, h))
        check(abs(x - (SCREEN[0] - w) // 2) <= 1 and abs(y - (SCREEN[1] - h) // 2) <= 1,
              "window at (%d, %d) is not centred on the %dx%d screen" % (x, y, *SCREEN))
        plain = run.wait_for_shot(panel_shown, PATIENCE, "the main panel")
        files = tree_digest(sandbox.root)

        # The whole window on the screen whatever its size.
        run.move_window(0, 0)

        for request, label in (((800, 700), "800x700"), ((500, 640), "500x640"), ((60, 60), "60x60")):
            run.resize(*request)
            # The server takes the size first; the program's constrainer answers once it has seen it.
            size = wait_for(lambda: (lambda s: s if s and s[0] >= 128 else None)(resized_square(run)), PATIENCE)
            _, _, w, h = run.geometry()
            check(size is not None or w < 128, "a resize to %s left the window at %dx%d: not square" % (label, w, h))
            check(w >= 128, "a resize to %s made the window %dx%d, below 128" % (label, w, h))
            run.resize(600, 600)
            wait_for(lambda: run.geometry()[2:] == (600, 600), PATIENCE)

        check(run.request_close() == 0, "closing the window did not end the program with code 0")

        # Arguments of any kind change nothing: the same face, the same files.
        run = start(["--uninstall", "/S", "-v", "C:\\Program Files\\x y", "--", "VST3"])
        display.run("xdotool", "mousemove", "0", "0", check=True)
        check(run.title() == "ov_installer", "with arguments the title is %r" % run.title())
        check(run.geometry()[2:] == (600, 600), "with arguments the window is %dx%d" % run.geometry()[2:])
        with_arguments = run.wait_for_shot(panel_shown, PATIENCE, "the main panel")
        check(with_arguments.same_as(plain), "with arguments the face differs from the face without")
        check(tree_digest(sandbox.root) == files, "with arguments the program changed files")
        check(run.request_close() == 0, "closing the window did not end the program with code 0")


def scenario_first_start():
    with session() as (display, sandbox, start):
        check(not os.path.exists(sandbox.maker_folder), "the sandbox starts with a maker folder")
        run = start_clean(start)
        shot = run.wait_for_shot(lambda s: row_is(s, "VST3", ROW_ABSENT), PATIENCE, "the format rows")

        # Written once the first frame is out, not before it.
        check(wait_for(lambda: os.path.isfile(sandbox.settings_file), PATIENCE),
              "no settings file at %s" % sandbox.settings_file)
        with open(sandbox.settings_file, encoding="utf-8") as f:
            text = f.read()
        # The note's attribute name ends in a colon, which namespace-aware XML readers refuse: read it as text.
        check(re.search(r"<Plugin_Manager_Settings\s", text) is not None, "no Plugin_Manager_Settings element")
        attributes = {k: html.unescape(v) for k, v in re.findall(r'([\w:]+)="([^"]*)"', text)}
        # The Windows form, byte for byte as the Windows build writes it, for the maker's installers in the prefix.
        for key, name in (("VST3_Path", "VST3"), ("CLAP_Path", "CLAP"), ("AAX_Path", "AAX")):
            expected = "C:\\Program Files\\Common Files\\" + sandbox.FORMATS[name][2].replace("/", "\\")
            check(attributes.get(key) == expected, "%s is %r, expected %r" % (key, attributes.get(key), expected))
        order = [text.index(key) for key in ("Important_Note:", "CLAP_Path", "VST3_Path", "AAX_Path")]
        check(order == sorted(order), "settings attributes are not in the order note, CLAP, VST3, AAX")

        for name in ROWS:
            expect_row(shot, name, ROW_ABSENT, "NOT INSTALLED")
            check(not row_selected(shot, name), "%s starts selected on a clean machine" % name)
        keep_screenshot(shot, "e2e-first-start.png")
        check(run.request_close() == 0, "closing did not end the program with code 0")


def scenario_install_all():
    with session() as (display, sandbox, start):
        run = start_clean(start)
        run.click(*SELECT_ALL)
        run.move(*AWAY)
        run.wait_for_shot(lambda s: all(row_selected(s, n) for n in ROWS), PATIENCE, "all three rows selected")

        shot, blocked = install_and_wait(run)
        print("INSTALL of all three formats blocked the window for %.2f s" % blocked)
        run.move(*AWAY)
        shot = run.shot()
        check(success_shown(shot), "no green install icon in the finished display")
        expect_reads(shot, (24, 330, 552, 72), "SUCCESS!", "the finished display")
        keep_screenshot(shot, "e2e-installed.png")

        for name in sandbox.FORMATS:
            expect_installed(sandbox, name)
        check(run.request_close() == 0, "closing did not end the program with code 0")


def scenario_restart():
    with session() as (display, sandbox, start):
        run = start_clean(start)
        run.click(*SELECT_ALL)
        shot, _ = install_and_wait(run)
        check(success_shown(shot), "the install before the restart did not succeed")
        check(run.request_close() == 0, "closing did not end the program with code 0")

        run = start_clean(start)
        expect_all_installed(run, "e2e-restart.png")
        check(run.request_close() == 0, "closing did not end the program with code 0")


def expect_all_installed(run, screenshot):
    """The face of a start with the shipped version of each format installed: every row blue and selected, each
    with its version but CLAP, whose module carries none."""
    shot = run.wait_for_shot(lambda s: row_is(s, "VST3", ROW_INSTALLED), PATIENCE, "the VST3 row in blue")
    keep_screenshot(shot, screenshot)
    expect_row(shot, "VST3", ROW_INSTALLED, "v3.1.10.0 INSTALLED")
    expect_row(shot, "CLAP", ROW_INSTALLED, "INSTALLED")
    check("v3" not in row_reads(shot, "CLAP", "")[1].lower(), "the CLAP row shows a version")
    expect_row(shot, "AAX", ROW_INSTALLED, "v3.1.10.0 INSTALLED")
    for name in ROWS:
        check(row_selected(shot, name), "%s does not start selected" % name)


def scenario_needs_update():
    with session() as (display, sandbox, start):
        for name in ROWS:
            sandbox.install(name)
        module = os.path.join(sandbox.bundle("VST3"), "Contents", "x86_64-win", "Tavrin3.vst3")
        with open(os.path.join(SOURCE_DIR, "tests", "fixtures", "pe", "v3.1.9.0-x64.dll"), "rb") as old:
            older = old.read()
        with open(module, "wb") as f:
            f.write(older)

        run = start_clean(start)
        shot = run.wait_for_shot(lambda s: row_is(s, "VST3", ROW_NEEDS_UPDATE), PATIENCE, "the VST3 row in yellow")
        expect_row(shot, "VST3", ROW_NEEDS_UPDATE, "v3.1.9.0 NEEDS UPDATE")
        expect_row(shot, "AAX", ROW_INSTALLED, "v3.1.10.0 INSTALLED")

        # Only VST3 goes through the run.
        others = {name: tree_digest(sandbox.bundle(name)) for name in ("CLAP", "AAX")}
        run.click(*ROWS["CLAP"][:2])
        run.click(*ROWS["AAX"][:2])
        run.move(*AWAY)
        run.wait_for_shot(lambda s: row_selected(s, "VST3") and not row_selected(s, "CLAP")
                          and not row_selected(s, "AAX"), PATIENCE, "only VST3 selected")
        shot, _ = install_and_wait(run)
        check(success_shown(shot), "updating VST3 did not end in SUCCESS!")

        with zipfile.ZipFile(os.path.join(ARCHIVE_DIR, "vst3.zip")) as archive:
            shipped = archive.read("Tavrin3.vst3\\Contents\\x86_64-win\\Tavrin3.vst3")
        with open(module, "rb") as f:
            check(f.read() == shipped, "the VST3 module is not the shipped one after the update")
        for name, digest in others.items():
            check(tree_digest(sandbox.bundle(name)) == digest, "%s changed though it was not selected" % name)
        check(run.request_close() == 0, "closing did not end the program with code 0")

        run = start_clean(start)
        shot = run.wait_for_shot(lambda s: row_is(s, "VST3", ROW_INSTALLED), PATIENCE, "the VST3 row in blue")
        expect_row(shot, "VST3", ROW_INSTALLED, "v3.1.10.0 INSTALLED")
        check(run.request_close() == 0, "closing did not end the program with code 0")


def shift_uninstall_vst3_and_aax(sandbox, run, screenshot):
    """With all three formats installed: CLAP deselected, INSTALL reads UNINSTALL while Shift is held and again
    once it is let go and held anew, and the Shift-click removes VST3 and AAX and nothing else. Returns the
    finished display."""
    clap = tree_digest(sandbox.bundle("CLAP"))
    run.click(*ROWS["CLAP"][:2])
    run.move(*AWAY)
    before = run.wait_for_shot(lambda s: row_selected(s, "VST3") and row_selected(s, "AAX")
                               and not row_selected(s, "CLAP"), PATIENCE, "VST3 and AAX selected")
    expect_reads(before, INSTALL_CAPTION, "INSTALL", "the caption without Shift")

    caption = lambda s: [s.pixel(x, y) for x, y, _ in s.region(*INSTALL_CAPTION)]
    run.key_down("shift")
    try:
        held = run.wait_for_shot(lambda s: caption(s) != caption(before), PATIENCE,
                                 "the caption to change with Shift")
        expect_reads(held, INSTALL_CAPTION, "UNINSTALL", "the caption with Shift held")
        keep_screenshot(held, screenshot)

        run.key_up("shift")
        run.wait_for_shot(lambda s: caption(s) == caption(before), PATIENCE, "the caption back without Shift")
        run.key_down("shift")
        run.wait_for_shot(lambda s: caption(s) == caption(held), PATIENCE, "UNINSTALL again")
        shot, _ = install_and_wait(run)
    finally:
        run.key_up("shift")

    check(success_shown(shot), "the uninstall did not end in SUCCESS!")
    for name in ("VST3", "AAX"):
        check(not os.path.lexists(sandbox.bundle(name)), "%s bundle is still there" % name)
        check(os.path.isdir(sandbox.default_folder(name)), "%s install folder was removed" % name)
        check(os.listdir(sandbox.default_folder(name)) == [], "%s install folder is not empty" % name)
    check(tree_digest(sandbox.bundle("CLAP")) == clap, "the CLAP bundle changed")
    return shot


def scenario_shift_uninstall():
    with session() as (display, sandbox, start):
        for name in ROWS:
            sandbox.install(name)
        run = start_clean(start)
        shift_uninstall_vst3_and_aax(sandbox, run, "e2e-shift.png")
        check(run.request_close() == 0, "closing did not end the program with code 0")


def scenario_shift_at_click():
    """The Shift key as it is at the click decides, though it changed while the pointer was off the window."""
    caption = lambda s: [s.pixel(x, y) for x, y, _ in s.region(*INSTALL_CAPTION)]
    off_window = lambda run: run.display.run("xdotool", "mousemove", "0", "0", check=True)

    with session() as (display, sandbox, start):
        for name in ROWS:
            sandbox.install(name)
        installed = {name: tree_digest(sandbox.bundle(name)) for name in ROWS}

        # Shift let go while the pointer was away: a plain click installs.
        run = start()
        run.move(*INSTALL)
        plain = run.wait_for_shot(lambda s: all(row_selected(s, n) for n in ROWS), PATIENCE, "all three selected")
        run.key_down("shift")
        try:
            held = run.wait_for_shot(lambda s: caption(s) != caption(plain), PATIENCE, "UNINSTALL with Shift held")
            off_window(run)
        finally:
            run.key_up("shift")
        run.move(*INSTALL)
        back = run.wait_for_shot(lambda s: caption(s) == caption(plain), PATIENCE,
                                 "the caption back to INSTALL once the pointer is back")
        expect_reads(back, INSTALL_CAPTION, "INSTALL", "the caption without Shift")
        shot, _ = install_and_wait(run)
        check(success_shown(shot), "the plain click did not end in SUCCESS!")
        for name, digest in installed.items():
            check(tree_digest(sandbox.bundle(name)) == digest, "a plain click removed or changed %s" % name)
        check(run.request_close() == 0, "closing did not end the program with code 0")

        # Shift pressed while the pointer was away: the Shift-click uninstalls.
        run = start()
        off_window(run)
        run.key_down("shift")
        try:
            run.move(*INSTALL)
            run.wait_for_shot(lambda s: caption(s) == caption(held), PATIENCE,
                              "UNINSTALL once the pointer is back with Shift held")
            shot, _ = install_and_wait(run)
        finally:
            run.key_up("shift")
        check(success_shown(shot), "the Shift-click did not end in SUCCESS!")
        for name in ROWS:
            check(not os.path.lexists(sandbox.bundle(name)), "the Shift-click left %s installed" % name)
        check(run.request_close() == 0, "closing did not end the program with code 0")


def scenario_another_copy():
    """While another copy of the installer works in the prefix, this one neither mends nor installs anything."""
    with session() as (display, sandbox, start):
        sandbox.write_settings(*(sandbox.default_folder(name) for name in ("VST3", "CLAP", "AAX")))
        for name in ROWS:
            os.makedirs(sandbox.default_folder(name))
        sandbox.install("VST3")
        set_aside = sandbox.bundle("VST3") + ".ov-old"
        os.rename(sandbox.bundle("VST3"), set_aside)
        before = tree_digest(sandbox.drive)

        with sandbox.another_copy_busy():
            run = start_clean(start)
            shot = run.wait_for_shot(lambda s: row_is(s, "VST3", ROW_ABSENT), PATIENCE, "VST3 not installed")
            check(not row_selected(shot, "VST3"), "VST3 starts selected though its bundle is set aside")
            check(tree_digest(sandbox.drive) == before, "start-up changed files while another copy was busy")

            run.click(*ROWS["VST3"][:2])
            run.click(*ROWS["CLAP"][:2])
            shot, blocked = finished_shot(run, "e2e-another-copy.png")
            print("INSTALL waited %.2f s for the other copy" % blocked)
            expect_reads(shot, (24, 330, 552, 72), "FAILED", "the finished display")
            expect_reads(shot, (24, 168, 552, 72), "VST3: another copy of the installer is busy", "the VST3 line")
            expect_reads(shot, (24, 168, 552, 72), "CLAP: another copy of the installer is busy", "the CLAP line")
            check(tree_digest(sandbox.drive) == before, "INSTALL changed files while another copy was busy")
            check(run.request_close() == 0, "closing did not end the program with code 0")

        # Once that copy has gone, the next start puts the set-aside bundle back.
        run = start_clean(start)
        shot = run.wait_for_shot(lambda s: row_is(s, "VST3", ROW_INSTALLED), PATIENCE, "VST3 back as installed")
        check(row_selected(shot, "VST3"), "the VST3 bundle put back does not start selected")
        check(not os.path.lexists(set_aside), "the set-aside bundle is still beside the bundle")
        check(run.request_close() == 0, "closing did not end the program with code 0")

        # A folder where the lock's file belongs: no copy can tell whether it runs alone, and this one says so.
        os.mkdir(sandbox.lock_file)
        before = tree_digest(sandbox.drive)
        run = start_clean(start)
        run.click(*ROWS["CLAP"][:2])
        shot, _ = finished_shot(run, "e2e-cannot-run-alone.png")
        expect_reads(shot, (24, 168, 552, 72), "could not make sure it runs alone", "the CLAP line")
        check(tree_digest(sandbox.drive) == before, "INSTALL changed files though it could not take the lock")
        check(run.request_close() == 0, "closing did not end the program with code 0")


def scenario_users_own_vst3():
    """An older copy in the user's own VST3 folder, which hosts load first, is named after the install and left."""
    with session() as (display, sandbox, start):
        user = os.environ.get("USER") or __import__("pwd").getpwuid(os.getuid()).pw_name
        own_folder = os.path.join(sandbox.drive, "users", user, "AppData", "Local", "Programs", "Common", "VST3")
        sandbox.install("VST3", own_folder)
        own_copy = tree_digest(own_folder)

        run = start_clean(start)
        run.click(*ROWS["VST3"][:2])
        shot, _ = finished_shot(run, "e2e-users-own-vst3.png")
        check(success_shown(shot), "the install with a copy in the user's folder did not end in SUCCESS!")
        expect_reads(shot, (24, 168, 552, 72), "VST3: hosts will load the other copy in", "the note")
        check(tree_digest(own_folder) == own_copy, "the copy in the user's own folder was changed")
        check(os.path.isdir(sandbox.bundle("VST3")), "the VST3 bundle was not installed")
        check(run.request_close() == 0, "closing did not end the program with code 0")


def scenario_immutable_folder():
    with session() as (display, sandbox, start):
        locked = os.path.join(sandbox.drive, "Locked", "VST3")
        sandbox.install("VST3", locked)
        sandbox.write_settings(locked, sandbox.default_folder("CLAP"), sandbox.default_folder("AAX"))
        bundle = sandbox.bundle("VST3", locked)
        previous = tree_digest(bundle)
        sandbox.make_immutable(locked)

        run = start_clean(start)
        shot = run.wait_for_shot(lambda s: row_selected(s, "VST3"), PATIENCE, "VST3 selected")
        check(not row_selected(shot, "CLAP") and not row_selected(shot, "AAX"), "only VST3 should start selected")

        shot, _ = finished_shot(run, "e2e-failed.png")
        check(not success_shown(shot), "a failed VST3 install shows the green success icon")
        expect_reads(shot, (24, 330, 552, 72), "FAILED", "the finished display")
        expect_reads(shot, (24, 168, 552, 72), "VST3:", "the failure details")

        check(tree_digest(bundle) == previous, "the previous VST3 bundle was changed")
        check(sorted(os.listdir(locked)) == ["Tavrin3.vst3"], "the locked folder holds %s" % os.listdir(locked))

        # A support request written now quotes the finished display before the prompt.
        run.click(*EXTRAS["SUPPORT"])
        run.move(*AWAY)
        run.wait_for_shot(lambda s: not panel_shown(s), PATIENCE, "the support overlay")
        run.click(*MAIL)
        check(wait_for(lambda: sandbox.opened_links(), PATIENCE), "MAIL opened no link")
        query = dict(item.split("=", 1) for item in sandbox.opened_links()[-1].split("?", 1)[1].split("&"))
        body = urllib.parse.unquote(query["body"])
        check(re.search(r"\nCPU: [^\n]*\n\nFAILED\nVST3: [^\n]+\n\nYour problem, and the steps to recreate it, if possible:\n$",
                        body) is not None, "the mail body does not quote the finished display: %r" % body)
        check(run.request_close() == 0, "closing did not end the program with code 0")


def scenario_overlays_links():
    with session() as (display, sandbox, start):
        run = start_clean(start)
        run.wait_for_shot(lambda s: row_is(s, "VST3", ROW_ABSENT), PATIENCE, "the format rows")

        # The licence covers the panel.
        run.click(*EXTRAS["EULA"])
        run.move(*AWAY)
        eula = run.wait_for_shot(lambda s: not panel_shown(s), PATIENCE, "the licence overlay")
        expect_reads(eula, (18, 12, 420, 32), "LICENSE AGREEMENT", "the licence heading")
        # The licence has the keyboard: its blinking caret may stand before the first word.
        expect_reads(eula, (24, 72, 552, 60), "INC. END-USER LICENSE AGREEMENT", "the licence text")
        check(all(near(eula.pixel(x, 3), BACKGROUND, 1) for x in (10, 300, 590)), "the accent strip shows through")
        keep_screenshot(eula, "e2e-eula.png")

        # Hovering the close control lights it.
        ring = (538, 19, 28, 28)
        rest = max(brightness(p) for _, _, p in eula.region(*ring))
        run.move(*CLOSE)
        run.wait_for_shot(lambda s: max(brightness(p) for _, _, p in s.region(*ring)) > rest + 40, PATIENCE,
                          "the close control to light up under the pointer")

        # Clicks on the places of the panel's controls reach the licence, not the panel.
        run.click(*SELECT_ALL)
        run.click(*INSTALL)
        run.click(*ROWS["VST3"][:2])
        run.click(*CLOSE)
        run.move(*AWAY)
        back = run.wait_for_shot(panel_shown, PATIENCE, "the main panel after closing the licence")
        for name in ROWS:
            check(row_is(back, name, ROW_ABSENT) and not row_selected(back, name),
                  "%s changed under the licence overlay" % name)
        check(not any(os.path.exists(sandbox.bundle(n)) for n in ROWS), "a click under the licence installed")

        # The support overlay.
        run.click(*EXTRAS["SUPPORT"])
        run.move(*AWAY)
        support = run.wait_for_shot(lambda s: not panel_shown(s), PATIENCE, "the support overlay")
        keep_screenshot(support, "e2e-support.png")
        expect_reads(support, (54, 48, 300, 48), "DISCORD", "the community heading")
        expect_reads(support, (54, 168, 300, 48), "E-MAIL", "the e-mail heading")
        about = (60, 390, 480, 140)
        expect_reads(support, about, "Orvella Plugin Manager v1.1.0", "the about text")
        expect_reads(support, about, sandbox.settings_file.replace(sandbox.root, "").lstrip("/"),
                     "the about text's settings file")
        expect_reads(support, about, os.path.basename(sandbox.root), "the about text's sandbox")
        check(near(support.pixel(63, 120), over_background(GREY_TEXT, 128), 4), "the community face is not at rest")
        run.move(*DISCORD)
        hover = run.wait_for_shot(lambda s: near(s.pixel(63, 120), over_background(GREY_TEXT, 191), 4), PATIENCE,
                                  "the community face lit under the pointer")
        check(near(hover.pixel(63, 240), over_background(GREY_TEXT, 128), 4), "the e-mail face is not at rest")

        run.click(*DISCORD)
        run.click(*MAIL)
        check(wait_for(lambda: len(sandbox.opened_links()) >= 2, PATIENCE), "the links did not reach the browser: %s"
              % sandbox.opened_links())
        check(sandbox.opened_links()[0] == product_value("communityInvite"),
              "DISCORD opened %r" % sandbox.opened_links()[0])
        check_mail_link(sandbox.opened_links()[1])
        check(not panel_shown(run.shot()), "a link closed the support overlay")

        run.click(*CLOSE)
        run.move(*AWAY)
        run.wait_for_shot(panel_shown, PATIENCE, "the main panel after closing the support overlay")

        run.click(*EXTRAS["MANUAL"])
        run.click(*EXTRAS["WEBSITE"])
        check(wait_for(lambda: len(sandbox.opened_links()) >= 4, PATIENCE),
              "MANUAL and WEBSITE did not reach the browser")
        check(sandbox.opened_links()[2:] == [product_value("manualAddress"), product_value("productPageAddress")],
              "MANUAL and WEBSITE opened %s" % sandbox.opened_links()[2:])
        check(row_is(run.shot(), "VST3", ROW_ABSENT), "a link changed the panel")
        check(run.request_close() == 0, "closing did not end the program with code 0")


def check_mail_link(link):
    address = product_value("supportEmailAddress")
    check(link.startswith("mailto:%s?subject=" % address), "MAIL opened %r" % link)
    check(not re.search(r"[\s\"'$`\\]", link), "the mail link holds unescaped characters: %r" % link)
    query = dict(item.split("=", 1) for item in link.split("?", 1)[1].split("&"))
    check(sorted(query) == ["body", "subject"], "the mail link has parameters %s" % sorted(query))
    check(urllib.parse.unquote(query["subject"]) == "Tavrin3 help", "subject %r" % query["subject"])

    with open("/proc/cpuinfo") as f:
        cpu = next((line.split(":", 1)[1].strip() for line in f if line.startswith("model name")), "")
    body = ("Product: Tavrin3 3.1.10\nOperating System: Linux\nDevice: \nCPU: %s\n\n"
            "Your problem, and the steps to recreate it, if possible:\n" % cpu)
    check(urllib.parse.unquote(query["body"]) == body, "body %r, expected %r"
          % (urllib.parse.unquote(query["body"]), body))


def scenario_resize():
    def features(shot, u):
        """Ink boxes of texts whose places and sizes scale with the unit: the product heading, FORMATS, EXTRAS."""
        grey = lambda p: near(p, GREY_TEXT, 40)
        return [shot.ink_bounds((0, round(top * u), round(50 * u), round(height * u)), grey)
                for top, height in ((8, 9), (22, 4.5), (66, 4.5))]

    def scaled(box, factor):
        return tuple(v * factor for v in box)

    with session() as (display, sandbox, start):
        run = start_clean(start)
        reference = features(run.wait_for_shot(panel_shown, PATIENCE, "the main panel"), UNIT)
        check(all(reference), "the 600-pixel face lacks its headings: %s" % reference)
        run.move_window(0, 0)

        for request in ((800, 700), (1000, 1000)):
            run.resize(*request)
            geometry = wait_for(lambda: resized_square(run), PATIENCE)
            _, _, w, h = run.geometry()
            check(geometry is not None, "a resize to %dx%d left the window at %dx%d: not square" % (*request, w, h))

            u = w / 100
            shot = run.wait_for_shot(lambda s: s.width == w and near(s.pixel(w // 2, int(u) - 1), BLUE, 6)
                                     and near(s.pixel(w // 2, int(u) + 1), BACKGROUND, 2), PATIENCE,
                                     "the face redrawn at %d pixels, accent strip one unit high" % w)
            keep_screenshot(shot, "e2e-resized-%d.png" % w)

            vst3 = (round(4 * u), round(30 * u), round(45 * u), round(10 * u))
            check(near(shot.pixel(vst3[0] + 4, vst3[1] + vst3[3] // 2), ROW_ABSENT, 4)
                  and near(shot.pixel(vst3[0] - 3, vst3[1] + vst3[3] // 2), BACKGROUND, 2)
                  and near(shot.pixel(vst3[0] + vst3[2] - 4, vst3[1] + 4), ROW_ABSENT, 4)
                  and near(shot.pixel(vst3[0] + vst3[2] + 3, vst3[1] + 4), BACKGROUND, 2),
                  "the VST3 row is not at %s" % (vst3,))
            install = (round(86 * u), round(73.5 * u), round(10 * u), round(10 * u))
            check(near(shot.pixel(install[0] + 3, install[1] + install[3] // 2), over_background(GREY_TEXT, 128), 4)
                  and near(shot.pixel(install[0] - 3, install[1] + 3), BACKGROUND, 2),
                  "the INSTALL face is not at %s" % (install,))
            for before, after in zip(reference, features(shot, u)):
                expected = scaled(before, u / UNIT)
                check(after is not None and all(abs(a - e) <= 0.5 * u for a, e in zip(after, expected)),
                      "a heading at %s on the 600-pixel face is at %s at %d pixels, expected about %s"
                      % (before, after, w, tuple(round(v) for v in expected)))
        check(run.request_close() == 0, "closing did not end the program with code 0")


def scenario_huge_window():
    """A window resized far past what the renderer can paint is taken back to 16384 square and lives on; a close
    request while it paints at that size ends it."""
    with session() as (display, sandbox, start):
        run = start_clean(start)
        run.wait_for_shot(panel_shown, PATIENCE, "the main panel")

        # Painting a 16384-pixel face in software takes a while on a small machine: wait long.
        slow = 6 * PATIENCE

        def resize_to_24000(what):
            run.resize(24000, 24000)
            died = lambda: run.process.poll() is not None
            check(wait_for(lambda: died() or run.geometry()[2:] == (16384, 16384), slow) and not died(),
                  "after %s to 24000 square the program %s" % (what, "died:\n" + run.output() if died() else
                                                               "left the window at %s, not 16384 square"
                                                               % (run.geometry()[2:],)))

        resize_to_24000("a resize")
        run.resize(600, 600)
        check(wait_for(lambda: run.geometry()[2:] == (600, 600), slow), "the window did not come back to 600")
        run.move(*AWAY)
        run.wait_for_shot(lambda s: s.width == 600 and panel_shown(s) and row_is(s, "VST3", ROW_ABSENT), slow,
                          "the face repainted at 600 after 24000 square")
        check(run.process.poll() is None, "the program ended after coming back to 600")

        resize_to_24000("a second resize")
        # Painting that face takes seconds here: the request comes while it is painted and sent to the server.
        time.sleep(0.5)
        check(run.request_close(PATIENCE) == 0, "closing at 16384 square did not end the program with code 0")


def scenario_close_requests():
    """With two cores kept busy, close requests at moments of the start-up from the mapping of the window on, and
    one during an install run: every one ends the program with code 0 within a few seconds, the run first."""
    moments = (0, 0.1, 0.3, 0.8, 1.5, 3.0)
    answer = 6
    with busy_cores(2, 240), session() as (display, sandbox, start):
        unanswered = []
        for moment in moments * 2:
            run = start(painted=False)
            time.sleep(moment)
            try:
                check(run.request_close(answer) == 0, "the program ended with code %s" % run.process.returncode)
            except Failure as failure:
                unanswered.append("%g s after the mapping: %s" % (moment, failure))
                run.kill()
        check(not unanswered, "%d of %d close requests during the start-up failed:\n  %s"
              % (len(unanswered), len(moments) * 2, "\n  ".join(unanswered)))

        run = start_clean(start)
        run.click(*SELECT_ALL)
        run.move(*AWAY)
        run.wait_for_shot(lambda s: all(row_selected(s, n) for n in ROWS), PATIENCE, "all three rows selected")
        run.move(*INSTALL)
        run.display.run("xdotool", "mousedown", "1", check=True)
        time.sleep(0.05)
        run.display.run("xdotool", "mouseup", "1", check=True)
        check(run.request_close(answer) == 0, "closing during the install run did not end the program with code 0")
        for name in sandbox.FORMATS:
            expect_installed(sandbox, name)


def scenario_face_at_600():
    """VST3 needs an update, CLAP is installed, AAX is absent: the face at named points, the rows answering
    the pointer, and the same face at 800 pixels."""
    with session() as (display, sandbox, start):
        module = os.path.join(sandbox.bundle("VST3"), "Contents", "x86_64-win")
        os.makedirs(module)
        shutil.copy(os.path.join(SOURCE_DIR, "tests", "fixtures", "pe", "v3.1.9.0-x64.dll"),
                    os.path.join(module, "Tavrin3.vst3"))
        os.makedirs(sandbox.default_folder("CLAP"))
        with open(sandbox.bundle("CLAP"), "wb") as f:
            f.write(b"module")

        run = start()
        display.run("xdotool", "mousemove", "0", "0", check=True)
        face = run.wait_for_shot(lambda s: s.width == 600 and near(s.pixel(300, 3), BLUE, 4), PATIENCE,
                                 "the first paint")
        expect_face(face, {
            "accent strip":          ((300, 3), BLUE),
            "background":            ((300, 350), BACKGROUND),
            "FORMATS rule":          ((300, 165), GREY_TEXT),
            "EXTRAS rule":           ((300, 429), GREY_TEXT),
            "corner dot":            ((590, 590), over_background(GREY_TEXT, 128)),
            "empty fourth corner":   ((578, 578), BACKGROUND),
            "SELECT ALL face":       ((470, 134), over_background(GREY_TEXT, 26)),
            "VST3 row, old version": ((280, 200), ROW_NEEDS_UPDATE),
            "VST3 outline":          ((23, 210), YELLOW),
            "CLAP row, installed":   ((562, 200), ROW_INSTALLED),
            "CLAP outline":          ((305, 210), YELLOW),
            "AAX row, absent":       ((280, 272), ROW_ABSENT),
            "AAX not outlined":      ((23, 282), BACKGROUND),
            "EULA face":             ((28, 470), over_background(GREY_TEXT, 128)),
            "INSTALL face":          ((520, 470), over_background(GREY_TEXT, 128)),
            "light logo":            ((24, 15, 162, 23), LIGHT),
            "grey product heading":  ((24, 48, 300, 50), GREY_TEXT),
            "help line":             ((24, 540, 552, 18), over_background(GREY_TEXT, 128)),
        }, "e2e-face-600.png")

        run.move(150, 282)
        hovered = run.wait_for_shot(lambda s: near(s.pixel(280, 272), over_background(GREY_TEXT, 128), 4), PATIENCE,
                                    "the AAX row lighting up under the pointer")
        check(near(hovered.pixel(562, 200), ROW_INSTALLED, 4), "the CLAP row changed with AAX hovered")
        run.move(*EXTRAS["EULA"])
        run.wait_for_shot(lambda s: near(s.pixel(28, 470), over_background(GREY_TEXT, 191), 4)
                          and near(s.pixel(280, 272), ROW_ABSENT, 4), PATIENCE, "the EULA face under the pointer")

        display.run("xdotool", "mousemove", "0", "0", check=True)
        run.resize(800, 800)
        large = run.wait_for_shot(lambda s: s.width == 800 and near(s.pixel(400, 7), BLUE, 4), PATIENCE,
                                  "the face at 800 pixels")
        expect_face(large, {
            "below the accent strip, 8 pixels high": ((400, 9), BACKGROUND),
            "INSTALL face from 688":                 ((692, 620), over_background(GREY_TEXT, 128)),
            "left of the INSTALL face":              ((684, 620), BACKGROUND),
            "VST3 row, 360 wide":                    ((380, 266), ROW_NEEDS_UPDATE),
            "VST3 outline, 4 pixels thick":          ((30, 280), YELLOW),
            "FORMATS rule at 220":                   ((400, 220), GREY_TEXT),
            "below the FORMATS rule":                ((400, 223), BACKGROUND),
        }, "e2e-face-800.png")
        check(run.request_close() == 0, "closing did not end the program with code 0")


def scenario_old_files_left():
    """An old VST3 bundle with a file that cannot be deleted: the install succeeds and says where the old
    files were left, in lines that fit the window."""
    with session() as (display, sandbox, start):
        sandbox.install("VST3")
        sandbox.make_immutable(os.path.join(sandbox.bundle("VST3"), "desktop.ini"))
        run = start_clean(start)
        run.wait_for_shot(lambda s: row_selected(s, "VST3"), PATIENCE, "VST3 selected")
        shot, _ = finished_shot(run, "e2e-old-files-left.png")
        check(success_shown(shot), "installing with old files left shows no green install icon")
        expect_reads(shot, (24, 330, 552, 72), "SUCCESS!", "the finished display")
        expect_reads(shot, (24, 168, 552, 72), "VST3: old files", "the note")
        check(shot.count((0, 168, 22, 72), GREY_TEXT, 60) + shot.count((578, 168, 22, 72), GREY_TEXT, 60) == 0,
              "the note runs outside the box")
        left = [f for f in os.listdir(sandbox.default_folder("VST3")) if f != "Tavrin3.vst3"]
        check(left == ["Tavrin3.vst3.ov-del"], "beside the bundle: %s" % left)
        check(run.request_close() == 0, "closing did not end the program with code 0")


def scenario_keys_then_close():
    """Keys pressed in the licence overlay, and on the panel once they have closed it, reach the controls as a
    keyboard user's do; the overlays are closed and then the window: no control stays pressed after a click from the keyboard, and the program ends cleanly
    whatever holds the keyboard while the panel is taken apart."""
    keys = ["Tab", "space", "Return", "Escape", "Tab", "Tab", "space", "Return", "shift+Tab", "ctrl+a", "ctrl+c",
            "Down", "Page_Down", "End"]
    faces = (0, 441, 600, 60)   # the extras and INSTALL
    with session() as (display, sandbox, start):
        run = start_clean(start)
        run.click(*EXTRAS["EULA"])
        run.move(*AWAY)
        run.wait_for_shot(lambda s: not panel_shown(s), PATIENCE, "the licence overlay")
        for _ in range(3):
            display.run("xdotool", "key", "--delay", "100", *keys, check=True)
        for _ in range(3):
            time.sleep(0.5)
            if panel_shown(run.shot()):
                break
            run.click(*CLOSE)
            run.move(*AWAY)
        shot = run.wait_for_shot(panel_shown, PATIENCE, "the main panel once the overlays are closed")
        keep_screenshot(shot, "e2e-keys.png")
        check(shot.count(faces, GREEN, 10) == 0, "a control clicked with the keyboard stays pressed (green face)")
        time.sleep(1)
        code = run.request_close()
        check(code == 0, "after keys in the licence the program ended with code %s:\n%s" % (code, run.output()))

        # A click with Return shows the pressed face only for a moment: the transparent control is let go of
        # although the framework never paints it.
        run = start_clean(start)
        links = len(sandbox.opened_links())
        run.click(*EXTRAS["MANUAL"])
        run.move(*AWAY)
        display.run("xdotool", "key", "Return", check=True)
        manual = (97, 470)
        run.wait_for_shot(lambda s: near(s.pixel(*manual), over_background(GREY_TEXT, 128), 4), PATIENCE,
                          "the MANUAL face at rest after a click with Return")
        check(wait_for(lambda: len(sandbox.opened_links()) == links + 2, PATIENCE), "Return on MANUAL opened no link")

        # Return clicks the VST3 row and shift+Tab moves the keyboard on before that click is handled (the program
        # is held while both keys arrive): the row is pressed without the keyboard, which the panel's teardown
        # hands back to it.
        run.click(*ROWS["VST3"][:2])
        run.click(*ROWS["VST3"][:2])
        run.move(*AWAY)
        os.kill(run.process.pid, signal.SIGSTOP)
        try:
            display.run("xdotool", "key", "Return", "shift+Tab", check=True)
        finally:
            os.kill(run.process.pid, signal.SIGCONT)
        run.wait_for_shot(lambda s: row_selected(s, "VST3"), PATIENCE, "the VST3 row selected with Return")
        code = run.request_close()
        check(code == 0, "closing with a row clicked by keyboard ended the program with code %s:\n%s"
              % (code, run.output()))

def scenario_overlay_keys():
    """The keyboard stays in an open overlay: Tab and Shift-Tab go round its own controls (the licence's text and
    close control; the support overlay's links and close control), Return works the one that has the keyboard,
    Escape closes it, and the keyboard goes back to the control that opened it. The panel's controls underneath
    take no key. Then a close request right after a licence opened with Return ends the program."""
    with session() as (display, sandbox, start):
        keys = lambda *names: display.run("xdotool", "key", "--delay", "100", *names, check=True)
        covered = lambda s: not panel_shown(s)
        invite = product_value("communityInvite")

        run = start_clean(start)
        run.wait_for_shot(lambda s: row_is(s, "VST3", ROW_ABSENT), PATIENCE, "the format rows")

        # Opened with the pointer, the licence takes the keyboard on its text; the close control is the only other
        # stop, in either direction. Underneath, these keys would reach MANUAL, WEBSITE and the AAX row.
        run.click(*EXTRAS["EULA"])
        run.move(*AWAY)
        run.wait_for_shot(covered, PATIENCE, "the licence overlay")
        keys("Tab", "Tab", "shift+Tab", "shift+Tab", "shift+Tab", "Return")
        run.wait_for_shot(panel_shown, PATIENCE, "the licence closed by Return on its close control")

        # Back on EULA: Return opens the licence again, and Escape closes it.
        keys("Return")
        run.wait_for_shot(covered, PATIENCE, "the licence opened again by Return on EULA")
        keys("Escape")
        run.wait_for_shot(panel_shown, PATIENCE, "the licence closed by Escape")

        # From EULA to SUPPORT; the support overlay starts on its links and ends on its close control.
        keys("Tab", "Tab", "Tab", "Return")
        run.wait_for_shot(covered, PATIENCE, "the support overlay opened by Return on SUPPORT")
        keys("Tab", "Tab", "Tab", "Return")
        check(wait_for(lambda: sandbox.opened_links(), PATIENCE), "Return after going round the support overlay "
              "opened nothing")
        check(not panel_shown(run.shot()), "a link closed the support overlay")
        keys("shift+Tab", "Return")
        run.wait_for_shot(panel_shown, PATIENCE, "the support overlay closed by Return on its close control")
        keys("Escape")
        time.sleep(1)
        check(sandbox.opened_links() == [invite], "keys in the overlays opened %s, expected only %s"
              % (sandbox.opened_links(), invite))

        shot = run.shot()
        for name in ROWS:
            check(row_is(shot, name, ROW_ABSENT) and not row_selected(shot, name),
                  "%s changed while the keys were in the overlays" % name)
        check(not any(os.path.lexists(sandbox.bundle(n)) for n in ROWS), "keys in the overlays installed")
        check(run.request_close() == 0, "closing did not end the program with code 0")

        # The licence opened from the keyboard, then the window closed at once and a little later.
        for delay in (0, 0.5):
            run = start_clean(start)
            run.click(*ROWS["VST3"][:2])
            run.click(*ROWS["VST3"][:2])
            run.move(*AWAY)
            keys("Tab", "Tab", "Tab", "Return")
            time.sleep(delay)
            code = run.request_close()
            check(code == 0, "closing %g s after opening the licence with Return ended the program with code %s"
                  % (delay, code))


SCENARIOS = {
    "shell": scenario_shell,
    "1_first_start": scenario_first_start,
    "2_install_all": scenario_install_all,
    "3_restart": scenario_restart,
    "4_needs_update": scenario_needs_update,
    "5_shift_uninstall": scenario_shift_uninstall,
    "6_immutable_folder": scenario_immutable_folder,
    "shift_at_click": scenario_shift_at_click,
    "another_copy": scenario_another_copy,
    "7_overlays_links": scenario_overlays_links,
    "8_resize": scenario_resize,
    "face_at_600": scenario_face_at_600,
    "huge_window": scenario_huge_window,
    "close_requests": scenario_close_requests,
    "users_own_vst3": scenario_users_own_vst3,
    "10_old_files_left": scenario_old_files_left,
    "keys_then_close": scenario_keys_then_close,
    "overlay_keys": scenario_overlay_keys,
}

if __name__ == "__main__":
    run_scenario(SCENARIOS)
