#!/bin/sh
# Renders the hicolor PNGs of the program icon from slimtag.svg, the one source of its artwork;
# the PNGs are kept in the repository so that the build needs no converter. Needs rsvg-convert
# (Debian: librsvg2-bin). Run from anywhere after changing the SVG, and commit the PNGs.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
command -v rsvg-convert >/dev/null || {
  echo "make-icons.sh: не найдена программа rsvg-convert (пакет librsvg2-bin)" >&2
  exit 2
}
for size in 16 24 32 48 64 128 256; do
  out="$here/hicolor/${size}x${size}/apps/slimtag.png"
  mkdir -p "$(dirname "$out")"
  rsvg-convert --width "$size" --height "$size" --format png --output "$out" "$here/slimtag.svg"
done
