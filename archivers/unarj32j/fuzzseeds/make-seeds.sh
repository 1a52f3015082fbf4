#!/bin/sh
# Remakes the fuzzing seeds: small archives of every method made by arj.
set -e
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/snd/empty"
i=0
while [ $i -lt 60 ]; do echo "tide bell sound $i wave ring" >> "$work/snd/a.txt"; i=$((i + 1)); done
printf 'x' > "$work/one.bin"
for m in 0 1 2 3 4; do
  rm -f "m$m.arj"
  (cd "$work" && arj a -y -a1 -r -m$m "$OLDPWD/m$m.arj" "*" >/dev/null)
done
