#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds Quorvane 电子琴 and starts it.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/scripts/setup.sh"
# Started through sudo: with the packages in place, the build (and the
# program) belong to the user who asked, so build/ and its record folder
# stay theirs.
if [ "$(id -u)" -eq 0 ] && [ -n "${SUDO_USER:-}" ] && [ "$SUDO_USER" != root ]; then
  exec "$here/scripts/as_user.sh" "$SUDO_USER" "$0" "$@"
fi
"$here/scripts/build.sh"
exec "$here/build/dzq" "$@"
