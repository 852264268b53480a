#!/usr/bin/env bash
# Builds the Debian package with CPack, checks it with lintian (no error,
# the program hardened), checks what it holds and needs, installs it with apt-get as a user would, runs the installed program
# (--version and an export of a shipped score to MIDI and WAV) and removes
# the package again. Runs as root or through sudo on a machine where the
# package is not installed; whatever happens, the package is removed before
# the script ends.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${DZQ_BUILD_DIR:-$here/build}"

fail() { echo "deb: FAIL: $*" >&2; exit 1; }
step() { echo "deb: $*"; }

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
installed() { dpkg-query -W -f='${Status}' dzq 2>/dev/null | grep -q "installed"; }
installed && fail "a package dzq is installed on this machine already; this check leaves it alone"

work="$(mktemp -d "${TMPDIR:-/tmp}/dzq-deb.XXXXXX")"
# apt reads the package as its own user.
chmod 755 "$work"
ours=""
cleanup() {
  if [ -n "$ours" ] && installed; then
    step "removing the package"
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq dzq >/dev/null \
      || $sudo dpkg --remove --force-remove-reinstreq dzq >/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

# Runs a command quietly; its output is shown when it fails.
quiet() { "$@" >"$work/log" 2>&1 || { cat "$work/log" >&2; return 1; }; }
command -v lintian >/dev/null || fail "lintian is not installed (scripts/setup.sh installs it)"
(cd "$build" && quiet cpack -G DEB -B "$work/pkg") || fail "cpack could not build the package"
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
debs=("$work/pkg"/dzq_"${version}"-*_"$(dpkg --print-architecture)".deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "no one dzq_${version}-*.deb was built: ${debs[*]}"
deb=${debs[0]}
step "built $(basename "$deb")"

# Debian's checks: no error, and none of the hardening tags (shown at the
# info level) that say the program was built without the release flags.
lintian --fail-on none --display-info "$deb" >"$work/lintian.txt" 2>&1 \
  || { cat "$work/lintian.txt" >&2; fail "lintian could not check the package"; }
sed 's/^/deb: lintian: /' "$work/lintian.txt"
! grep -q '^E: ' "$work/lintian.txt" || fail "lintian reports errors"
! grep -q ' hardening-' "$work/lintian.txt" || fail "lintian finds the program not hardened"
step "lintian: no error, hardened ($(grep -c '^[WI]: ' "$work/lintian.txt") warnings and infos)"

# What the package needs: the libraries found from the program, a sound
# font, and no library that only the tests use.
depends="$(dpkg-deb -f "$deb" Depends)"
for needed in libfluidsynth3 libqt6widgets6 libsndfile1 fluid-soundfont-gm qt6-translations-l10n; do
  [[ ", $depends," == *", $needed"[\ ,]* ]] || fail "the package does not depend on $needed: $depends"
done
[[ $depends != *libsmf* ]] || fail "the package depends on libsmf, which only the tests use"
step "depends on: $depends"

# What it holds: exactly what the installation puts under /usr, with the
# Debian changelog in place of the licence text.
for component in Unspecified debian; do
  cmake --install "$build" --prefix "$work/stage/usr" --component "$component" >/dev/null
done
(cd "$work/stage" && find . ! -type d | sort) >"$work/installed.txt"
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^[^.]*\./, "."); print }' | sort >"$work/packaged.txt"
diff -u "$work/installed.txt" "$work/packaged.txt" >&2 \
  || fail "the package does not hold what the installation installs"
step "holds the $(wc -l <"$work/installed.txt") files of the installation"

ours=1
quiet $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" \
  || fail "apt-get could not install the package"
installed || fail "the package is not installed after apt-get install"
[ -x /usr/bin/dzq ] || fail "/usr/bin/dzq is missing after the installation"
step "installed with apt-get"

# The installed program without a display, in a home of its own.
run() { env -u DISPLAY -u WAYLAND_DISPLAY HOME="$work/home" XDG_RUNTIME_DIR= /usr/bin/dzq "$@"; }
mkdir -p "$work/home"
shown="$(run --version)" || fail "the installed dzq --version failed"
[[ $shown == *"$version"* ]] || fail "dzq --version says \"$shown\", not version $version"
step "dzq --version: $shown"
score=/usr/share/dzq/演奏记录/小星星.txt
run --render "$score" -o "$work/out.mid" >/dev/null || fail "the installed program could not export $score to MIDI"
[ "$(head -c 4 "$work/out.mid")" = MThd ] || fail "the MIDI export is no Standard MIDI File"
run --render "$score" -o "$work/out.wav" >/dev/null 2>"$work/render.err" \
  || { cat "$work/render.err" >&2; fail "the installed program could not export $score to WAV"; }
[ "$(head -c 4 "$work/out.wav")" = RIFF ] && [ "$(stat -c %s "$work/out.wav")" -gt 48000 ] \
  || fail "the WAV export is no recording"
step "the installed program exports a shipped score to MIDI and WAV"

quiet $sudo env DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq dzq || fail "apt-get could not remove the package"
installed && fail "the package is still installed after apt-get remove"
[ ! -e /usr/bin/dzq ] || fail "/usr/bin/dzq is left after the removal"
step "removed again"
echo "deb: OK"
