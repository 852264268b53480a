#!/usr/bin/env bash
# End-to-end audio benchmark: the program as the user hears it, through a
# real sound server, beside the fluidsynth program as the floor.
#
#   bench/platform/bench_audio_e2e.sh [build/dzq [more dzq binaries ...]]
#   bench/platform/bench_audio_e2e.sh --self-check   (the dropout and onset detection)
#
# Installs what it needs (PulseAudio, its tools, the fluidsynth program,
# Xvfb, xdotool), starts a private PulseAudio with a null sink at 48 kHz,
# runs each program under its own Xvfb, presses keys as X key events,
# records the sink's monitor with parec. Rounds alternate the programs
# (dzq from a fresh home, dzq started at 256 x 2 frames, fluidsynth at 64,
# 128 and 256 x 2) so that a drifting machine load hits all alike. Per
# program: key -> sound median / p95 / max; dropouts per minute with sparse
# keys, the dense score, the dense score beside one busy loop a core, and a
# score that changes the combination on every beat from a cold page cache
# of the sound font; idle CPU (program + server), peak resident memory,
# launch -> first sound, the buffer the program used (start -> end), and
# the 1-minute load average beside each figure. Then one Markdown table
# and the raw figures of every round. Never part of ctest.
#
# Knobs: BENCH_ROUNDS (3), BENCH_KEYS (16 a round), BENCH_DENSE_SECONDS (15,
# each score phase), BENCH_KEY_GAP (1.5 s), BENCH_IDLE_ROUNDS (1),
# BENCH_SUBJECTS ("dzq,dzq@256,fs64,fs128,fs256"), BENCH_KEEP_HOME=1 (dzq
# keeps what it learnt from launch to launch), BENCH_DZQ_CONF ("group/key=
# value;..." more keys for dzq's configuration), BENCH_RECORD_LATENCY_MS (2,
# the recording's fragment), BENCH_DUMP=folder (the
# recordings, dzq's terminal output, the server's log), BENCH_QUICK=1 (a two-minute smoke
# run: one round, dzq and fluidsynth 128 x 2, short phases, no idle CPU).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
top="$(cd "$here/../.." && pwd)"
if [ "${1:-}" = "--self-check" ]; then
  exec python3 "$here/bench_audio_e2e.py" --self-check
fi

need=(pulseaudio pulseaudio-utils fluidsynth xvfb xauth xdotool fluid-soundfont-gm)
missing=()
for p in "${need[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""; [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

work="$(mktemp -d /tmp/dzq-audio-bench.XXXXXX)"
server_pid=""
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  if [ -n "${BENCH_DUMP:-}" ] && [ -f "$work/server.log" ]; then
    mkdir -p "$BENCH_DUMP" && cp "$work/server.log" "$BENCH_DUMP/"
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# A private server: its own runtime folder, home and socket; real-time
# scheduling where the system grants it (as a desktop session does).
export HOME="$work/home" XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/home/.config"
mkdir -p "$XDG_CONFIG_HOME/pulse" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
cat >"$XDG_CONFIG_HOME/pulse/daemon.conf" <<'EOF'
default-sample-format = float32le
default-sample-rate = 48000
alternate-sample-rate = 48000
realtime-scheduling = yes
high-priority = yes
exit-idle-time = -1
flat-volumes = no
EOF
cat >"$work/server.pa" <<EOF
load-module module-native-protocol-unix auth-anonymous=1 socket=$XDG_RUNTIME_DIR/pulse-native
load-module module-null-sink sink_name=bench rate=48000 channels=2 format=float32le
set-default-sink bench
EOF
pulseaudio -n --daemonize=no --use-pid-file=no --system=no -F "$work/server.pa" \
  --log-level=debug --log-target=file:"$work/server.log" 2>/dev/null &
server_pid=$!
export PULSE_SERVER="unix:$XDG_RUNTIME_DIR/pulse-native"
for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl info >/dev/null || { echo "the private PulseAudio did not start"; cat "$work/server.log"; exit 1; }

programs=("$@")
[ ${#programs[@]} -eq 0 ] && programs=("$top/build/dzq")
python3 "$here/bench_audio_e2e.py" --work "$work" --server-pid "$server_pid" \
  --server-log "$work/server.log" "${programs[@]}"
