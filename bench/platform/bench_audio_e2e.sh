#!/usr/bin/env bash
# End-to-end audio benchmark: the program as the user hears it, through a
# real sound server, beside the fluidsynth program as the floor.
#
#   bench/platform/bench_audio_e2e.sh [build/dzq [more dzq binaries ...]]
#   bench/platform/bench_audio_e2e.sh --self-check   (the dropout and onset detection)
#
# Installs what it needs (the sound server, its tools, the fluidsynth
# program, Xvfb, xdotool), starts a private sound server at 48 kHz, runs
# each program under its own Xvfb, presses keys as X key events, and
# records what reaches the output: the null sink's monitor (parec) on
# PulseAudio and PipeWire, the ports joined to the playback ports on JACK
# (bench_jack_tap, built here). Rounds alternate the programs
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
# BENCH_SERVER chooses the server (each private: its own runtime folder,
# home and server name, so that runs side by side never meet):
#   pulse     PulseAudio with a null sink (the default);
#   pipewire  PipeWire, its PulseAudio face and WirePlumber in a D-Bus session
#             of their own, a null sink, the graph held at BENCH_PERIOD frames
#             (and the PulseAudio face's smallest request, fragment and quantum
#             with it); the programs play through the PulseAudio face;
#   jack      jackd with the dummy backend at BENCH_PERIOD frames; dzq finds
#             it by itself, fluidsynth plays with -a jack.
# BENCH_PERIOD (128): the server's period on pipewire and jack. There the
# default subjects are dzq and fluidsynth at that period.
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
server="${BENCH_SERVER:-pulse}"
period="${BENCH_PERIOD:-128}"
case "$server" in
  pulse) need=(pulseaudio pulseaudio-utils) ;;
  pipewire) need=(pipewire pipewire-pulse wireplumber dbus pulseaudio-utils) ;;
  jack) need=(jackd2 libjack-jackd2-dev gcc) ;;
  *) echo "BENCH_SERVER must be pulse, pipewire or jack (not $server)" >&2; exit 2 ;;
esac
case "$period" in ''|*[!0-9]*) echo "BENCH_PERIOD must be a number of frames" >&2; exit 2 ;; esac
need+=(fluidsynth xvfb xauth xdotool fluid-soundfont-gm)
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
# PipeWire's session manager wants a D-Bus session: one of our own.
if [ "$server" = pipewire ] && [ -z "${DZQ_BENCH_OWN_DBUS:-}" ]; then
  DZQ_BENCH_OWN_DBUS=1 exec dbus-run-session -- "$0" "$@"
fi

work="$(mktemp -d /tmp/dzq-audio-bench.XXXXXX)"
server_pids=()
cleanup() {
  for pid in "${server_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${server_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  if [ -n "${BENCH_DUMP:-}" ] && [ -f "$work/server.log" ]; then
    mkdir -p "$BENCH_DUMP" && cp "$work/server.log" "$BENCH_DUMP/"
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# A private server: its own runtime folder, home and socket; real-time
# scheduling where the system grants it (as a desktop session does).
export HOME="$work/home" XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/home/.config"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
: >"$work/server.log"
extra=()

wait_pactl() {
  for _ in $(seq 100); do pactl info >/dev/null 2>&1 && return 0; sleep 0.1; done
  return 1
}

case "$server" in
pulse)
  mkdir -p "$XDG_CONFIG_HOME/pulse"
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
  server_pids+=($!)
  export PULSE_SERVER="unix:$XDG_RUNTIME_DIR/pulse-native"
  wait_pactl || { echo "the private PulseAudio did not start"; cat "$work/server.log"; exit 1; }
  ;;
pipewire)
  # The graph at the bench's period and rate, and the PulseAudio face
  # allowed to go as low: its own floor (256 frames) would hide the period.
  mkdir -p "$XDG_CONFIG_HOME/pipewire/pipewire.conf.d" "$XDG_CONFIG_HOME/pipewire/pipewire-pulse.conf.d"
  cat >"$XDG_CONFIG_HOME/pipewire/pipewire.conf.d/bench.conf" <<EOF
context.properties = {
  default.clock.rate = 48000
  default.clock.allowed-rates = [ 48000 ]
  default.clock.quantum = $period
  default.clock.min-quantum = $period
}
EOF
  cat >"$XDG_CONFIG_HOME/pipewire/pipewire-pulse.conf.d/bench.conf" <<EOF
pulse.properties = {
  pulse.min.req = $period/48000
  pulse.min.frag = $period/48000
  pulse.min.quantum = $period/48000
}
EOF
  export PIPEWIRE_RUNTIME_DIR="$XDG_RUNTIME_DIR"
  unset PIPEWIRE_REMOTE
  PIPEWIRE_DEBUG=2 pipewire >>"$work/server.log" 2>&1 &
  server_pids+=($!)
  for _ in $(seq 50); do [ -S "$XDG_RUNTIME_DIR/pipewire-0" ] && break; sleep 0.1; done
  wireplumber >"$work/wireplumber.log" 2>&1 &
  server_pids+=($!)
  PIPEWIRE_DEBUG=2 pipewire-pulse >>"$work/server.log" 2>&1 &
  server_pids+=($!)
  export PULSE_SERVER="unix:$XDG_RUNTIME_DIR/pulse/native"
  wait_pactl || { echo "PipeWire's PulseAudio face did not start"; cat "$work/server.log"; exit 1; }
  # The face answers before the graph is ready for a sink: asked again.
  for _ in $(seq 50); do
    pactl load-module module-null-sink sink_name=bench rate=48000 channels=2 format=float32le >/dev/null 2>&1 && break
    sleep 0.2
  done
  pactl set-default-sink bench || { echo "PipeWire took no null sink"; cat "$work/server.log"; exit 1; }
  pw-metadata -n settings 0 clock.force-quantum "$period" >/dev/null
  sleep 1
  ;;
jack)
  # The server's name is ours alone; JACK's clients (dzq, fluidsynth, the
  # tap) find it through JACK_DEFAULT_SERVER. No PulseAudio to fall back on.
  export JACK_DEFAULT_SERVER="dzq-bench-$$" PULSE_SERVER="unix:$XDG_RUNTIME_DIR/no-pulse"
  cc -O2 -o "$work/bench_jack_tap" "$here/bench_jack_tap.c" -ljack
  jackd -n "$JACK_DEFAULT_SERVER" -R -d dummy -r 48000 -p "$period" >"$work/server.log" 2>&1 &
  server_pids+=($!)
  for _ in $(seq 100); do jack_lsp >/dev/null 2>&1 && break; sleep 0.1; done
  jack_lsp >/dev/null 2>&1 || { echo "the private jackd did not start"; cat "$work/server.log"; exit 1; }
  extra=(--tap "$work/bench_jack_tap")
  ;;
esac

programs=("$@")
[ ${#programs[@]} -eq 0 ] && programs=("$top/build/dzq")
pids="$(IFS=,; echo "${server_pids[*]}")"
python3 "$here/bench_audio_e2e.py" --work "$work" --server "$server" --period "$period" \
  --server-pid "$pids" --server-log "$work/server.log" "${extra[@]}" "${programs[@]}"
