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
# The end-to-end cases once more, against the installed program.
bash tools/e2e-installed.sh build
# The unit tests last, so their summary closes the output. The sound tests
# play into a private sound server's silent sink; the end-to-end cases
# (label e2e) drive the built program in private X sessions.
bash tools/with-sound-server.sh ctest --test-dir build --output-on-failure -j2
