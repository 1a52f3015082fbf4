#!/usr/bin/env bash
# Renders the hand-written SVG pictures under ui/icons/ into the PNG files
# the program compiles in and installs. Run after changing an SVG; the PNGs
# are kept in the repository so a build needs no SVG renderer.
set -euo pipefail
cd "$(dirname "$0")/../ui/icons"
command -v rsvg-convert >/dev/null || { echo "rsvg-convert (librsvg2-bin) is needed" >&2; exit 1; }
mkdir -p png
for svg in src/*.svg; do
  name=$(basename "$svg" .svg)
  rsvg-convert -w 16 -h 16 "$svg" -o "png/$name.png"
  rsvg-convert -w 32 -h 32 "$svg" -o "png/$name@2x.png"
done
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" tidebell.svg -o "png/tidebell-$size.png"
done
