#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds Quorvane 电子琴 and starts it.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/scripts/setup.sh"
"$here/scripts/build.sh"
exec "$here/build/dzq" "$@"
