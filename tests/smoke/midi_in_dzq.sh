#!/bin/sh
# A MIDI keyboard plays the real program: a JACK server of its own (dummy
# backend, no sound card, no real-time rights needed), the program under an
# X server (run through xvfb-run), and a small JACK client that plugs in
# after the program is up and sends note-ons and note-offs: a chord, notes
# in running status, a message split over two events, a black key. The
# MIDI log must show the notes on the three voices with their velocities,
# and the score box (saved through "保存") what they wrote. The client then
# goes away and comes back: the program connects it again, and notes after
# an unfinished SysEx play. Last the JACK server is killed (-9) while the
# client is connected: the program drops it, lives on with its score, and
# plays again from a server started anew under the same name.
#
#   xvfb-run -a -s "-screen 0 1280x800x24 -noreset" midi_in_dzq.sh path/to/dzq path/to/jack_midi_send
#
# Exits 0 on success, 77 when a tool is missing (the test is skipped), 1 on
# a failure with a message saying which step failed.

set -u
name=midi-in
. "$(dirname "$0")/rig.sh"

dzq=${1:-}
sender=${2:-}
if [ "$dzq" = "--no-xvfb" ]; then
    echo "midi-in: SKIP: xvfb-run is not installed" >&2
    exit "${DZQ_SKIP_CODE:-77}"
fi
need xdotool timeout jackd
if [ -z "$dzq" ] || [ ! -x "$dzq" ] || [ -z "$sender" ] || [ ! -x "$sender" ]; then
    echo "midi-in: FAIL: the program \"$dzq\" or the JACK client \"$sender\" is not there" >&2
    exit 1
fi
if [ -z "${DISPLAY:-}" ]; then
    echo "midi-in: FAIL: no X server (run the test through xvfb-run)" >&2
    exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/dzq-midi-in.XXXXXX") || exit 1
export TMPDIR="$work"
export QT_QPA_PLATFORM=xcb
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR" || exit 1
# One fixed server name, taken in turns with the other MIDI keyboard tests (rig.sh).
jack_take_turn || exit 1
log="$work/midi.log"
score="$work/zz-score.txt"
jack_pid=""
pid=""

sender_pid=""
cleanup() {
    stop $pid $sender_pid $jack_pid
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

fail() {
    echo "midi-in: FAIL: $*" >&2
    explain "${pid:-}"
    for f in "$log" "$work/dzq.err" "$work/jackd.log"; do
        if [ -s "$f" ]; then
            echo "midi-in: last lines of $(basename "$f"):" >&2
            tail -n 12 "$f" >&2
        fi
    done
    exit 1
}

deadline=$(( $(date +%s) + 150 ))

logged() { [ -f "$log" ] && grep -q " $1\$" "$log"; }
all_logged() {
    for m in "$@"; do
        logged "$m" || { missing="$m"; return 1; }
    done
}
connections() { grep -c "^# 已连接MIDI键盘：JACK dzq-test:out\$" "$log" 2>/dev/null; }
start_jackd() {
    jack_up "$sender" "$work/jackd.log" || fail "the JACK server did not come up within 15 s"
}

if jack_answers "$sender"; then
    fail "a JACK server \"$JACK_DEFAULT_SERVER\" of an earlier run still runs; end it (jack_control stop, or kill its jackd)"
fi
step "starting a JACK server \"$JACK_DEFAULT_SERVER\" (dummy backend)"
start_jackd

step "starting $dzq"
"$dzq" --midi-log "$log" --midi-in all 2>"$work/dzq.err" &
pid=$!
welcome=""
until_ok 20 find_window welcome "$pid" 400 300 || fail "the welcome dialog did not appear within 20 s"
click_in "$welcome" 344 278 || fail "could not click \"知道了\""
main=""
until_ok 15 find_window main "$pid" 988 337 || fail "the main window did not appear"
until_ok 20 logged 0xec0 || fail "the main window did not initialise the MIDI output (0xec0)"
step "main window ready (window $main); plugging in the JACK keyboard"

# A chord at velocity 100 (70 x 100 / 127 = 55 on each voice), released;
# D at 127 and its note-off in running status; the black key C# at 80 (44);
# E at 80 split over two events, its note-off in running status.
"$sender" wait-connected=20 sleep=300 \
    send=903c64,904064,904364 sleep=400 send=803c00,804000,804300 sleep=300 \
    send=903e7f sleep=300 send=3e00 sleep=200 \
    send=903d50 sleep=100 send=803d00 sleep=200 \
    send=9040 send=50 sleep=300 send=4000 sleep=200 \
    >"$work/sender.log" 2>&1 || fail "the JACK client could not play: $(cat "$work/sender.log")"
[ "$(connections)" = 1 ] || fail "the log does not name the connected keyboard once"
missing=""
until_ok 5 all_logged 0x373c90 0x373c91 0x373c92 0x374090 0x374091 0x374092 0x374390 0x374391 0x374392 \
    || fail "the chord did not sound on the three voices at velocity 55 (missing $missing)"
until_ok 5 all_logged 0x3c80 0x3c82 0x4081 0x4382 0x463e90 0x463e92 0x3e80 0x3e82 0x2c3d90 0x3d82 0x2c4090 \
    0x2c4092 || fail "a note or note-off of the keyboard is missing (missing $missing)"
step "the chord and the notes sounded with their velocities"

# Unplugged (the client ended) and plugged in again: F at 127. Then a SysEx
# left unfinished: the next status byte ends it, G, A and B play.
"$sender" wait-connected=20 sleep=300 send=90417f sleep=200 send=804100 sleep=200 \
    send=f07e010203 sleep=200 send=90437f sleep=100 send=804300 sleep=100 \
    send=90457f sleep=100 send=804500 sleep=100 send=90477f sleep=100 send=804700 sleep=200 \
    >>"$work/sender.log" 2>&1 || fail "the keyboard plugged in again was not connected: $(cat "$work/sender.log")"
until_ok 5 all_logged 0x464190 0x4182 || fail "the keyboard plugged in again did not play F (0x464190)"
[ "$(connections)" = 2 ] || fail "the keyboard plugged in again was not named again"
step "unplugged and plugged in again: it plays"
until_ok 5 all_logged 0x464390 0x4382 0x464590 0x4582 0x464790 0x4782 \
    || fail "after an unfinished SysEx the keyboard stayed deaf (missing $missing)"
step "after an unfinished SysEx: G, A and B play"

# The server dies (-9) while the keyboard is connected and holds C: the
# program drops the keyboard (the note ends) and lives on.
"$sender" wait-connected=20 sleep=300 send=90487f sleep=60000 >>"$work/sender.log" 2>&1 &
sender_pid=$!
until_ok 25 logged 0x464890 || fail "the keyboard connected a third time did not play C (0x464890)"
kill -9 "$jack_pid"
wait "$jack_pid" 2>/dev/null
jack_pid=""
step "JACK server killed while the keyboard held C"
until_ok 10 logged 0x4882 || fail "the note held when the server died did not end (0x4882)"
sleep 2
alive "$pid" || fail "the program did not survive the JACK server's death"
stop "$sender_pid"
sender_pid=""

step "starting the JACK server again under the same name"
start_jackd
"$sender" wait-connected=20 sleep=300 send=904a7f sleep=200 send=804a00 >>"$work/sender.log" 2>&1 \
    || fail "the keyboard on the new server was not connected: $(cat "$work/sender.log")"
until_ok 5 all_logged 0x464a90 0x4a82 || fail "the keyboard on the new server did not play D (0x464a90)"
[ "$(connections)" = 4 ] || fail "the keyboard on the new server was not named"
step "a new server: the keyboard plays again"

# Space ends the score; "保存" saves the score box.
xdotool mousemove --window "$main" 494 100 && sleep 0.3 && xdotool key space || fail "could not press Space"
sleep 0.5
click_in "$main" 384 192 || fail "could not click \"保存\""
dialog=""
until_ok 10 find_named dialog "$pid" "另存为" || fail "the save dialog did not appear"
xdotool mousemove --window "$dialog" 100 100 && sleep 0.3 \
    && xdotool type --delay 30 "$score" && sleep 0.3 && xdotool key Return \
    || fail "could not type the file name"
saved() { [ -s "$score" ]; }
until_ok 10 saved || fail "the score was not saved to $score"
text=$(tr -d '\r\n' <"$score")
echo "$text" | grep -Eq '^KC[0-9]+KD[0-9]+KE[0-9]+KF[0-9]+KG[0-9]+KA[0-9]+KB[0-9]+HC[0-9]+HD[0-9]+TZ$' \
    || fail "the score box holds \"$text\", not KC..KD..KE..KF..KG..KA..KB..HC..HD..TZ (one code per chord, none for C#)"
step "the score box holds $text"

click_in "$main" 958 190 || fail "could not click \"退出\""
until_ok 15 gone "$pid" || fail "the program did not end after \"退出\""
wait "$pid"
rc=$?
pid=""
[ "$rc" -eq 0 ] || fail "the program ended with exit code $rc"
if grep -v '^dzq: ' "$work/dzq.err" | grep -q .; then
    fail "the program wrote to the terminal: $(grep -v '^dzq: ' "$work/dzq.err" | head -n 3)"
fi
echo "midi-in: OK"
exit 0
