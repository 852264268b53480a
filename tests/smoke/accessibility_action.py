#!/usr/bin/python3
# Does what a screen reader does with a control: one of its actions, over
# AT-SPI. The caller checks what the action did (a popup menu is no part of
# the accessibility tree until a screen reader is told of it).
#
#   accessibility_action.py WINDOW-TITLE CONTROL-NAME ACTION
#
# Exits 0 when the action was done, 1 when the control lacks it, 2 when the
# window or the control is not found, 77 without pyatspi.

import sys
import time

try:
    import pyatspi
except ImportError:
    print("action: SKIP: python3-pyatspi is not installed", file=sys.stderr)
    sys.exit(77)


def find_window(title, seconds):
    deadline = time.time() + seconds
    while time.time() < deadline:
        for app in pyatspi.Registry.getDesktop(0):
            if app is None:
                continue
            for window in app:
                if window is not None and window.name == title:
                    return window
        time.sleep(0.5)
    return None


def walk(node, depth=0):
    for i in range(min(node.childCount, 500)):
        child = node.getChildAtIndex(i)
        if child is None:
            continue
        yield child
        if depth < 30:
            yield from walk(child, depth + 1)


def main():
    if len(sys.argv) != 4:
        print("usage: accessibility_action.py WINDOW-TITLE CONTROL-NAME ACTION", file=sys.stderr)
        return 2
    title, control, wanted = sys.argv[1:]
    window = find_window(title, 20)
    if window is None:
        print(f'action: FAIL: no window "{title}"', file=sys.stderr)
        return 2
    node = next((n for n in walk(window) if n.name == control), None)
    if node is None:
        print(f'action: FAIL: no control "{control}" in "{title}"', file=sys.stderr)
        return 2
    actions = node.queryAction()
    names = [actions.getName(i) for i in range(actions.nActions)]
    if wanted not in names:
        print(f'action: FAIL: "{control}" offers {names}, not "{wanted}"', file=sys.stderr)
        return 1
    actions.doAction(names.index(wanted))
    print(f'action: "{control}": {wanted} done')
    return 0


if __name__ == "__main__":
    sys.exit(main())
