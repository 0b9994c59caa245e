#!/usr/bin/python3
"""Reads the window's accessibility tree as a screen reader does (AT-SPI) and checks that the
toolbar's nine buttons, the menus and the picture area are there by name, and that the
password dialog's controls have names too.

Usage: accessibility.py TAVELIX PICTURE  (on a display, in a D-Bus session)"""
import os
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

BUTTONS = ["Open", "Paste", "Save As ...", "Save Scrambled As ...", "10% Smaller", "Reload", "10% Larger",
           "Unscramble=Assemble", "About"]
MENUS = ["File", "Smaller", "Reload", "Larger", "Unscramble (Assemble)", "Options", "About"]
failures = []


def check(condition, what):
    print(("ok    " if condition else "FAIL  ") + what)
    if not condition:
        failures.append(what)


def wait_for(find, timeout=20):
    end = time.time() + timeout
    while time.time() < end:
        found = find()
        if found:
            return found
        time.sleep(0.2)
    return None


def walk(node):
    yield node
    for child in node:
        if child is not None:
            yield from walk(child)


def application():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == "Tavelix":
            return app
    return None


def main():
    program, picture = sys.argv[1], sys.argv[2]
    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
    window = subprocess.Popen([program, picture], env=env)
    try:
        app = wait_for(application)
        check(app is not None, "the program is on the accessibility bus as 'Tavelix'")
        if app is None:
            return
        shown = "Tavelix-%s (" % os.path.basename(picture)
        frame = wait_for(lambda: next((f for f in app if f is not None and f.name.startswith(shown)), None))
        check(frame is not None, "the main window is named by its caption, %r..." % shown)
        if frame is None:
            return
        nodes = list(walk(frame))
        buttons = [n for n in nodes if n.getRoleName() == "push button" and n.parent.getRoleName() == "tool bar"]
        check([b.name for b in buttons] == BUTTONS, "the toolbar's nine buttons by their hints: %s"
              % [b.name for b in buttons])
        check(all(b.description == b.name for b in buttons), "each button's description is its hint")
        bar = next((n for n in nodes if n.getRoleName() == "menu bar"), None)
        check(bar is not None and [m.name for m in bar] == MENUS, "the menu bar's menus and commands: %s"
              % (bar and [m.name for m in bar]))
        items = [n.name for n in nodes if n.getRoleName() == "menu item"]
        for name in ("Open", "Save Scrambled As", "Scramble on disk", "Password", "Set to black & white", "Exit"):
            check(name in items, "the menu item %r" % name)
        area = next((n for n in nodes if n.name == "Picture"), None)
        check(area is not None and area.description == frame.name, "the picture area, described by the caption: %r"
              % (area and area.description))

        # The password dialog, opened through its menu item's action as a screen reader user
        # would: every field and button of it has a name.
        password = next(n for n in nodes if n.getRoleName() == "menu item" and n.name == "Password")
        pyatspi.setTimeout(1000, 15000)
        try:
            password.queryAction().doAction(0)
        except GLib.Error:
            pass  # the dialog is modal: the program answers once it closes
        pyatspi.setTimeout(25000, 15000)
        dialog = wait_for(lambda: next((f for f in application() if f is not None
                                        and f.name.startswith("Password for Tavelix")), None))
        check(dialog is not None, "the password dialog opens from the menu")
        if dialog is not None:
            controls = [n for n in walk(dialog) if n.getRoleName() in ("password text", "text", "push button",
                                                                       "check box")]
            check(len(controls) >= 4, "the dialog's fields and buttons: %s"
                  % [(c.getRoleName(), c.name) for c in controls])
            check(all(c.name for c in controls), "each of them has a name")
    finally:
        window.terminate()
        window.wait(10)


main()
sys.exit(1 if failures else 0)
