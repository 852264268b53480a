#!/usr/bin/env bash
# Installs the built program into a staging prefix as the README says
# (stripped) and checks it as a desktop would see it: the files are in
# place, the program carries no debugging data, the menu entry (which
# offers the program for MIDI files) and the AppStream metainfo validate,
# and the installed program starts under Xvfb with a fresh home, copies its
# shipped files into the documents folder, opens and plays a score named on
# its command line and ends through "退出"; started again as a file manager
# starts it for a MIDI file (Exec=dzq %f), it takes the song's melody as
# its score, which "试听" plays.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${DZQ_BUILD_DIR:-$here/build}"
id=io.github.quorvane.dzq

fail() { echo "install: FAIL: $*" >&2; exit 1; }
step() { echo "install: $*"; }

under_x() {
  stage=$1
  dzq="$stage/usr/bin/dzq"
  export HOME="$stage/home" QT_QPA_PLATFORM=xcb TMPDIR="$stage/tmp" XDG_RUNTIME_DIR="$stage/runtime"
  unset XDG_CONFIG_HOME XDG_DOCUMENTS_DIR
  mkdir -p "$HOME" "$TMPDIR" && mkdir -m 700 "$XDG_RUNTIME_DIR"
  pid=""
  trap '[ -z "$pid" ] || kill "$pid" 2>/dev/null || true' EXIT
  # window_titled VARIABLE TITLE: a visible window of the program with exactly that title.
  window_titled() {
    for w in $(xdotool search --onlyvisible --pid "$pid" 2>/dev/null); do
      if [ "$(xdotool getwindowname "$w" 2>/dev/null)" = "$2" ]; then
        eval "$1=\$w"
        return 0
      fi
    done
    return 1
  }
  # A note-on with a velocity above zero in the MIDI log.
  played() {
    [ -f "$log" ] || return 1
    while read -r line; do
      # Description lines ("# …") and anything that is no packed message are skipped.
      token=${line##* }
      [[ $line != '#'* && $token =~ ^0x[0-9a-fA-F]+$ ]] || continue
      v=$((token))
      (( (v & 0xf0) == 0x90 && ((v >> 16) & 0x7f) > 0 )) && return 0
    done <"$log"
    return 1
  }
  # until_ok TENTHS COMMAND...: retries every 0.1 s.
  until_ok() {
    n=$1
    shift
    for _ in $(seq "$n"); do
      "$@" && return 0
      kill -0 "$pid" 2>/dev/null || fail "the installed program ended by itself"
      sleep 0.1
    done
    return 1
  }
  # play FILE WHAT [THEN]: starts the installed program with FILE on its
  # command line, passes the welcome dialog, runs THEN, waits for the first
  # note and quits.
  play() {
    log="$stage/midi-$RANDOM.log"
    "$dzq" --midi-log "$log" "$1" &
    pid=$!
    welcome=""
    until_ok 300 window_titled welcome "欢迎使用Quorvane电子琴" || fail "no welcome dialog within 30 s"
    xdotool mousemove --window "$welcome" 344 278 && sleep 0.2 && xdotool click 1
    main=""
    until_ok 200 window_titled main "Quorvane电子琴2012" \
      || fail "no main window titled exactly \"Quorvane电子琴2012\" within 20 s"
    step "main window titled \"$(xdotool getwindowname "$main")\""
    [ -z "${3:-}" ] || "$3"
    until_ok 200 played || fail "the $2 named on the command line played no note within 20 s"
    step "the $2 named on the command line plays"
    xdotool mousemove --window "$main" 958 190 && sleep 0.2 && xdotool click 1
    for _ in $(seq 120); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -0 "$pid" 2>/dev/null && fail "the installed program did not end within 12 s of \"退出\""
    wait "$pid" || fail "the installed program ended with an error"
    pid=""
  }
  # A visible window of the program other than the main window.
  another_window() {
    for w in $(xdotool search --onlyvisible --pid "$pid" 2>/dev/null); do
      [ "$w" != "$main" ] && { eval "$1=\$w"; return 0; }
    done
    return 1
  }
  # A MIDI file becomes the score, a box says so, and "试听" plays it.
  midi_imported() {
    box=""
    until_ok 200 another_window box || fail "no box tells that the MIDI file was imported"
    xdotool windowfocus --sync "$box" && xdotool key Return
    until_ok 50 eval '! another_window box' || fail "the box of the imported MIDI file did not close on Enter"
    xdotool mousemove --window "$main" 345 192 && sleep 0.2 && xdotool click 1
  }
  score="$stage/usr/share/dzq/演奏记录/小星星.txt"
  play "$score" score
  [ -f "$HOME/Documents/演奏记录/1-24.bin" ] || fail "the shipped rhythms were not copied into the documents folder"
  [ ! -e "$stage/usr/bin/演奏记录" ] || fail "the installed program made a record folder beside itself"
  step "the record folder is in the documents folder, with the shipped files"
  # A MIDI file, made by the installed program from the same score.
  song="$stage/小星星.mid"
  "$dzq" --render "$score" -o "$song" >/dev/null || fail "the installed program could not export $score to MIDI"
  play "$song" "MIDI file" midi_imported
  exit 0
}
# Under the X server (run through xvfb-run by the check below). Should the
# check be cut short by a shell error, it fails here instead of going on
# into the staging part below.
[ "${1:-}" = "--under-x" ] && under_x "$2"
[ "${1:-}" = "--under-x" ] && fail "the check under X stopped early"

stage="$(mktemp -d "${TMPDIR:-/tmp}/dzq-install.XXXXXX")"
trap 'rm -rf "$stage"' EXIT
cmake --install "$build" --prefix "$stage/usr" --strip >/dev/null
for f in bin/dzq share/applications/$id.desktop share/icons/hicolor/scalable/apps/$id.svg \
         share/metainfo/$id.metainfo.xml share/man/man1/dzq.1.gz share/dzq/演奏记录/小星星.txt \
         share/doc/dzq/copyright share/doc/dzq/LICENSE; do
  [ -e "$stage/usr/$f" ] || fail "$f was not installed"
done
# The Debian changelog goes into the package only.
[ ! -e "$stage/usr/share/doc/dzq/changelog.Debian.gz" ] || fail "the Debian changelog was installed"
step "installed into $stage/usr"
if readelf -S "$stage/usr/bin/dzq" | grep -Eq ' \.(debug_info|symtab) '; then
  fail "the installed program is not stripped ($(stat -c %s "$stage/usr/bin/dzq") bytes)"
fi
step "the installed program is stripped ($(stat -c %s "$stage/usr/bin/dzq") bytes)"
entry="$stage/usr/share/applications/$id.desktop"
grep -Eq '^MimeType=(.*;)?audio/midi;' "$entry" || fail "the desktop file does not offer the program for MIDI files"
grep -q '^Exec=dzq %f$' "$entry" || fail "the desktop file does not hand the program the file opened"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$entry" || fail "the desktop file does not validate"
  step "desktop file valid"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net --pedantic "$stage/usr/share/metainfo/$id.metainfo.xml" >"$stage/appstream.txt" \
    || { cat "$stage/appstream.txt" >&2; fail "the AppStream metainfo does not validate"; }
  step "AppStream metainfo valid"
fi
# libsmf reads MIDI files back in the tests; the program has no use for it.
if ldd "$stage/usr/bin/dzq" | grep -q libsmf; then
  fail "the installed program is linked with libsmf"
fi
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$stage/usr/bin/dzq" --version \
  || fail "the installed program's --version failed"
if command -v xvfb-run >/dev/null && command -v xdotool >/dev/null; then
  timeout 150 xvfb-run -a -s "-screen 0 1280x800x24" "$0" --under-x "$stage" || fail "the installed program failed"
  step "the installed program ran"
else
  step "SKIP: xvfb-run or xdotool missing, the installed program was not started"
fi
echo "install: OK"
