#!/usr/bin/env bash
# Runs the end-to-end cases against the installed program: installs the
# build into a temporary prefix and drives the TIDEBELL found there, or the
# program given as the argument (for instance /usr/bin/TIDEBELL from the
# Debian package).
#   bash tools/e2e-installed.sh [build folder | program]
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:-build}
prefix=
cleanup() {
  case "$prefix" in /tmp/tidebell-install.*) rm -rf "$prefix" ;; esac
}
trap cleanup EXIT
if [ -d "$target" ]; then
  prefix=$(mktemp -d /tmp/tidebell-install.XXXXXX)
  cmake --install "$target" --prefix "$prefix" >/dev/null
  program=$prefix/bin/TIDEBELL
else
  program=$target
fi
/usr/bin/python3 tests/e2e/run.py --program "$program" --jobs 2
