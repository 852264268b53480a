#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need,
# only those that are missing. Run as a user, it asks sudo for the
# installation only.
set -euo pipefail

# Installed first, in an apt call of its own: librtmidi-dev depends on
# "libjack-dev | libjack-jackd2-dev", and jackd2 (the JACK server of the
# MIDI keyboard test) conflicts with libjack-dev. With JACK 2's headers in
# place first, apt never removes RtMidi's headers to make room for jackd2.
first=(libjack-jackd2-dev)

packages=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-svg-dev qt6-translations-l10n
  libfluidsynth-dev libglib2.0-dev fluid-soundfont-gm timgm6mb-soundfont
  librtmidi-dev librtaudio-dev libpulse-dev libasound2-dev
  # a JACK server for the test in which a MIDI keyboard plays the program
  jackd2
  libsndfile1-dev libsamplerate0-dev libsmf-dev zlib1g-dev
  fonts-wqy-microhei fonts-arphic-ukai
  xvfb xauth xdotool
  # where a test's program got stuck: the stacks of its threads
  gdb
  # the accessibility test: the bus a screen reader uses, and its Python side
  at-spi2-core python3-pyatspi dbus-daemon dbus-bin
  python3
  musescore3
  desktop-file-utils appstream groff-base
  # the Debian package: cpack finds the libraries it needs with these,
  # lintian checks the package as Debian would
  dpkg-dev file lintian
)

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
missing_first=()
for p in "${first[@]}"; do
  installed "$p" || missing_first+=("$p")
done
missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done

if [ ${#missing_first[@]} -eq 0 ] && [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null 2>&1; then
    echo "setup: missing packages: ${missing_first[*]} ${missing[*]}" >&2
    echo "setup: install them as root (apt-get install ${missing_first[*]}, then apt-get install ${missing[*]})" \
      "or install sudo, then run this again" >&2
    exit 1
  fi
  sudo="sudo"
fi
echo "Installing: ${missing_first[*]} ${missing[*]}"
$sudo apt-get update -qq
if [ ${#missing_first[@]} -gt 0 ]; then
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing_first[@]}"
fi
if [ ${#missing[@]} -gt 0 ]; then
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
