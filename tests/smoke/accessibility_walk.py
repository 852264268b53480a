#!/usr/bin/python3
# Walks the accessibility tree of the running program as a screen reader
# sees it (AT-SPI over D-Bus) and checks that every button, list and box of
# one window has a Chinese name: its own, or that of the label it is
# labelled by (as a drop-down list is).
#
#   accessibility_walk.py WINDOW-TITLE [--list]
#
# Prints "role: name" of every control it checked with --list. Exits 0 when
# all are named, 1 with the unnamed ones listed, 2 when the window is not
# found, 77 when pyatspi is missing.

import re
import sys
import time

try:
    import pyatspi
except ImportError:
    print("walk: SKIP: python3-pyatspi is not installed", file=sys.stderr)
    sys.exit(77)

# The roles of what the user works; list items and labels are read as text.
CONTROL_ROLES = {
    pyatspi.ROLE_PUSH_BUTTON,
    pyatspi.ROLE_TOGGLE_BUTTON,
    pyatspi.ROLE_RADIO_BUTTON,
    pyatspi.ROLE_CHECK_BOX,
    pyatspi.ROLE_COMBO_BOX,
    pyatspi.ROLE_LIST,
    pyatspi.ROLE_LIST_BOX,
    pyatspi.ROLE_TEXT,
    pyatspi.ROLE_ENTRY,
    pyatspi.ROLE_SPIN_BUTTON,
    pyatspi.ROLE_SLIDER,
    pyatspi.ROLE_SCROLL_BAR,
}
HAN = re.compile("[\u4e00-\u9fff]")


def find_window(title, seconds):
    """The top-level accessible of the program's window with this title."""
    deadline = time.time() + seconds
    while time.time() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is None:
                continue
            for window in app:
                if window is not None and window.name == title:
                    return window
        time.sleep(0.5)
    return None


def walk(node, depth=0):
    """Every accessible below node (depth first, children capped)."""
    for i in range(min(node.childCount, 500)):
        child = node.getChildAtIndex(i)
        if child is None:
            continue
        yield child
        if depth < 30:
            yield from walk(child, depth + 1)


def spoken_name(node):
    """What a screen reader says for the control: the labels it is labelled
    by (a drop-down list tells its current entry as its name), then its name."""
    labels = []
    try:
        for relation in node.getRelationSet():
            if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY:
                for i in range(relation.getNTargets()):
                    target = relation.getTarget(i)
                    if target is not None and target.name:
                        labels.append(target.name)
    except Exception:
        pass
    return " ".join(labels + [node.name or ""]).strip()


def is_control(node):
    role = node.getRole()
    if role not in CONTROL_ROLES:
        return False
    # The scroll bars inside text boxes and lists belong to them.
    if role == pyatspi.ROLE_SCROLL_BAR:
        return node.getState().contains(pyatspi.STATE_FOCUSABLE)
    return True


def main():
    if len(sys.argv) < 2:
        print("usage: accessibility_walk.py WINDOW-TITLE [--list]", file=sys.stderr)
        return 2
    title = sys.argv[1]
    listing = "--list" in sys.argv[2:]
    window = find_window(title, 20)
    if window is None:
        print(f'walk: FAIL: no window "{title}" on the accessibility bus', file=sys.stderr)
        return 2
    checked = 0
    unnamed = []
    for node in walk(window):
        if not is_control(node):
            continue
        checked += 1
        name = spoken_name(node)
        if listing:
            print(f"{node.getRoleName()}: {name}")
        if not HAN.search(name):
            unnamed.append(f"{node.getRoleName()} \"{name}\" (parent {node.parent.getRoleName()} \"{node.parent.name}\")")
    print(f'walk: "{title}": {checked} controls, {len(unnamed)} without a Chinese name')
    for u in unnamed:
        print("walk:   " + u, file=sys.stderr)
    if checked == 0:
        print("walk: FAIL: no controls found", file=sys.stderr)
        return 1
    return 1 if unnamed else 0


if __name__ == "__main__":
    sys.exit(main())
