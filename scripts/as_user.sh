#!/usr/bin/env bash
# as_user.sh USER COMMAND...: runs a command as USER, from root, with the
# user's home and, when the user is logged in, their runtime folder (their
# sound server and desktop bus).
set -euo pipefail
user=$1
shift
runtime="/run/user/$(id -u "$user")"
if [ -d "$runtime" ]; then
  exec runuser -u "$user" -- env XDG_RUNTIME_DIR="$runtime" "$@"
fi
exec runuser -u "$user" -- env -u XDG_RUNTIME_DIR "$@"
