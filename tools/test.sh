#!/usr/bin/env bash
# Installs, builds and runs every test, as CI does: the unit tests in build/
# and once more under AddressSanitizer and UndefinedBehaviorSanitizer in
# build-asan/, the bounded fuzzing in build-fuzz/, and lintian on the Debian
# package built in build-pkg/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh --test
started=$SECONDS
# Every C and C++ source in the .clang-format style.
bash tools/check-format.sh
# Warnings in our code fail the build here (the build is kept free of them).
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTIDEBELL_WERROR=ON
cmake --build build
# Short, bounded fuzzing of the archiver libraries' parsers and readers.
if [ -f tools/fuzz.sh ]; then
  bash tools/fuzz.sh
fi

# The same tests with the sanitizers; any report fails the test it comes from.
# Debug keeps the build short and the reports' lines exact.
sanitize="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTIDEBELL_DEMO=OFF \
  -DCMAKE_C_FLAGS="$sanitize" -DCMAKE_CXX_FLAGS="$sanitize" \
  -DCMAKE_EXE_LINKER_FLAGS="$sanitize" -DCMAKE_SHARED_LINKER_FLAGS="$sanitize"
cmake --build build-asan

# The Debian package as the README builds it, held to lintian's errors and
# warnings.
cmake -S . -B build-pkg -G Ninja -DTIDEBELL_TESTS=OFF
cmake --build build-pkg
rm -f build-pkg/tidebell_*.deb
(cd build-pkg && cpack >cpack.log) || { cat build-pkg/cpack.log >&2; exit 1; }
lintian --fail-on error,warning --info --display-info --pedantic build-pkg/tidebell_*.deb

# The end-to-end cases once more, against the installed program.
bash tools/e2e-installed.sh build

# The unit tests last, so their summary closes the output. The sound tests
# play into a private sound server's silent sink; the end-to-end cases (label
# e2e) drive the built program in private X sessions, once, outside the
# sanitizer build. Tests labelled no-sanitizer say in their CMakeLists.txt why
# they cannot run there. Both runs always happen; either failing fails the
# command.
failed=0
# Leak checking stays off: Qt, fontconfig and the sound server's client keep
# allocations for the life of the process, which it would report as leaks.
ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:detect_stack_use_after_return=0} \
UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1} \
LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/tools/lsan.supp:print_suppressions=0} \
  bash tools/with-sound-server.sh ctest --test-dir build-asan --output-on-failure -j2 -LE 'no-sanitizer|e2e' || failed=1
bash tools/with-sound-server.sh ctest --test-dir build --output-on-failure -j2 || failed=1
echo "test.sh: done in $(((SECONDS - started) / 60)) min $(((SECONDS - started) % 60)) s"
exit $failed
