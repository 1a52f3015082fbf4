#!/usr/bin/env bash
# Installs, builds and runs every test, as CI does.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh --test
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTIDEBELL_FUZZ=ON
cmake --build build
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j2
