#!/usr/bin/python3
"""Prints the accessible tree of one application's windows over AT-SPI as JSON
lines: one object per accessible, with its role, name, states and depth.
Hidden parts are listed but not entered.
Usage: atspi_tree.py APP_NAME [WINDOW_NAME_PART]"""
import json
import sys

import pyatspi


def walk(node, depth, out):
    try:
        states = node.getState()
        showing = states.contains(pyatspi.STATE_SHOWING)
        entry = {
            "role": node.getRoleName(),
            "name": node.name or "",
            "depth": depth,
            "focused": states.contains(pyatspi.STATE_FOCUSED),
            "checked": states.contains(pyatspi.STATE_CHECKED),
            "selected": states.contains(pyatspi.STATE_SELECTED),
            "focusable": states.contains(pyatspi.STATE_FOCUSABLE),
            "showing": showing,
        }
    except Exception:  # an object that went away while it was read
        return
    out.append(entry)
    if depth > 40 or not showing:
        return
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            walk(child, depth + 1, out)


def main():
    app_name = sys.argv[1].lower()
    window_part = sys.argv[2] if len(sys.argv) > 2 else ""
    desktop = pyatspi.Registry.getDesktop(0)
    out = []
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is None or (app.name or "").lower() != app_name:
            continue
        for j in range(app.childCount):
            window = app.getChildAtIndex(j)
            if window is not None and window_part in (window.name or ""):
                walk(window, 0, out)
    for entry in out:
        print(json.dumps(entry, ensure_ascii=False))
    return 0 if out else 1


if __name__ == "__main__":
    sys.exit(main())
