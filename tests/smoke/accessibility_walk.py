#!/usr/bin/python3
# Walks the accessibility tree of the running program as a screen reader
# sees it (AT-SPI over D-Bus) and checks one window: it reports the role a
# screen reader announces for it (frame, dialog), every button, list and box
# in it has a Chinese name (its own, or that of the label it is labelled by,
# as a drop-down list is), and no two of one role are named alike.
#
#   accessibility_walk.py WINDOW-TITLE --role ROLE [--list] [--role-only]
#   accessibility_walk.py WINDOW-TITLE --do ACTION CONTROL [--then NAME...]
#
# With --do, the screen reader's action ACTION ("Toggle", "Press") is done
# on the control named CONTROL, and each NAME (a control or a label, such as
# the status line's text) must come into view within 10 s; none may be in
# view before.
#
# Prints "role: name" of every control it checked with --list. Exits 0 when
# all is well, 1 with what is wrong, 2 when the window is not found, 77 when
# pyatspi is missing.

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
    """The top-level accessible of the program's window in view with this
    title (the mini window bears the main window's title and hides it)."""
    deadline = time.time() + seconds
    while time.time() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is None:
                continue
            for window in app:
                if window is not None and window.name == title and showing(window):
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


def labels_of(node):
    """The names of the labels the control is labelled by."""
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
    return labels


def spoken_name(node):
    """What a screen reader says for the control: the labels it is labelled
    by (a drop-down list tells its current entry as its name), then its name."""
    return " ".join(labels_of(node) + [node.name or ""]).strip()


def lasting_name(node):
    """What tells the control from the others: its labels where it has any
    (a list's own name is only its current entry), else its name."""
    return " ".join(labels_of(node)) or (node.name or "")


def is_control(node):
    role = node.getRole()
    if role not in CONTROL_ROLES:
        return False
    # The scroll bars inside text boxes and lists belong to them.
    if role == pyatspi.ROLE_SCROLL_BAR:
        return node.getState().contains(pyatspi.STATE_FOCUSABLE)
    return True


def showing(node):
    state = node.getState()
    return state.contains(pyatspi.STATE_SHOWING) and state.contains(pyatspi.STATE_VISIBLE)


def shown_named(window, name):
    """A control or label in view whose name (or spoken name) is name."""
    for node in walk(window):
        if (node.name == name or spoken_name(node) == name) and showing(node):
            return node
    return None


def check_names(window, title, listing):
    checked = 0
    wrong = []
    seen = {}
    for node in walk(window):
        if not is_control(node):
            continue
        checked += 1
        name = spoken_name(node)
        if listing:
            print(f"{node.getRoleName()}: {name}")
        where = f"(parent {node.parent.getRoleName()} \"{node.parent.name}\")"
        if not HAN.search(name):
            wrong.append(f"{node.getRoleName()} \"{name}\" has no Chinese name {where}")
        # The open list of a drop-down list is read as part of it.
        if node.parent is not None and node.parent.getRole() == pyatspi.ROLE_COMBO_BOX:
            continue
        key = (node.getRoleName(), lasting_name(node))
        if key in seen:
            wrong.append(f"{key[0]} \"{name}\" is named \"{key[1]}\" as {seen[key]} is {where}")
        else:
            seen[key] = f"\"{name}\""
    print(f'walk: "{title}": {checked} controls, {len(wrong)} named wrongly')
    for w in wrong:
        print("walk:   " + w, file=sys.stderr)
    if checked == 0:
        print("walk: FAIL: no controls found", file=sys.stderr)
        return 1
    return 1 if wrong else 0


def do_action(window, action_name, control_name, expected):
    control = None
    for node in walk(window):
        if is_control(node) and (node.name == control_name or spoken_name(node) == control_name):
            control = node
            break
    if control is None:
        print(f'walk: FAIL: no control "{control_name}" in "{window.name}"', file=sys.stderr)
        return 1
    for name in expected:
        if shown_named(window, name) is not None:
            print(f'walk: FAIL: "{name}" is in view before "{action_name}" on "{control_name}"', file=sys.stderr)
            return 1
    actions = control.queryAction()
    names = [actions.getName(i) for i in range(actions.nActions)]
    if action_name not in names:
        print(f'walk: FAIL: "{control_name}" offers {names}, not "{action_name}"', file=sys.stderr)
        return 1
    actions.doAction(names.index(action_name))
    deadline = time.time() + 10
    missing = list(expected)
    while missing and time.time() < deadline:
        missing = [name for name in missing if shown_named(window, name) is None]
        if missing:
            time.sleep(0.2)
    if missing:
        print(f'walk: FAIL: "{action_name}" on "{control_name}" did not bring {missing} into view', file=sys.stderr)
        return 1
    print(f'walk: "{action_name}" on "{control_name}"' + (f" brings {expected} into view" if expected else ""))
    return 0


def main():
    args = sys.argv[1:]
    if not args:
        print("usage: accessibility_walk.py WINDOW-TITLE --role ROLE [--list] [--role-only]\n"
              "       accessibility_walk.py WINDOW-TITLE --do ACTION CONTROL [--then NAME...]", file=sys.stderr)
        return 2
    title = args[0]
    window = find_window(title, 20)
    if window is None:
        print(f'walk: FAIL: no window "{title}" on the accessibility bus', file=sys.stderr)
        return 2
    if "--do" in args:
        at = args.index("--do")
        if len(args) < at + 3:
            print("walk: FAIL: --do needs ACTION CONTROL [--then NAME...]", file=sys.stderr)
            return 2
        expected = args[args.index("--then") + 1:] if "--then" in args else []
        return do_action(window, args[at + 1], args[at + 2], expected)
    if "--role" in args:
        role = args[args.index("--role") + 1]
        if window.getRoleName() != role:
            print(f'walk: FAIL: "{title}" reports the role "{window.getRoleName()}", not "{role}"', file=sys.stderr)
            return 1
        print(f'walk: "{title}" is a {role}')
    if "--role-only" in args:
        return 0
    return check_names(window, title, "--list" in args)


if __name__ == "__main__":
    sys.exit(main())
