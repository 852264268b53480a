#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need,
# only those that are missing. Run as a user, it asks sudo for the
# installation only.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-svg-dev qt6-translations-l10n
  libfluidsynth-dev fluid-soundfont-gm timgm6mb-soundfont
  librtmidi-dev librtaudio-dev libpulse-dev libasound2-dev
  libsndfile1-dev libsamplerate0-dev libsmf-dev
  fonts-wqy-microhei fonts-arphic-ukai
  xvfb xauth xdotool
  # the accessibility test: the bus a screen reader uses, and its Python side
  at-spi2-core python3-pyatspi dbus-daemon dbus-bin
  python3
  musescore3
  desktop-file-utils appstream groff-base
  # the Debian package: cpack finds the libraries it needs with these
  dpkg-dev file
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null 2>&1; then
    echo "setup: missing packages: ${missing[*]}" >&2
    echo "setup: install them as root (apt-get install ${missing[*]}) or install sudo, then run this again" >&2
    exit 1
  fi
  sudo="sudo"
fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
