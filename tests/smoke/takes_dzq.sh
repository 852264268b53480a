#!/bin/sh
# The recorder's take outlives the program: a copy of the real program (in a
# folder of its own, so its record folder "演奏记录" is private) records,
#   1. is killed with SIGKILL: the next start makes the take "录音-….wav",
#      its header holding the real length, and says so;
#   2. gets SIGTERM, 3. SIGHUP: it ends at once with exit code 0, the take
#      kept as "录音-….wav" as at "退出";
#   4. gets SIGTERM while the editor records (the main window hidden): the
#      editor's take is kept the same way;
#   5. records, stops, and cancels the file dialog of the play button: the
#      take is still there; gets SIGTERM while that dialog is open again: the
#      take is kept.
#
#   xvfb-run -a -s "-screen 0 1280x800x24" takes_dzq.sh path/to/dzq
#
# Exits 0 on success, 77 when a tool is missing (the test is skipped), 1 on
# a failure with a message saying which step failed.

set -u
name=takes
. "$(dirname "$0")/rig.sh"

dzq=${1:-}
if [ "$dzq" = "--no-xvfb" ]; then
    echo "takes: SKIP: xvfb-run is not installed" >&2
    exit "${DZQ_SKIP_CODE:-77}"
fi
need xdotool timeout od stat
if [ -z "$dzq" ] || [ ! -x "$dzq" ]; then
    echo "takes: FAIL: the program \"$dzq\" is not there" >&2
    exit 1
fi
if [ -z "${DISPLAY:-}" ]; then
    echo "takes: FAIL: no X server (run the test through xvfb-run)" >&2
    exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/dzq-takes.XXXXXX") || exit 1
export TMPDIR="$work"
export HOME="$work/home"
export XDG_RUNTIME_DIR="$work/runtime"
export QT_QPA_PLATFORM=xcb
mkdir -p "$HOME" "$work/bin" || exit 1
mkdir -m 700 "$XDG_RUNTIME_DIR" || exit 1
cp "$dzq" "$work/bin/dzq" || exit 1
program="$work/bin/dzq"
folder="$work/bin/演奏记录"
temp="$folder/.recorder-temp"
pid=""

cleanup() {
    if alive "$pid"; then
        kill -9 "$pid" 2>/dev/null
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

fail() {
    echo "takes: FAIL: $*" >&2
    explain "${pid:-}"
    for f in "$work"/err*.txt; do
        [ -f "$f" ] && { echo "takes: $f:" >&2; cat "$f" >&2; }
    done
    ls -la "$folder" "$temp" >&2 2>/dev/null
    exit 1
}

deadline=$(( $(date +%s) + 200 ))

# The kept takes, the takes still in the temporary folder.
kept() { ls "$folder" 2>/dev/null | grep -c '^录音-.*\.wav$'; }
left() { ls -A "$temp" 2>/dev/null | grep -c '^take-'; }
# A take file in the temporary folder that holds more than a second of sound.
take_grows() {
    for f in "$temp"/take-*.wav; do
        [ -f "$f" ] && [ "$(stat -c %s "$f")" -gt 200000 ] && return 0
    done
    return 1
}

u32() { od -An -tu4 -j"$2" -N4 "$1" | tr -d ' '; }
# The header of every kept take gives the length the file really has.
headers_fit() {
    for f in "$folder"/录音-*.wav; do
        size=$(stat -c %s "$f")
        [ "$(od -An -c -N4 "$f" | tr -d ' ')" = "RIFF" ] || fail "$f does not begin with RIFF"
        [ "$(u32 "$f" 4)" -eq $((size - 8)) ] || fail "the RIFF size of $f is $(u32 "$f" 4), the file has $size bytes"
        at=$(grep -obUa 'data' "$f" | head -n 1 | cut -d: -f1)
        [ -n "$at" ] || fail "$f has no data chunk"
        data=$(u32 "$f" $((at + 4)))
        [ "$data" -gt 100000 ] || fail "$f holds only $data bytes of sound"
        [ "$data" -eq $((size - at - 8)) ] || fail "the data size of $f is $data, the file holds $((size - at - 8))"
    done
}

# start N [told]: starts the program (its terminal output in err N.txt),
# hands over from the welcome dialog and waits for the main window; with
# "told", a box then tells where the last run's take went, and is closed.
start() {
    "$program" 2>"$work/err$1.txt" &
    pid=$!
    welcome=""
    until_ok 40 find_window welcome "$pid" 400 300 || fail "run $1: no welcome dialog within 40 s"
    click_in "$welcome" 344 278 || fail "run $1: could not click \"知道了\""
    main=""
    until_ok 15 find_window main "$pid" 988 337 || fail "run $1: no main window within 15 s"
    if [ "${2:-}" = told ]; then
        box=""
        until_ok 10 find_box || fail "run $1: no box told where the last take was kept"
        xdotool mousemove --window "$box" 20 20 && sleep 0.2 && xdotool key Return \
            || fail "run $1: could not close the box"
        until_ok 5 box_gone || fail "run $1: the box did not close"
    fi
}

# A box of the program other than its main window (the notice of kept takes).
find_box() {
    for w in $(xdotool search --onlyvisible --pid "$pid" 2>/dev/null); do
        [ "$w" != "$main" ] && { box=$w; return 0; }
    done
    return 1
}

box_gone() { ! find_box; }

record_in_main() {
    click_in "$main" 658 190 || fail "could not click the record button"
    until_ok 15 take_grows || fail "the take did not grow in $temp"
}

# ends_in_order N: the program ended by itself, with exit code 0.
ends_in_order() {
    until_ok 10 gone "$pid" || fail "run $1: the program did not end within 10 s of the signal"
    wait "$pid"
    rc=$?
    pid=""
    [ "$rc" -eq 0 ] || fail "run $1: the program ended with exit code $rc"
}

step "run 1: recording, then SIGKILL"
start 1
record_in_main
kill -9 "$pid"
wait "$pid" 2>/dev/null
pid=""
[ "$(left)" -eq 1 ] || fail "the killed run left $(left) takes in $temp"
[ "$(kept)" -eq 0 ] || fail "a take was kept although the program was killed"

step "run 2: the take is kept at start; recording, then SIGTERM"
start 2 told
[ "$(kept)" -eq 1 ] || fail "the next start kept $(kept) takes, not 1"
[ "$(left)" -eq 0 ] || fail "the next start left $(left) takes in $temp"
grep -q '上次程序没有正常结束，录音已找回：.*录音-.*\.wav' "$work/err2.txt" || fail "the start did not say that it kept the take"
headers_fit
record_in_main
kill -TERM "$pid"
ends_in_order 2
[ "$(kept)" -eq 2 ] || fail "SIGTERM: $(kept) takes kept, not 2"
[ "$(left)" -eq 0 ] || fail "SIGTERM left a take in $temp"

step "run 3: recording, then SIGHUP"
start 3 told
record_in_main
kill -HUP "$pid"
ends_in_order 3
[ "$(kept)" -eq 3 ] || fail "SIGHUP: $(kept) takes kept, not 3"
[ "$(left)" -eq 0 ] || fail "SIGHUP left a take in $temp"

step "run 4: the editor records, then SIGTERM"
start 4 told
click_in "$main" 866 190 || fail "could not click \"编辑\""
editor=""
until_ok 10 find_window editor "$pid" 753 392 || fail "the editor did not open"
click_in "$editor" 368 343 || fail "could not click the editor's \"录音\""
until_ok 15 take_grows || fail "the editor's take did not grow in $temp"
kill -TERM "$pid"
ends_in_order 4
[ "$(kept)" -eq 4 ] || fail "SIGTERM in the editor: $(kept) takes kept, not 4"
[ "$(left)" -eq 0 ] || fail "SIGTERM in the editor left a take in $temp"
headers_fit

step "run 5: a stopped take outlives the play button's cancelled dialog, and SIGTERM during it"
start 5 told
record_in_main
click_in "$main" 632 190 || fail "could not click the stop button"
open_play_dialog() {
    click_in "$main" 606 190 || fail "could not click the play button"
    box=""
    until_ok 10 find_box || fail "the play button showed no file dialog"
}
open_play_dialog
xdotool mousemove --window "$box" 30 30 && sleep 0.2 && xdotool key Escape || fail "could not cancel the dialog"
until_ok 5 box_gone || fail "the file dialog did not close"
[ "$(left)" -eq 1 ] || fail "the cancelled dialog dropped the take ($(left) in $temp)"
open_play_dialog
kill -TERM "$pid"
ends_in_order 5
[ "$(kept)" -eq 5 ] || fail "SIGTERM at the play button's dialog: $(kept) takes kept, not 5"
[ "$(left)" -eq 0 ] || fail "SIGTERM at the play button's dialog left a take in $temp"
headers_fit
step "every take kept, each header fits its file"
echo "takes: OK"
exit 0
