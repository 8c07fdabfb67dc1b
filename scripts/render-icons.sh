#!/usr/bin/env bash
# Renders the program's icon (data/icons/tessaloom.svg) into the PNG sizes that the
# desktop's icon theme and the windows use. The PNGs are committed; run this again
# after changing the SVG. Needs rsvg-convert (Debian package librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/.."
for size in 16 32 48 64 128 256; do
  out="data/icons/hicolor/${size}x${size}/apps/tessaloom.png"
  mkdir -p "$(dirname "$out")"
  rsvg-convert --width "$size" --height "$size" data/icons/tessaloom.svg --output "$out"
done
