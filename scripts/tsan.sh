#!/usr/bin/env bash
# Builds the tests that drive the real audio thread with ThreadSanitizer
# into build-tsan/ (at -O1, through ccache when it is installed) and runs
# them: the lock-free queues under two threads, the synthesizer gate,
# sound-font switches while rendering, takes and the MIDI input queues.
# Any report fails the run.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${DZQ_TSAN_BUILD_DIR:-$here/build-tsan}"
tests=(test_platform_audio test_platform_midi test_platform_media)
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
start=$(date +%s)
cmake -S "$here" -B "$build" -G Ninja -DDZQ_TSAN=ON -DDZQ_THREAD_CHECKS=ON -DDZQ_BENCHMARKS=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" \
  "${launcher[@]}" "$@" >/dev/null
cmake --build "$build" --target "${tests[@]}"
built=$(date +%s)
cd "$build"
pattern="^($(IFS='|'; echo "${tests[*]}"))\$"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 -R "$pattern"
echo "thread sanitizer: build $((built - start)) s, tests $(($(date +%s) - built)) s"
