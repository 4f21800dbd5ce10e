#!/usr/bin/python3
# Walks the running player's windows from outside through the accessibility bus (AT-SPI), as a
# screen reader sees them, and fails on any control a user can operate that has no name, and on
# any shown text holding one of Qt's English words (an untranslated standard dialog or button).
# Usage: atspi_check.py STEP TITLE_REGEX...   (each regex must match a shown window of "qvr",
#        a window of its own; waits up to 10 s for them)
#        atspi_check.py STEP --menu KEY         (the pop-up menu that is open: Qt keeps pop-ups
#        out of the window tree, so the menu is found as a screen reader finds it, through the
#        item that KEY, pressed with xdotool, gives the focus)
# Prints what it checked; exit 1 on a finding, 2 when a window or menu is missing.
import os
import re
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

step = sys.argv[1]
menu_key = sys.argv[3] if len(sys.argv) == 4 and sys.argv[2] == "--menu" else None
wanted = [] if menu_key else [re.compile(pattern) for pattern in sys.argv[2:]]

# Roles a user operates: each needs a name a screen reader can say.
INTERACTIVE = {
    pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_CHECK_BOX, pyatspi.ROLE_RADIO_BUTTON,
    pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_ENTRY, pyatspi.ROLE_PASSWORD_TEXT, pyatspi.ROLE_SPIN_BUTTON,
    pyatspi.ROLE_SLIDER, pyatspi.ROLE_LIST, pyatspi.ROLE_LIST_BOX, pyatspi.ROLE_TREE, pyatspi.ROLE_TREE_TABLE,
    pyatspi.ROLE_TABLE, pyatspi.ROLE_MENU_ITEM, pyatspi.ROLE_CHECK_MENU_ITEM, pyatspi.ROLE_RADIO_MENU_ITEM,
    pyatspi.ROLE_MENU, pyatspi.ROLE_PAGE_TAB, pyatspi.ROLE_DATE_EDITOR,
}
# Qt's own English words of standard dialogs and buttons, whole words only.
ENGLISH = re.compile(r"\b(Yes|No|Cancel|Save|Open|Look in|File name|Files of type|Directory|Folder|"
                     r"Date Modified|Size|Kind|Type|Name|Apply|Close|Back|Forward|Parent Directory|"
                     r"Create New Folder|List View|Detail View|Computer|Choose|Discard|Abort|Retry|Ignore|"
                     r"Select All|Copy|Paste|Undo|Redo|Delete)\b")
CELL_LIMIT = 60  # rows of a long list or table looked at: the header and the first rows say enough


def showing(node):
    try:
        return node.getState().contains(pyatspi.STATE_SHOWING)
    except Exception:
        return False


def editable_text(node):
    try:
        return node.getRole() == pyatspi.ROLE_TEXT and node.getState().contains(pyatspi.STATE_EDITABLE)
    except Exception:
        return False


def player():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == "qvr":
            return app
    return None


def shown_windows():
    app = player()
    if app is None:
        return []
    return [window for window in app if window is not None and showing(window)]


def focused_menu():
    found = []

    def on_focus(event):
        try:
            source = event.source
            if source is not None and source.getRole() in INTERACTIVE and source.parent is not None:
                found.append(source.parent)
                pyatspi.Registry.stop()
        except Exception:
            pass  # an object gone meanwhile (the menu of an earlier opening)

    pyatspi.Registry.registerEventListener(on_focus, "object:state-changed:focused", "focus:")
    GLib.timeout_add(300, lambda: subprocess.run(["xdotool", "key", menu_key]) and False)
    GLib.timeout_add(5000, lambda: pyatspi.Registry.stop() or False)
    pyatspi.Registry.start()
    return found[0] if found else None


deadline = time.time() + 10
missing = []
while menu_key is None:
    windows = shown_windows()
    names = [window.name for window in windows]
    # Each regex takes a window of its own: one given twice asks for two such windows.
    free, missing = list(names), []
    for pattern in wanted:
        match = next((name for name in free if pattern.search(name)), None)
        if match is None:
            missing.append(pattern.pattern)
        else:
            free.remove(match)
    if not missing or time.time() > deadline:
        break
    time.sleep(0.3)
if missing:
    print(f"{step}: no shown window matches {missing}; shown: {names}")
    sys.exit(2)

findings = []
checked = 0
VERBOSE = bool(os.environ.get("QVR_ATSPI_VERBOSE"))


def walk(node, path):
    global checked
    checked += 1
    role = node.getRole()
    name = node.name or ""
    where = f"{path} > {node.getRoleName()} '{name}'"
    interactive = role in INTERACTIVE or editable_text(node)
    if VERBOSE:
        print(f"  {'*' if interactive else ' '} {where[-120:]}")
    if interactive and not name.strip():
        findings.append(f"no name: {where}")
    texts = [name, node.description or ""]
    if not editable_text(node):  # what the user typed is theirs, not the program's
        try:
            text = node.queryText()
            texts.append(text.getText(0, min(text.characterCount, 2000)))
        except NotImplementedError:
            pass
    for text in texts:
        match = ENGLISH.search(text)
        if match:
            findings.append(f"English '{match.group(0)}' in {where}: {text!r}")
    for index in range(min(node.childCount, CELL_LIMIT)):
        child = node.getChildAtIndex(index)
        if child is not None and showing(child):
            walk(child, where if len(where) < 200 else path)


if menu_key:
    menu = focused_menu()
    if menu is None:
        print(f"{step}: no menu item took the focus after {menu_key}")
        sys.exit(2)
    windows, names = [menu], [f"{menu.getRoleName()} of {menu.childCount} rows"]
for window in windows:
    walk(window, step)
print(f"{step}: {len(windows)} windows ({', '.join(repr(n) for n in names)}), {checked} objects checked")
for finding in findings:
    print(f"  {finding}")
sys.exit(1 if findings else 0)
