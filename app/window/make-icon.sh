#!/usr/bin/env bash
# Draws the program's icon (a blue file with a downward arrow: an older
# version) at 16, 32 and 48 pixels and packs it into QwzDowngrader.ico.
# Run by hand when the drawing changes; the .ico is kept in the sources.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# Drawn once at 256 pixels, then scaled down.
convert -size 256x256 xc:none \
  -fill '#1e5aa8' -stroke '#0d2f5c' -strokewidth 8 \
  -draw 'path "M 40,16 L 164,16 L 216,68 L 216,240 L 40,240 Z"' \
  -fill '#7fb2ea' -stroke '#0d2f5c' -strokewidth 8 \
  -draw 'path "M 164,16 L 164,68 L 216,68 Z"' \
  -fill white -stroke none \
  -draw 'path "M 104,72 L 152,72 L 152,148 L 188,148 L 128,212 L 68,148 L 104,148 Z"' \
  "$tmp/icon256.png"
for s in 16 32 48; do
  convert "$tmp/icon256.png" -filter Lanczos -resize ${s}x${s} "PNG32:$tmp/icon$s.png"
done
convert "$tmp/icon16.png" "$tmp/icon32.png" "$tmp/icon48.png" QwzDowngrader.ico
