#!/usr/bin/env bash
# Draws the program's icon, a disc with an arrow leaving it, and writes app/entry/lumbrake.ico
# (256, 48, 32, 24 and 16 pixels). Run it again after changing the drawing; the .ico is kept
# in the repository so that a build needs no ImageMagick.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-app/entry/lumbrake.ico}
work=$(mktemp -d "${TMPDIR:-/tmp}/lumbrake-icon.XXXXXX")
trap 'rm -rf "$work"' EXIT

# On a 256-pixel canvas: a silver disc with a darker rim, the hub and its hole, a light sheen,
# and a green arrow pointing down and to the right, out of the disc.
convert -size 256x256 xc:none \
  -fill '#b9c3cf' -stroke '#4a5566' -strokewidth 8 -draw 'circle 112,112 112,12' \
  -fill none -stroke '#e8edf3' -strokewidth 14 -draw 'arc 40,40 184,184 200,260' \
  -fill '#8d99a8' -stroke '#4a5566' -strokewidth 6 -draw 'circle 112,112 112,74' \
  -fill '#ffffff' -stroke '#4a5566' -strokewidth 4 -draw 'circle 112,112 112,96' \
  -fill '#2e9e4f' -stroke '#145c2a' -strokewidth 6 -strokewidth 6 \
  -draw 'polygon 138,150 186,150 186,118 246,188 186,250 186,218 138,218' \
  "$work/icon.png"
convert "$work/icon.png" -depth 8 -define icon:auto-resize=256,48,32,24,16 "$out"
identify "$out"
