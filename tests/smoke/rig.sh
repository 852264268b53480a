# The helpers of the tests that drive the real program under an X server.
# A script sets "name" (the prefix of its messages) before sourcing this
# file, and "deadline" (seconds since the epoch: when every wait gives up,
# whatever the single step allows) before its first wait.

# need TOOL...: a missing tool skips the test (fails it where DZQ_SKIP_CODE says so).
need() {
    for tool in "$@"; do
        if ! command -v "$tool" >/dev/null 2>&1; then
            echo "$name: SKIP: $tool is not installed" >&2
            exit "${DZQ_SKIP_CODE:-77}"
        fi
    done
}

step() { echo "$name: $*"; }

alive() { [ -n "$1" ] && kill -0 "$1" 2>/dev/null; }
# stop PID...: asks each process still there to end, then kills it.
stop() {
    for p in "$@"; do
        if alive "$p"; then
            kill "$p" 2>/dev/null
            sleep 0.5
            alive "$p" && kill -9 "$p" 2>/dev/null
        fi
    done
    return 0
}
gone() { ! alive "$1"; }

# explain PID: after a wait for the program failed, says whether it had
# ended (and how) or where each of its threads is (with gdb: its stack).
explain() {
    [ -n "${1:-}" ] || return 0
    if ! alive "$1"; then
        wait "$1" 2>/dev/null
        echo "$name: the program had ended, exit status $?" >&2
        return 0
    fi
    echo "$name: the program is running; its threads (state, kernel wait, system call):" >&2
    for t in /proc/"$1"/task/*; do
        echo "$name:   $(cat "$t/comm" 2>/dev/null) $(sed 's/^.*) \([A-Z]\).*/\1/' "$t/stat" 2>/dev/null)" \
             "$(cat "$t/wchan" 2>/dev/null) $(cut -d' ' -f1 "$t/syscall" 2>/dev/null)" >&2
    done
    lock="${XDG_RUNTIME_DIR:-/nonexistent}/quorvane-dzq.lock"
    if [ -s "$lock" ]; then
        holder=$(head -n 1 "$lock")
        echo "$name: the lock file names process $holder ($(cat /proc/"$holder"/comm 2>/dev/null || echo gone))" >&2
    fi
    if command -v gdb >/dev/null 2>&1; then
        timeout 60 gdb -batch -p "$1" -ex "thread apply all bt" 2>/dev/null | grep -E '^(Thread|#)' >&2
    fi
    return 0
}

# until_ok SECONDS COMMAND...: runs the command every 0.1 s until it succeeds.
until_ok() {
    limit=$(( $1 * 10 ))
    shift
    n=0
    while [ "$n" -lt "$limit" ]; do
        "$@" && return 0
        if [ "$(date +%s)" -ge "$deadline" ]; then
            echo "$name: the test as a whole ran out of time" >&2
            return 1
        fi
        sleep 0.1
        n=$((n + 1))
    done
    return 1
}

# The visible top-level window of a process whose size is WxH.
window_of() {  # pid width height
    for w in $(xdotool search --onlyvisible --pid "$1" 2>/dev/null); do
        size=$(xdotool getwindowgeometry "$w" 2>/dev/null | sed -n 's/^ *Geometry: //p')
        if [ "$size" = "$2x$3" ]; then
            echo "$w"
            return 0
        fi
    done
    return 1
}
find_window() {  # variable pid width height
    w=$(window_of "$2" "$3" "$4") || return 1
    eval "$1=\$w"
}
find_named() {  # variable pid title
    # --all: xdotool takes a window meeting any one condition otherwise.
    w=$(xdotool search --all --onlyvisible --pid "$2" --name "^$3\$" 2>/dev/null | head -n 1)
    [ -n "$w" ] || return 1
    eval "$1=\$w"
}
click_in() {  # window x y
    xdotool mousemove --window "$1" "$2" "$3" && sleep 0.2 && xdotool click 1
}

# The tests that play the program from a MIDI keyboard run a JACK server of
# their own under one fixed name, never another program's. JACK keeps the
# names of 8 servers per machine, and a killed server's name stays taken
# until a server of that name starts again: a name per run would use them
# all up. Every such test on the machine therefore takes its turn here
# (at most 120 s of waiting) before it starts a server.
jack_take_turn() {
    JACK_DEFAULT_SERVER="dzq-midi-in-test"
    export JACK_DEFAULT_SERVER
    jack_lock="/dev/shm/dzq-midi-in-test-$(id -u).lock"
    command -v flock >/dev/null 2>&1 || return 0
    exec 9>>"$jack_lock" || return 1
    if ! flock -w 120 9; then
        echo "$name: FAIL: another run of a MIDI keyboard test held $jack_lock for 120 s" >&2
        return 1
    fi
}
# jack_answers SENDER: the server is up (the test's JACK client can join it).
jack_answers() { "$1" --name dzq-probe >/dev/null 2>&1; }
# jack_up SENDER LOG: starts the server (dummy backend, no real-time rights
# needed) and waits until it answers; its process is $jack_pid.
jack_up() {
    jackd --no-realtime -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 1024 >>"$2" 2>&1 &
    jack_pid=$!
    until_ok 15 jack_answers "$1"
}
