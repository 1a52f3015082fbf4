#!/usr/bin/env bash
# Installs the Debian 12 packages TIDEBELL needs to build and run.
# With --test it also installs what the tests use (archivers that make
# real archives, sox, a virtual X server, clang for the fuzz targets).
set -euo pipefail

run_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

build_pkgs=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libgl-dev
  libarchive-dev liblhasa-dev libunarr-dev zlib1g-dev
  libsndfile1-dev libpulse-dev
  libgtest-dev libgmock-dev
  fonts-ipafont-gothic
)
test_pkgs=(
  jlha-utils gcab arj libarchive-tools 7zip sox unzip lhasa
  xvfb xauth clang libclang-rt-14-dev
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
