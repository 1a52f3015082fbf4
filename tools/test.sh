#!/usr/bin/env bash
# Installs, builds and runs every test, as CI does.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh --test
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
# Short, bounded fuzzing of the archiver libraries' parsers and readers.
if [ -f tools/fuzz.sh ]; then
  bash tools/fuzz.sh
fi
# The unit tests last, so their summary closes the output. The sound tests
# play into a private sound server's silent sink.
bash tools/with-sound-server.sh ctest --test-dir build --output-on-failure -j2
