#!/bin/sh
# The program as a screen reader sees it: started on an X server (through
# xvfb-run) with a D-Bus session of its own (through dbus-run-session) and
# Qt's accessibility always on, the accessibility tree of the welcome
# dialog, the main window and the music editor is walked over AT-SPI, and
# every button, list and box must have a Chinese name.
#
#   xvfb-run -a -s "-screen 0 1280x800x24" dbus-run-session -- \
#       accessibility_dzq.sh path/to/dzq path/to/accessibility_walk.py
#
# Exits 0 on success, 77 when a tool is missing (the test is skipped; 1
# where DZQ_SKIP_CODE=1 says so, as in CI), 1 on a failure with a message
# saying which step failed.

set -u
name=a11y
. "$(dirname "$0")/rig.sh"

dzq=${1:-}
walker=${2:-}
if [ "$dzq" = "--no-xvfb" ]; then
    echo "a11y: SKIP: xvfb-run or dbus-run-session is not installed" >&2
    exit "${DZQ_SKIP_CODE:-77}"
fi
need xdotool timeout dbus-send
# Debian's own Python, where python3-pyatspi lives.
python=/usr/bin/python3
if ! "$python" -c "import pyatspi" 2>/dev/null; then
    echo "a11y: SKIP: python3-pyatspi is not installed" >&2
    exit "${DZQ_SKIP_CODE:-77}"
fi
if [ -z "$dzq" ] || [ ! -x "$dzq" ] || [ ! -f "$walker" ]; then
    echo "a11y: FAIL: the program \"$dzq\" or the walker \"$walker\" is not there" >&2
    exit 1
fi
if [ -z "${DISPLAY:-}" ] || [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
    echo "a11y: FAIL: no X server or no D-Bus session (run through xvfb-run and dbus-run-session)" >&2
    exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/dzq-a11y.XXXXXX") || exit 1
# Folders of its own: another copy on this machine does not count as
# running, and no setting of this run outlives it.
export TMPDIR="$work"
export XDG_CONFIG_HOME="$work/config"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR" || exit 1
export QT_QPA_PLATFORM=xcb
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
pid=""
# Every wait gives up by then, whatever its own limit.
deadline=$(( $(date +%s) + 150 ))

cleanup() {
    stop "$pid"
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

fail() {
    echo "a11y: FAIL: $*" >&2
    explain "${pid:-}"
    exit 1
}
walk() {  # title
    timeout 60 "$python" "$walker" "$1" --list || fail "the walk of \"$1\" found controls without a Chinese name"
}

# The accessibility bus first, so that the program finds it as it starts.
dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null \
    || fail "the accessibility bus (at-spi2-core) does not start"

step "starting $dzq"
"$dzq" --midi-log "$work/midi.log" &
pid=$!

welcome=""
until_ok 20 find_window welcome "$pid" 400 300 || fail "the welcome dialog did not appear within 20 s"
walk "欢迎使用Quorvane电子琴"
click_in "$welcome" 344 278 || fail "could not click \"知道了\""

main=""
until_ok 15 find_window main "$pid" 988 337 || fail "the main window did not appear within 15 s"
walk "Quorvane电子琴2012"
# A screen reader's action does what the keys do: "ShowMenu" opens the menu
# (one window more), Escape closes it.
windows() { xdotool search --onlyvisible --pid "$pid" 2>/dev/null | wc -l; }
xdotool mousemove 0 0 && sleep 0.5  # no tooltip comes or goes meanwhile
shown=$(windows)
menu_open() { [ "$(windows)" -gt "$shown" ]; }
menu_closed() { [ "$(windows)" -eq "$shown" ]; }
timeout 40 "$python" "$(dirname "$walker")/accessibility_action.py" "Quorvane电子琴2012" "选择MIDI键盘" ShowMenu \
    || fail "\"MIDI键盘\" offers no action \"ShowMenu\""
until_ok 5 menu_open || fail "the action \"ShowMenu\" of \"MIDI键盘\" did not open its menu"
xdotool key Escape
until_ok 5 menu_closed || fail "Escape did not close the menu of \"MIDI键盘\""

click_in "$main" 866 190 || fail "could not click \"编辑\""
editor=""
until_ok 10 find_window editor "$pid" 753 392 || fail "the editor did not appear within 10 s of \"编辑\""
walk "音乐编辑器"
click_in "$editor" 695 278 || fail "could not click \"退出窗口\""
until_ok 10 find_window main "$pid" 988 337 || fail "the main window did not come back from the editor"

click_in "$main" 958 190 || fail "could not click \"退出\""
until_ok 12 gone "$pid" || fail "the program did not end within 12 s of \"退出\""
wait "$pid"
rc=$?
pid=""
[ "$rc" -eq 0 ] || fail "the program ended with exit code $rc"
echo "a11y: OK"
exit 0
