#!/bin/sh
# Starts the real program on an X server (run through xvfb-run), hands over
# from the welcome dialog, checks that the main window initialised the MIDI
# output and that a key plays, that the mini window opens from "迷你", plays
# and returns, that the editor opens from "编辑" and is left, that a second
# copy is refused, and that
# "退出" ends the program through the farewell window.
#
#   xvfb-run -a -s "-screen 0 1280x800x24" smoke_dzq.sh path/to/dzq
#
# Exits 0 on success, 77 when a tool is missing (the test is skipped), 1 on
# a failure with a message saying which step failed.

set -u
name=smoke
. "$(dirname "$0")/rig.sh"

dzq=${1:-}
if [ "$dzq" = "--no-xvfb" ]; then
    echo "smoke: SKIP: xvfb-run is not installed" >&2
    exit "${DZQ_SKIP_CODE:-77}"
fi
need xdotool timeout
if [ -z "$dzq" ] || [ ! -x "$dzq" ]; then
    echo "smoke: FAIL: the program \"$dzq\" is not there" >&2
    exit 1
fi
if [ -z "${DISPLAY:-}" ]; then
    echo "smoke: FAIL: no X server (run the test through xvfb-run)" >&2
    exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/dzq-smoke.XXXXXX") || exit 1
# A lock folder of its own: another developer's copy on this machine does not
# count as "already running", and ours does not disturb theirs.
export TMPDIR="$work"
export QT_QPA_PLATFORM=xcb
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR" || exit 1
log="$work/midi.log"
log2="$work/midi2.log"
pid1=""
pid2=""

cleanup() {
    stop $pid2 $pid1
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

fail() {
    echo "smoke: FAIL: $*" >&2
    explain "${pid1:-}"
    if [ -s "$log" ]; then
        echo "smoke: last lines of the MIDI log:" >&2
        tail -n 5 "$log" >&2
    fi
    exit 1
}

# The whole test gives up after 70 s, whatever the single steps allow.
deadline=$(( $(date +%s) + 70 ))

logged() { [ -f "$1" ] && grep -q " $2\$" "$1"; }

step "starting $dzq"
"$dzq" --midi-log "$log" &
pid1=$!

welcome=""
until_ok 20 find_window welcome "$pid1" 400 300 \
    || fail "the welcome dialog (400 x 300) did not appear within 20 s"
title=$(xdotool getwindowname "$welcome")
[ "$title" = "欢迎使用Quorvane电子琴" ] || fail "the welcome dialog is titled \"$title\""
step "welcome dialog shown (window $welcome); clicking \"知道了\""
click_in "$welcome" 344 278 || fail "could not click \"知道了\""

main=""
until_ok 15 find_window main "$pid1" 988 337 \
    || fail "the main window (988 x 337) did not appear within 15 s of \"知道了\""
step "main window shown (window $main)"
# The title exactly as set: no application name appended to it.
title=$(xdotool getwindowname "$main")
[ "$title" = "Quorvane电子琴2012" ] || fail "the main window is titled \"$title\", not \"Quorvane电子琴2012\""
# Start-up selects the instruments: program 14 on channel 0 comes first.
until_ok 20 logged "$log" 0xec0 \
    || fail "the start-up program change of channel 0 (0xec0) never reached the MIDI log"
step "main window initialised, MIDI output open"

# The key A plays note 60 on channel 0 with velocity 70.
xdotool mousemove --window "$main" 494 100 || fail "could not move the pointer over the main window"
sleep 0.3
xdotool key a || fail "could not press the key A"
until_ok 5 logged "$log" 0x463c90 \
    || fail "the key A did not send note 60 on channel 0 with velocity 70 (0x463c90)"
step "the key A played note 60"

# "迷你" opens the mini window (380 x 122) and hides the main window; two keys
# play there (S: note 62, D: note 64) and "返回" brings the main window back.
step "clicking \"迷你\""
click_in "$main" 820 190 || fail "could not click \"迷你\""
mini=""
until_ok 10 find_window mini "$pid1" 380 122 \
    || fail "the mini window (380 x 122) did not appear within 10 s of \"迷你\""
main_hidden() { ! window_of "$pid1" 988 337 >/dev/null; }
until_ok 5 main_hidden || fail "the main window stayed visible beside the mini window"
step "mini window shown (window $mini); playing S and D on \"键盘演奏\""
xdotool mousemove --window "$mini" 90 107 || fail "could not move the pointer over the mini window"
sleep 0.3
xdotool key s || fail "could not press the key S"
until_ok 5 logged "$log" 0x463e90 || fail "the key S in the mini window did not send note 62 (0x463e90)"
xdotool key d || fail "could not press the key D"
until_ok 5 logged "$log" 0x464090 || fail "the key D in the mini window did not send note 64 (0x464090)"
step "the mini window played notes 62 and 64; clicking \"返回\""
click_in "$mini" 232 107 || fail "could not click \"返回\""
until_ok 10 find_window main "$pid1" 988 337 \
    || fail "the main window did not come back within 10 s of \"返回\""
mini_hidden() { ! window_of "$pid1" 380 122 >/dev/null; }
until_ok 5 mini_hidden || fail "the mini window stayed visible after \"返回\""
xdotool mousemove --window "$main" 494 100 && sleep 0.3 && xdotool key f \
    || fail "could not press the key F in the main window"
until_ok 5 logged "$log" 0x464190 || fail "the main window's keyboard did not play F (note 65, 0x464190) after \"返回\""
step "back in the main window (window $main); its keyboard plays again"

# "编辑" opens the music editor (753 x 392, 2/4) and hides the main window;
# its opening selects instrument 83 (program 82) for row 3 on channel 3;
# "退出窗口" brings the main window back.
step "clicking \"编辑\""
click_in "$main" 866 190 || fail "could not click \"编辑\""
editor=""
until_ok 10 find_window editor "$pid1" 753 392 \
    || fail "the editor window (753 x 392) did not appear within 10 s of \"编辑\""
title=$(xdotool getwindowname "$editor")
[ "$title" = "音乐编辑器" ] || fail "the editor window is titled \"$title\""
until_ok 5 main_hidden || fail "the main window stayed visible beside the editor"
until_ok 5 logged "$log" 0x52c3 || fail "the editor's opening did not select program 82 on channel 3 (0x52c3)"
step "editor shown (window $editor); clicking \"退出窗口\""
click_in "$editor" 695 278 || fail "could not click \"退出窗口\""
until_ok 10 find_window main "$pid1" 988 337 \
    || fail "the main window did not come back within 10 s of \"退出窗口\""
editor_hidden() { ! window_of "$pid1" 753 392 >/dev/null; }
until_ok 5 editor_hidden || fail "the editor window stayed visible after \"退出窗口\""
step "back in the main window from the editor"

# A second copy shows its refusal and ends; it opens no main window and no MIDI log.
step "starting a second copy"
"$dzq" --midi-log "$log2" &
pid2=$!
box=""
find_box() {
    box=$(xdotool search --onlyvisible --pid "$pid2" 2>/dev/null | head -n 1)
    [ -n "$box" ]
}
until_ok 15 find_box || fail "the second copy showed no window within 15 s (expected \"你已经运行这个应用程序了！\")"
window_of "$pid2" 988 337 >/dev/null && fail "the second copy opened a main window"
[ -e "$log2" ] && fail "the second copy got as far as opening its MIDI log"
step "the second copy shows its message (window $box); pressing Return"
xdotool mousemove --window "$box" 20 20 && sleep 0.2 && xdotool key Return \
    || fail "could not press Return on the second copy's message"
until_ok 10 gone "$pid2" || fail "the second copy did not end within 10 s of closing its message"
wait "$pid2"
rc2=$?
pid2=""
[ "$rc2" -eq 0 ] || fail "the second copy ended with exit code $rc2"
alive "$pid1" || fail "the first copy ended when the second was refused"
step "the second copy ended; the first still runs"

# A copy whose refusal nobody answers still ends at SIGTERM (a log-out).
"$dzq" --midi-log "$log2" 2>/dev/null &
pid2=$!
until_ok 15 find_box || fail "the third copy showed no window within 15 s"
kill -TERM "$pid2"
until_ok 10 gone "$pid2" || fail "a copy showing its refusal did not end within 10 s of SIGTERM"
wait "$pid2"
pid2=""
alive "$pid1" || fail "the first copy ended when a refused copy got SIGTERM"
step "a refused copy ends at SIGTERM"

step "clicking \"退出\""
click_in "$main" 958 190 || fail "could not click \"退出\""
until_ok 12 gone "$pid1" || fail "the program did not end within 12 s of \"退出\" (the farewell lasts 4 s)"
wait "$pid1"
rc1=$?
pid1=""
[ "$rc1" -eq 0 ] || fail "the program ended with exit code $rc1"
step "the program ended by itself"
echo "smoke: OK"
exit 0
