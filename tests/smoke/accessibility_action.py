#!/usr/bin/python3
# Does what a screen reader does with a control: one of its actions, over
# AT-SPI. The caller checks what the action did (a popup menu is no part of
# the accessibility tree until a screen reader is told of it).
#
#   accessibility_action.py WINDOW-TITLE CONTROL-NAME ACTION
#
# Exits 0 when the action was done, 1 when the control lacks it, 2 when the
# window or the control is not found, 77 without pyatspi.

import os
import sys

sys.dont_write_bytecode = True  # nothing written beside the sources
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from accessibility_walk import find_window, walk  # noqa: E402  (exits 77 without pyatspi)


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
