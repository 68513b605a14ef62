#!/usr/bin/python3
"""Lists what a screen reader sees of a running Fablecraft window.

Walks the accessibility tree that AT-SPI publishes for the application named
"Fablecraft", prints every control that is showing (its role, its name, and
whether it takes the keyboard focus), and exits with status 1 when a showing
control that takes the focus has no name. Run it through
scripts/check-accessibility.sh, which starts the bus, a virtual display and
the program. Needs Debian's python3-pyatspi (the system Python).
"""

import sys
import time

import pyatspi


def walk(node, depth, out):
    try:
        role = node.getRoleName()
        name = node.name or ""
        states = node.getState()
        count = node.childCount
    except Exception:  # a control that went away while being read
        return
    showing = states.contains(pyatspi.STATE_SHOWING)
    focusable = states.contains(pyatspi.STATE_FOCUSABLE)
    out.append((depth, role, name, focusable, showing))
    for i in range(min(count, 500)):
        try:
            child = node.getChildAtIndex(i)
        except Exception:
            continue
        if child is not None:
            walk(child, depth + 1, out)


def find_application(name, wait_seconds):
    deadline = time.monotonic() + wait_seconds
    while time.monotonic() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is not None and app.name == name:
                return app
        time.sleep(0.5)
    return None


def main():
    app = find_application("Fablecraft", 20)
    if app is None:
        print("no application named Fablecraft on the accessibility bus", file=sys.stderr)
        return 2
    out = []
    walk(app, 0, out)
    unnamed = []
    for depth, role, name, focusable, showing in out:
        if not showing and depth > 1:
            continue
        print("  " * depth + f"{role} '{name}'" + (" [focus]" if focusable else ""))
        if showing and focusable and not name.strip():
            unnamed.append(role)
    if unnamed:
        print(f"{len(unnamed)} showing control(s) that take the focus have no name: {', '.join(unnamed)}")
        return 1
    print("every showing control that takes the focus has a name")
    return 0


if __name__ == "__main__":
    sys.exit(main())
