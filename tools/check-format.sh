#!/usr/bin/env bash
# Fails when a tracked C or C++ source differs from .clang-format's style.
# With --fix it rewrites them instead.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v clang-format >/dev/null; then
  echo "check-format.sh: clang-format is not installed (tools/install-deps.sh --test installs it)" >&2
  exit 1
fi
mapfile -t files < <(git ls-files -- '*.c' '*.cpp' '*.h' '*.hpp')
if [ "${1:-}" = "--fix" ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
clang-format --dry-run --Werror "${files[@]}"
echo "check-format.sh: ${#files[@]} sources follow .clang-format"
