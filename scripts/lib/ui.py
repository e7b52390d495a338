#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""What the client shows, read the way a screen reader reads it (AT-SPI),
plus the one X11 question AT-SPI cannot answer. Used by scripts/lib/desktop.sh.

  ui.py find ROLE NAME       "x y w h" of the first showing object of that
                             role whose name (or, for unnamed ones,
                             description) is NAME; NAME "*" takes any,
                             "~RE" a regular expression; ROLE "text:editable"
                             or "text:readonly" tells input boxes apart.
                             UI_WINDOW=CAPTION looks only inside that window.
  ui.py text ROLE NAME       its text (text boxes) or its name
  ui.py wait SECONDS ROLE NAME   as find, looking again until it shows, for
                             at most SECONDS: one connection to the bus, so
                             a state shown for a moment is not missed while
                             a new reader starts (a loaded machine)
  ui.py dialog               each showing dialog: "title|label texts|button names"
  ui.py popup CMD...         runs CMD and prints the popup menu it opened:
                             "x y w h", then "x y w h<TAB>name" for each item
                             in order (separators have empty names)
  ui.py owner SELECTION      exit 0 when the X selection (e.g. the tray's) has an owner
  ui.py tree                 the whole tree, for writing tests

Exit 1 when nothing matches. Needs python3-pyatspi and the client started with
Qt's accessibility on; the owner command needs only libX11.
"""
import ctypes
import ctypes.util
import os
import re
import subprocess
import sys

APP = "RaveloZent"


def atspi():
    import pyatspi

    return pyatspi


def apps():
    desk = atspi().Registry.getDesktop(0)
    return [a for a in desk if a is not None and a.name == APP]


def showing(obj):
    st = atspi().STATE_SHOWING
    try:
        return obj.getState().contains(st)
    except Exception:
        return False


def extents(obj):
    try:
        c = obj.queryComponent().getExtents(atspi().DESKTOP_COORDS)
    except NotImplementedError:
        return None
    return c.x, c.y, c.width, c.height


def text_of(obj):
    try:
        return obj.queryText().getText(0, -1)
    except Exception:
        return obj.name


def walk(obj, depth=0):
    yield obj, depth
    for i in range(obj.childCount):
        child = obj.getChildAtIndex(i)
        if child is not None:
            yield from walk(child, depth + 1)


def matches(obj, name):
    if name == "*":
        return True
    if name.startswith("~"):
        return re.search(name[1:], obj.name or obj.description or "") is not None
    return obj.name == name or (not obj.name and obj.description == name)


def role_matches(obj, role):
    # "text:editable" and "text:readonly" tell input boxes from read-only ones.
    base, _, kind = role.partition(":")
    if obj.getRoleName() != base:
        return False
    if not kind:
        return True
    editable = obj.getState().contains(atspi().STATE_EDITABLE)
    return editable == (kind == "editable")


def find(role, name):
    # UI_WINDOW limits the search to the top-level window of that caption.
    window = os.environ.get("UI_WINDOW")
    for app in apps():
        for top in (app.getChildAtIndex(i) for i in range(app.childCount)):
            if top is None or (window and top.name != window):
                continue
            for obj, _ in walk(top):
                if role_matches(obj, role) and showing(obj) and matches(obj, name):
                    return obj
    return None


def cmd_find(role, name):
    obj = find(role, name)
    if obj is None:
        return 1
    print("%d %d %d %d" % extents(obj))
    return 0


def cmd_wait(seconds, role, name):
    import time
    end = time.monotonic() + float(seconds)
    while True:
        obj = find(role, name)
        if obj is not None:
            print("%d %d %d %d" % extents(obj))
            return 0
        if time.monotonic() >= end:
            return 1
        time.sleep(0.05)


def cmd_text(role, name):
    obj = find(role, name)
    if obj is None:
        return 1
    print(text_of(obj))
    return 0


def cmd_dialog():
    found = 1
    for app in apps():
        for top in (app.getChildAtIndex(i) for i in range(app.childCount)):
            if top is None or top.getRoleName() not in ("dialog", "alert") or not showing(top):
                continue
            labels, buttons = [], []
            for obj, _ in walk(top):
                role = obj.getRoleName()
                if role == "label" and obj.name:
                    labels.append(obj.name.replace("\n", "\\n"))
                elif role == "push button":
                    buttons.append(obj.name)
            print("%s|%s|%s" % (top.name, " ".join(labels), " ".join(buttons)))
            found = 0
    return found


def cmd_popup(argv):
    # Popup menus are not children of the application; they announce
    # themselves when they show, so listen while the command opens one.
    pyatspi = atspi()
    from gi.repository import GLib

    seen = []

    def on_event(e):
        src = e.source
        if e.detail1 == 1 and src is not None and src.getRoleName() == "popup menu" and not seen:
            items = [src.getChildAtIndex(i) for i in range(src.childCount)]
            items = [(extents(i) or (0, 0, 0, 0), i.name) for i in items]
            seen.append((extents(src), items))
            pyatspi.Registry.stop()

    def run_command():
        subprocess.run(argv)
        return False  # once

    def give_up():
        pyatspi.Registry.stop()
        return False

    pyatspi.Registry.registerEventListener(on_event, "object:state-changed:showing")
    GLib.timeout_add(300, run_command)
    GLib.timeout_add(8000, give_up)
    pyatspi.Registry.start()
    if not seen:
        return 1
    (x, y, w, h), items = seen[0]
    print("%d %d %d %d" % (x, y, w, h))
    for (ix, iy, iw, ih), name in items:
        print("%d %d %d %d\t%s" % (ix, iy, iw, ih, name))
    return 0


def cmd_owner(selection):
    x11 = ctypes.CDLL(ctypes.util.find_library("X11"))
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XGetSelectionOwner.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
    x11.XGetSelectionOwner.restype = ctypes.c_ulong
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    display = x11.XOpenDisplay(None)
    if not display:
        return 1
    owner = x11.XGetSelectionOwner(display, x11.XInternAtom(display, selection.encode(), 0))
    x11.XCloseDisplay(display)
    return 0 if owner else 1


def cmd_tree():
    for app in apps():
        for obj, depth in walk(app):
            line = "%s%s [%s] %r" % ("  " * depth, obj.getRoleName(), obj.name, obj.description)
            if showing(obj) and extents(obj):
                line += " @%d,%d %dx%d" % extents(obj)
            print(line)
    return 0


def main(argv):
    if len(argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    cmd, args = argv[1], argv[2:]
    if cmd == "find" and len(args) == 2:
        return cmd_find(*args)
    if cmd == "wait" and len(args) == 3:
        return cmd_wait(*args)
    if cmd == "text" and len(args) == 2:
        return cmd_text(*args)
    if cmd == "dialog":
        return cmd_dialog()
    if cmd == "popup" and args:
        return cmd_popup(args)
    if cmd == "owner" and len(args) == 1:
        return cmd_owner(args[0])
    if cmd == "tree":
        return cmd_tree()
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
