#!/usr/bin/env bash
# Installs the Debian 12 packages TIDEBELL needs to build and run.
# With --test it also installs what the tests use (archivers that make
# real archives, sox, a sound server with a silent sink, a virtual X server,
# clang for the fuzz targets, lintian for the package, clang-format for the
# style check, and for the end-to-end cases a window manager, XTest input, a
# session bus with the accessibility bus and its bindings).
set -euo pipefail

run_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

build_pkgs=(
  build-essential cmake ninja-build pkg-config python3
  qt6-base-dev libgl-dev
  libarchive-dev liblhasa-dev libunarr-dev zlib1g-dev
  libsndfile1-dev libpulse-dev libasound2-dev
  libavformat-dev libavcodec-dev libswresample-dev libavutil-dev
  sound-theme-freedesktop
  libgtest-dev libgmock-dev
  libglib2.0-dev libcanberra-dev
  fonts-ipafont-gothic
)
test_pkgs=(
  jlha-utils gcab arj libarchive-tools 7zip sox librsvg2-bin unzip zip python3 lhasa
  pulseaudio pulseaudio-utils
  xvfb xauth clang libclang-rt-14-dev
  desktop-file-utils xdg-utils libglib2.0-bin gsettings-desktop-schemas
  twm ffmpeg lintian clang-format xfonts-base
  xdotool x11-utils libxtst6 dbus-daemon at-spi2-core python3 python3-pyatspi gir1.2-atspi-2.0
  xfconf libxfconf-0-3 libkf5config-bin mate-desktop-common cinnamon-desktop-data
)

pkgs=("${build_pkgs[@]}")
if [ "${1:-}" = "--test" ]; then
  pkgs+=("${test_pkgs[@]}")
fi

missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  run_root apt-get update -q
  run_root apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
