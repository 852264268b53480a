#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds everything and runs all tests.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/scripts/setup.sh"
"$here/scripts/build.sh"
cd "$here/build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2
