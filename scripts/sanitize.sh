#!/usr/bin/env bash
# Builds everything but the benchmarks with AddressSanitizer,
# UndefinedBehaviorSanitizer and the threads' role checks into build-asan/
# (at -O1, through ccache when it is installed) and runs the whole test suite there.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${DZQ_ASAN_BUILD_DIR:-$here/build-asan}"
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
start=$(date +%s)
cmake -S "$here" -B "$build" -G Ninja -DDZQ_SANITIZE=ON -DDZQ_THREAD_CHECKS=ON -DDZQ_BENCHMARKS=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" \
  "${launcher[@]}" "$@" >/dev/null
cmake --build "$build"
built=$(date +%s)
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2
echo "sanitizer suite: build $((built - start)) s, tests $(($(date +%s) - built)) s"
