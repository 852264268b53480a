#!/bin/sh
# 跟弹练习 in the real program: a copy of it (in a folder of its own, so its
# record folder "演奏记录" is private) opens with "--practice" on a short
# score. The computer keys play it right, then with one wrong key, then the
# window is left with Esc; "简谱" and its "跟弹练习" open it again. Every
# finished run is one line of "练习记录.csv", checked after each run. Last a
# MIDI keyboard (a JACK server and client of the test's own, taken in turns
# with the other MIDI keyboard tests) plays it with a wrong black key.
#
#   xvfb-run -a -s "-screen 0 1280x800x24 -noreset" practice_dzq.sh path/to/dzq path/to/jack_midi_send
#
# Exits 0 on success (the MIDI keyboard part is skipped, and said so, without
# jackd), 77 when a tool is missing, 1 on a failure saying which step failed.

set -u
name=practice
. "$(dirname "$0")/rig.sh"

dzq=${1:-}
sender=${2:-}
if [ "$dzq" = "--no-xvfb" ]; then
    echo "practice: SKIP: xvfb-run is not installed" >&2
    exit "${DZQ_SKIP_CODE:-77}"
fi
need xdotool timeout
if [ -z "$dzq" ] || [ ! -x "$dzq" ]; then
    echo "practice: FAIL: the program \"$dzq\" is not there" >&2
    exit 1
fi
if [ -z "${DISPLAY:-}" ]; then
    echo "practice: FAIL: no X server (run the test through xvfb-run)" >&2
    exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/dzq-practice.XXXXXX") || exit 1
export TMPDIR="$work"
export QT_QPA_PLATFORM=xcb
export XDG_RUNTIME_DIR="$work/runtime"
export HOME="$work/home"
mkdir -m 700 "$XDG_RUNTIME_DIR" && mkdir -p "$HOME" "$work/bin" || exit 1
cp "$dzq" "$work/bin/dzq" || exit 1
record="$work/bin/演奏记录/练习记录.csv"
score="$work/音阶.txt"
printf 'KC8KD8KE8TZ\r\n' >"$score" || exit 1
log="$work/midi.log"
pid=""
jack_pid=""

cleanup() {
    stop $pid $jack_pid
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

fail() {
    echo "practice: FAIL: $*" >&2
    explain "${pid:-}"
    for f in "$record" "$log" "$work/dzq.err" "$work/jackd.log"; do
        if [ -s "$f" ]; then
            echo "practice: last lines of $(basename "$f"):" >&2
            tail -n 6 "$f" >&2
        fi
    done
    exit 1
}

deadline=$(( $(date +%s) + 200 ))

# The record's lines after the header, from the column 方式 on.
runs() { [ -f "$record" ] && tr -d '\r' <"$record" | tail -n +2 | cut -d, -f3-; }
run_count() { runs | grep -c . ; }
has_runs() { [ "$(run_count)" -ge "$1" ]; }
last_run() { runs | tail -n 1; }
logged() { [ -f "$log" ] && grep -q " $1\$" "$log"; }

# start ARGS...: the program, through the welcome dialog, into the practice window.
practice=""
start() {
    "$work/bin/dzq" --midi-log "$log" "$@" 2>>"$work/dzq.err" &
    pid=$!
    welcome=""
    until_ok 20 find_window welcome "$pid" 400 300 || fail "the welcome dialog did not appear within 20 s"
    click_in "$welcome" 344 278 || fail "could not click \"知道了\""
    until_ok 20 find_named practice "$pid" "跟弹练习 - 音阶" \
        || fail "the window \"跟弹练习 - 音阶\" did not appear after \"知道了\""
    focus_practice
}
# Without a window manager the window in front is given the keyboard here.
focus_practice() {
    xdotool mousemove --window "$practice" 500 400 && xdotool windowfocus "$practice" && sleep 0.3 \
        || fail "could not give the practice window the keyboard"
}
# Keys as the user types them, to the window in front (never sent to a
# window: one that goes while its key is down leaves the key held).
keys() {
    for k in "$@"; do
        xdotool key "$k" || fail "could not press $k"
        sleep 0.15
    done
}

step "starting $dzq --practice $score"
start --practice "$score" --midi-in none
[ ! -e "$record" ] || fail "the record exists before anything was played"

step "playing it right: A S D"
keys a s d
until_ok 10 has_runs 1 || fail "the finished run was not recorded"
[ "$(last_run)" = "等待,100,3,3,0,0,100.0,," ] || fail "the run was recorded as \"$(last_run)\""
head -c 3 "$record" | od -An -tx1 | grep -q "ef bb bf" || fail "the record does not begin with the UTF-8 byte order mark"
[ "$(sed -n 1p "$record" | tr -d '\r' | cut -c4-)" = "日期,乐谱,方式,速度,音符,命中,错音,漏音,准确率,平均偏差毫秒,偏差标准差毫秒" ] \
    || fail "the record's header is \"$(sed -n 1p "$record")\""
[ "$(tr -d '\r' <"$record" | sed -n 2p | cut -d, -f2)" = "音阶" ] || fail "the run does not name the score \"音阶\""

step "again with one wrong key: A F S D"
keys a f s d
until_ok 10 has_runs 2 || fail "the second run was not recorded"
[ "$(last_run)" = "等待,100,3,3,1,0,75.0,," ] || fail "the second run was recorded as \"$(last_run)\""
until_ok 5 logged 0x464190 || fail "the wrong key F did not sound (note 65 on channel 0, 0x464190)"

step "a run left half way records nothing; Esc leaves"
keys a s
keys Escape
main=""
until_ok 10 find_window main "$pid" 988 337 || fail "the main window did not come back after Esc"
[ "$(run_count)" = 2 ] || fail "the unfinished run was recorded"

step "\"简谱\", then its \"跟弹练习\""
click_in "$main" 189 192 || fail "could not click \"简谱\""
notation=""
until_ok 10 find_named notation "$pid" "简谱 - 音阶" || fail "the window \"简谱 - 音阶\" did not appear"
# The button stands last in the window's bottom right corner.
size=$(xdotool getwindowgeometry "$notation" | sed -n 's/^ *Geometry: //p')
click_in "$notation" $(( ${size%x*} - 47 )) $(( ${size#*x} - 18 )) || fail "could not click \"跟弹练习\""
until_ok 10 find_named practice "$pid" "跟弹练习 - 音阶" || fail "\"跟弹练习\" did not open the practice window"
focus_practice
keys a s d
until_ok 10 has_runs 3 || fail "the run in the window opened from \"简谱\" was not recorded"
keys Escape
until_ok 10 find_window main "$pid" 988 337 || fail "the main window did not come back the second time"
click_in "$main" 958 190 || fail "could not click \"退出\""
until_ok 20 gone "$pid" || fail "the program did not end after \"退出\""
wait "$pid"
pid=""
step "three runs recorded from the computer keys"

if [ -z "$sender" ] || [ ! -x "$sender" ] || ! command -v jackd >/dev/null 2>&1; then
    echo "practice: SKIP (MIDI keyboard part): jackd or the JACK client is not there"
    echo "practice: OK"
    exit 0
fi
jack_take_turn || exit 1
jack_answers "$sender" && fail "a JACK server \"$JACK_DEFAULT_SERVER\" of an earlier run still runs"
step "starting a JACK server \"$JACK_DEFAULT_SERVER\" (dummy backend)"
jack_up "$sender" "$work/jackd.log" || fail "the JACK server did not come up within 15 s"
start --practice "$score" --midi-in all
# C, the black key C# (wrong: it sounds and the score waits), D, E.
"$sender" wait-connected=20 sleep=500 send=903c64 sleep=150 send=803c00 sleep=150 send=903d64 sleep=150 \
    send=803d00 sleep=150 send=903e64 sleep=150 send=803e00 sleep=150 send=904064 sleep=150 send=804000 \
    >"$work/sender.log" 2>&1 || fail "the JACK client could not play: $(cat "$work/sender.log")"
until_ok 10 has_runs 4 || fail "the run played on the MIDI keyboard was not recorded"
[ "$(last_run)" = "等待,100,3,3,1,0,75.0,," ] || fail "the MIDI keyboard's run was recorded as \"$(last_run)\""
# At the voice's volume: 70 x 100 / 127 = 55.
logged 0x373d90 || fail "the wrong black key did not sound (note 61 on channel 0, 0x373d90)"
step "the MIDI keyboard's run recorded"
stop "$pid"
pid=""
echo "practice: OK"
exit 0
