#!/usr/bin/env python3
"""Lists, over AT-SPI, the controls of one application's windows that a screen
reader would announce without a name. Prints one line per control:
"<role>\t<name>", and exits 0 when it found the application's windows."""
import sys
import time

import pyatspi

CONTROL_ROLES = {
    pyatspi.ROLE_PUSH_BUTTON,
    pyatspi.ROLE_TOGGLE_BUTTON,
    pyatspi.ROLE_CHECK_BOX,
    pyatspi.ROLE_RADIO_BUTTON,
    pyatspi.ROLE_COMBO_BOX,
    pyatspi.ROLE_TEXT,
}


def walk(node, out, depth=0):
    if node is None or depth > 60:
        return
    try:
        states = node.getState()
        if not states.contains(pyatspi.STATE_SHOWING):
            return
        if node.getRole() in CONTROL_ROLES:
            out.append((node.getRoleName(), node.name or ""))
        for i in range(node.childCount):
            walk(node.getChildAtIndex(i), out, depth + 1)
    except Exception:  # a node that went away meanwhile
        return


def find_app(app_name):
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.name == app_name:
            return app
    return None


def main():
    app_name = sys.argv[1]
    # The registry may need a moment to hand out a new application's name.
    app = None
    for _ in range(20):
        app = find_app(app_name)
        if app is not None:
            break
        time.sleep(0.25)
    if app is None:
        desktop = pyatspi.Registry.getDesktop(0)
        names = [desktop.getChildAtIndex(i).name for i in range(desktop.childCount)]
        print(f"no application named {app_name}; there are {names}", file=sys.stderr)
        return 1
    found = []
    for w in range(app.childCount):
        walk(app.getChildAtIndex(w), found)
    for role, name in found:
        print(f"{role}\t{name}")
    return 0


sys.exit(main())
