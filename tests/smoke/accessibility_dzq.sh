#!/bin/sh
# The program as a screen reader sees it: started on an X server (through
# xvfb-run) with a D-Bus session of its own (through dbus-run-session) and
# Qt's accessibility always on, the accessibility tree of the welcome
# dialog, the main window, the mini window and the music editor is walked
# over AT-SPI: each window reports itself as a frame or a dialog, every
# button, list and box has a Chinese name and no two of a kind share one. The
# screen reader's actions do what a click does: "Toggle" on a tab shows its
# panel, on "启动节奏" starts the rhythm, on a chord option silences the
# chord; "Press" on "打开" opens the file dialog, which reports a dialog,
# and on its "取消" closes it.
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
deadline=$(( $(date +%s) + 270 ))

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
walk() {  # title role
    timeout 60 "$python" "$walker" "$1" --role "$2" --list || fail "the walk of \"$1\" found it wrong (above)"
}
act() {  # action control [name-in-view...]
    action=$1 control=$2
    shift 2
    timeout 60 "$python" "$walker" "Quorvane电子琴2012" --do "$action" "$control" ${1+--then "$@"} \
        || fail "\"$action\" on \"$control\" did not do what a click does"
}
# sent_since LINES STATUS: a message with that status byte (and, for a
# note-on, a velocity above zero) in the MIDI log after its first LINES lines.
sent_since() {
    tail -n +"$(( $1 + 1 ))" "$work/midi.log" 2>/dev/null | while read -r line; do
        token=${line##* }
        case $token in 0x*) ;; *) continue ;; esac
        v=$((token))
        if [ $((v & 0xff)) -eq $(($2)) ] && { [ $(($2 & 0xf0)) -ne $((0x90)) ] || [ $(((v >> 16) & 0x7f)) -gt 0 ]; }; then
            echo found
            break
        fi
    done | grep -q found
}
log_lines() { wc -l <"$work/midi.log" 2>/dev/null || echo 0; }
# other_window VARIABLE: a window of the program in view besides the main
# window (a dialog), by id: xdotool's title patterns miss Chinese titles.
other_window() {
    for w in $(xdotool search --onlyvisible --pid "$pid" 2>/dev/null); do
        if [ "$w" != "$main" ]; then
            eval "$1=\$w"
            return 0
        fi
    done
    return 1
}

# The accessibility bus first, so that the program finds it as it starts.
dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null \
    || fail "the accessibility bus (at-spi2-core) does not start"

step "starting $dzq"
"$dzq" --midi-log "$work/midi.log" &
pid=$!

welcome=""
until_ok 20 find_window welcome "$pid" 400 300 || fail "the welcome dialog did not appear within 20 s"
walk "欢迎使用Quorvane电子琴" dialog
click_in "$welcome" 344 278 || fail "could not click \"知道了\""

main=""
until_ok 15 find_window main "$pid" 988 337 || fail "the main window did not appear within 15 s"
walk "Quorvane电子琴2012" frame
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

# The tabs and the panels' options and buttons, as a screen reader works them.
act Toggle "和弦" "启动和弦" "和弦调整。。。"
before=$(log_lines)
act Toggle "和弦 2,4,6"
until_ok 5 sent_since "$before" 0x83 || fail "\"Toggle\" on a chord option did not silence the chord"
act Toggle "节奏" "启动节奏" "节奏调整。。。"
act Toggle "第一行第1格"
before=$(log_lines)
act Toggle "启动节奏" "停止节奏"
until_ok 5 sent_since "$before" 0x99 || fail "\"Toggle\" on \"启动节奏\" started no rhythm"
act Toggle "停止节奏" "启动节奏"
act Toggle "旋律" "乐器一音量" "旋律调整。。。"
step "the tabs, the chord options and the rhythm's start do on \"Toggle\" what a click does"

# A file dialog of Qt's own, opened by the screen reader's "Press".
act Press "打开"
dialog=""
until_ok 10 other_window dialog || fail "the file dialog did not appear"
timeout 60 "$python" "$walker" "打开" --role dialog --role-only || fail "the file dialog is not a dialog"
timeout 60 "$python" "$walker" "打开" --do Press "取消" || fail "could not press \"取消\" of the file dialog"
until_ok 10 eval '! other_window dialog' || fail "the file dialog did not close on \"取消\""

click_in "$main" 820 190 || fail "could not click \"迷你\""
mini=""
until_ok 10 find_window mini "$pid" 380 122 || fail "the mini window did not appear within 10 s of \"迷你\""
# Titled as the main window, which it hides: the walk takes the one in view.
walk "Quorvane电子琴2012" frame
click_in "$mini" 232 107 || fail "could not click \"返回\""
until_ok 10 find_window main "$pid" 988 337 || fail "the main window did not come back from the mini window"

click_in "$main" 866 190 || fail "could not click \"编辑\""
editor=""
until_ok 10 find_window editor "$pid" 753 392 || fail "the editor did not appear within 10 s of \"编辑\""
walk "音乐编辑器" frame
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
