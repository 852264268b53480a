#!/usr/bin/env python3
"""Checks the include graph of src/ against the rooms declared in
docs/rooms.txt.

    scripts/check_layers.py [TOP]      (TOP: the repository, by default this one)

Fails (exit 1) on:
  - a declared graph with a cycle, or a platform room allowed to use a room
    outside platform/ and core/;
  - a source file that lies in no declared room (none lies directly in platform/);
  - an include of a room that the including room may not use;
  - a logic file (in a room's library, not its views) that includes Qt
    Widgets, Gui, PrintSupport or Svg, or the header of a view;
  - a room's library (dzq_room/dzq_room_part in src/<room>/sources.cmake)
    that holds a file of another room, uses a room the room may not use, or
    is logic and uses views ("<room>:views");
  - code of the audio callback (platform/audio/realtime) that includes what
    may lock, allocate behind its back or wait: Qt objects, strings,
    containers, mutexes, files;
  - an entry into the audio thread outside platform/audio/realtime (a
    function that opens a ThreadRoles::AudioScope or says
    DZQ_ONLY_AUDIO_THREAD(): a driver's callback) that is not in the audio
    rooms, is longer than a few lines, or uses what the callback may not
    (Qt types, strings, containers, locks, allocation, logging);
  - a test folder (tests/<folder> with a CMakeLists.txt) that is no room and
    not one of the shared folders, or a room's Qt Test executable not named
    test_<room> or test_<room>_views ("_" for "/");
  - a test executable that uses (USES of dzq_add_test) a room neither below
    its own (one its room builds on) nor above it (one built on its room),
    or a logic test that uses views.
"""
import os, re, sys

top = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
src = os.path.join(top, "src")

def read_rules(path):
    allowed = {}
    for line in open(path, encoding="utf-8"):
        line = line.split("#", 1)[0].strip()
        if not line:
            continue
        room, _, deps = line.partition(":")
        allowed[room.strip()] = set(deps.split())
    return allowed

def room_of(rel):
    # the longest declared room that is a prefix of the file's folder
    folder = os.path.dirname(rel)
    best = None
    for r in ALLOWED:
        if folder == r or folder.startswith(r + "/"):
            if best is None or len(r) > len(best):
                best = r
    return best

ROOM_CALL = re.compile(r"\b(dzq_room|dzq_room_part|dzq_room_sources)\((.*?)\)", re.S)
KEYWORDS = ("USES", "PACKAGES", "SOURCES")

def sections(words):
    """The words after each keyword of a call, by keyword."""
    out, key = {k: [] for k in KEYWORDS}, None
    for w in words:
        if w in KEYWORDS:
            key = w
        elif key:
            out[key].append(w)
    return out

def room_libraries():
    """Every library declared in src/: (file, room, part, uses, sources);
    part is "" for the room's logic."""
    libs = []
    for dirpath, _, names in sorted(os.walk(src)):
        if "sources.cmake" not in names:
            continue
        path = os.path.join(dirpath, "sources.cmake")
        text = re.sub(r"#.*", "", open(path, encoding="utf-8").read())
        for call, args in ROOM_CALL.findall(text):
            words = args.split()
            room, words = words[0], words[1:]
            part = ""
            if ":" in room:
                room, part = room.split(":", 1)
            if call == "dzq_room_part":
                part, words = words[0], words[1:]
            sec = sections(words)
            libs.append((os.path.relpath(path, top), room, part, sec["USES"],
                         [p[len("src/"):] for p in sec["SOURCES"] if p.startswith("src/")]))
    return libs

def core_files():
    return {f for _, _, part, _, files in room_libraries() if part != "views" for f in files}

def below(room):
    """The rooms a room builds on, directly or through others."""
    seen, todo = set(), [room]
    while todo:
        for d in ALLOWED.get(todo.pop(), ()):
            if d not in seen:
                seen.add(d)
                todo.append(d)
    return seen

def library_errors():
    errors = []
    for path, room, part, uses, files in room_libraries():
        name = room + (":" + part if part else "")
        if room not in ALLOWED:
            errors.append(f"{path}: the library of {name}, which is no declared room")
            continue
        for f in files:
            if room_of(f) != room:
                errors.append(f"{path}: the library of {name} holds {f} of another room")
        for u in uses:
            to, _, upart = u.partition(":")
            if to not in ALLOWED:
                errors.append(f"{path}: {name} uses {u}, which is no declared room")
            elif to != room and to not in ALLOWED[room]:
                errors.append(f"{path}: the library of {name} uses {to}, which {room} may not use")
            elif upart == "views" and part != "views":
                errors.append(f"{path}: the logic library of {name} uses the views {u}")
    return errors

ALLOWED = read_rules(os.path.join(top, "docs", "rooms.txt"))
WIDGET = re.compile(r'#include\s*<(Qt(Widgets|Gui|PrintSupport|Svg)/|Q(Widget|Dialog|Label|PushButton|'
                    r'Painter|Pixmap|Image|Application|MainWindow|MessageBox|FileDialog|Color|Font)\b)')
INCLUDE = re.compile(r'#include\s*"([^"]+)"')
REALTIME = "platform/audio/realtime/"
REALTIME_FORBIDDEN = re.compile(r'#include\s*<(Q(Object|String|Mutex|ReadWriteLock|WaitCondition|Vector|List|Map|Hash|'
                                r'ByteArray|File|Timer|Thread)\b|mutex|shared_mutex|condition_variable|thread|fstream|'
                                r'iostream|map|list|string)>')

# A driver's callback hands the period to the processor and does little else.
AUDIO_ROOMS = ("platform/audio",)
CALLBACK_ENTRY = re.compile(r"ThreadRoles::AudioScope\s+\w+|DZQ_ONLY_AUDIO_THREAD\(\)")
CALLBACK_MAX_LINES = 25
CALLBACK_FORBIDDEN = re.compile(r"\b(Q[A-Z]\w*|q(Debug|Warning|Info|Critical)|emit|new|delete|malloc|free|"
                                r"printf|fprintf|std::(string|vector|map|list|function|mutex|lock_guard|"
                                r"unique_lock|thread|this_thread|cout|cerr|make_unique|make_shared))\b")


def callback_errors(rel, lines):
    """The functions of a file outside realtime/ that enter the audio thread."""
    errors = []
    for no, line in enumerate(lines):
        if not CALLBACK_ENTRY.search(line):
            continue
        if room_of(rel) not in AUDIO_ROOMS and not (room_of(rel) or "").startswith("platform/audio/"):
            errors.append(f"{rel}:{no + 1}: enters the audio thread outside the audio rooms")
            continue
        # The body: from the nearest opening brace above at the function's
        # indentation to its closing brace.
        indent = len(line) - len(line.lstrip()) - 4
        start = next((i for i in range(no, -1, -1)
                      if lines[i].rstrip() == " " * max(indent, 0) + "{"), None)
        if start is None:
            errors.append(f"{rel}:{no + 1}: an audio thread entry the layer check cannot read")
            continue
        end = next((i for i in range(no, len(lines)) if lines[i].rstrip() == " " * max(indent, 0) + "}"), None)
        if end is None:
            errors.append(f"{rel}:{no + 1}: an audio thread entry the layer check cannot read")
            continue
        if end - start - 1 > CALLBACK_MAX_LINES:
            errors.append(f"{rel}:{start}: audio callback of {end - start - 1} lines (at most "
                          f"{CALLBACK_MAX_LINES}; the work belongs in platform/audio/realtime)")
        for i in range(start + 1, end):
            code = lines[i].split("//", 1)[0]
            m = CALLBACK_FORBIDDEN.search(code)
            if m:
                errors.append(f"{rel}:{i + 1}: audio callback uses {m.group(1)}")
    return errors


def graph_errors():
    errors = []
    for room, deps in ALLOWED.items():
        for d in deps:
            if d not in ALLOWED:
                errors.append(f"docs/rooms.txt: {room} uses the undeclared room {d}")
            elif room.startswith("platform/") and not (d == "core" or d.startswith("platform/")):
                errors.append(f"docs/rooms.txt: {room} is a platform room and may not use {d}")
    state = {}
    def visit(r, path):
        state[r] = 1
        for d in sorted(ALLOWED.get(r, ())):
            if state.get(d) == 1:
                errors.append("docs/rooms.txt: cycle " + " -> ".join(path + [r, d]))
            elif d in ALLOWED and d not in state:
                visit(d, path + [r])
        state[r] = 2
    for r in sorted(ALLOWED):
        if r not in state:
            visit(r, [])
    return errors

# Folders of tests/ that belong to no room: shared rigs, the real program
# under X, the shipped files, the layer check itself.
SHARED_TEST_FOLDERS = {"support", "smoke", "dist", "layers"}
TEST_CALL = re.compile(r"dzq_add_test\(\s*([A-Za-z0-9_]+)(.*?)\)", re.S)

def test_errors():
    errors = []
    tests = os.path.join(top, "tests")
    for dirpath, _, names in os.walk(tests):
        if "CMakeLists.txt" not in names or dirpath == tests:
            continue
        folder = os.path.relpath(dirpath, tests)
        if folder.split("/")[0] in SHARED_TEST_FOLDERS:
            continue
        if folder not in ALLOWED:
            errors.append(f"tests/{folder}: a test folder of no room")
            continue
        base = "test_" + folder.replace("/", "_")
        text = open(os.path.join(dirpath, "CMakeLists.txt"), encoding="utf-8").read()
        for name, args in TEST_CALL.findall(re.sub(r"#.*", "", text)):
            if name not in (base, base + "_views"):
                errors.append(f"tests/{folder}: the test executable {name} is not {base} or {base}_views")
            for u in sections(args.split())["USES"]:
                to, _, part = u.partition(":")
                if to not in ALLOWED:
                    errors.append(f"tests/{folder}: {name} uses {u}, which is no declared room")
                elif to != folder and to not in below(folder) and folder not in below(to):
                    errors.append(f"tests/{folder}: {name} uses {to}, which neither builds on {folder} nor is built on by it")
                elif part == "views" and not name.endswith("_views"):
                    errors.append(f"tests/{folder}: the logic test {name} uses the views {u}")
    return errors

def main():
    errors = graph_errors() + library_errors() + test_errors()
    logic = core_files()
    for dirpath, _, names in os.walk(src):
        for n in sorted(names):
            if not n.endswith((".h", ".cpp")):
                continue
            rel = os.path.relpath(os.path.join(dirpath, n), src)
            room = room_of(rel)
            if room is None:
                errors.append(f"{rel}: lies in no declared room")
                continue
            lines = open(os.path.join(dirpath, n), encoding="utf-8").read().split("\n")
            if not rel.startswith(REALTIME):
                errors.extend(callback_errors(rel, lines))
            for no, line in enumerate(lines, 1):
                if rel.startswith(REALTIME) and REALTIME_FORBIDDEN.search(line):
                    errors.append(f"{rel}:{no}: code of the audio callback includes {line.strip()}")
                if rel in logic and WIDGET.search(line):
                    errors.append(f"{rel}:{no}: logic file includes a widget header: {line.strip()}")
                m = INCLUDE.search(line)
                if not m or "/" not in m.group(1):
                    continue
                target = m.group(1)
                if not os.path.exists(os.path.join(src, target)):
                    continue
                to = room_of(target)
                if rel in logic and target not in logic and target.endswith(".h"):
                    errors.append(f"{rel}:{no}: logic file includes the view header {target}")
                if to is None or to == room:
                    continue
                # A room nested in another (controllers/mainwindow in controllers)
                # is a room of its own: allowing the outer one does not allow it.
                if to not in ALLOWED[room]:
                    errors.append(f"{rel}:{no}: {room} may not use {to}")
    for e in errors:
        print(e)
    print(f"layer check: {len(errors)} forbidden include(s)" if errors else "layer check: clean")
    return 1 if errors else 0

sys.exit(main())
