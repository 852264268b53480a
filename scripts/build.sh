#!/usr/bin/env bash
# Configures and builds into build/ (Release with debug info unless told otherwise).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${DZQ_BUILD_DIR:-$here/build}"
# A checkout copied or moved after configuring: CMake refuses a cache made
# for another source folder, so the stale cache goes and the build is
# configured afresh (objects are rebuilt as needed).
if [ -e "$build" ] && [ ! -w "$build" ]; then
  echo "build: $build cannot be written by $(id -un) (built as root before?)." >&2
  echo "build: give it back with: sudo chown -R $(id -un): $build" >&2
  exit 1
fi
cache="$build/CMakeCache.txt"
if [ -f "$cache" ]; then
  configured="$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$cache")"
  if [ -n "$configured" ] && [ "$(cd "$configured" 2>/dev/null && pwd -P)" != "$(cd "$here" && pwd -P)" ]; then
    echo "build: $build was configured for $configured; configuring it afresh for $here"
    rm -rf "$cache" "$build/CMakeFiles"
  fi
fi
# DZQ_WERROR=1 (as CI sets it) turns every compiler warning into an error.
werror=-DDZQ_WERROR=OFF
[ "${DZQ_WERROR:-0}" = 1 ] && werror=-DDZQ_WERROR=ON
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${DZQ_BUILD_TYPE:-RelWithDebInfo}" "$werror" "$@" >/dev/null
cmake --build "$build"
