#!/usr/bin/env bash
# Configures and builds into build/ (Release with debug info unless told otherwise).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${DZQ_BUILD_DIR:-$here/build}"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${DZQ_BUILD_TYPE:-RelWithDebInfo}" "$@" >/dev/null
cmake --build "$build"
