#!/usr/bin/env bash
# Draws the program icon (a dial with a red needle) at 16, 32, 48 and 256 pixels into
# resources/icons/. Needs ImageMagick. The PNGs are committed; run again after changing this.
set -euo pipefail
cd "$(dirname "$0")/.."
out=resources/icons
mkdir -p "$out"

# Drawn once at 256 pixels and scaled down, so every size shows the same picture.
convert -size 256x256 xc:none \
    -fill '#202428' -stroke none -draw 'circle 128,128 128,6' \
    -fill none -stroke '#b3b3b3' -strokewidth 14 -draw 'circle 128,128 128,18' \
    -stroke '#ff2020' -strokewidth 10 \
    -draw 'line 58,188 74,172' -draw 'line 34,128 56,128' -draw 'line 58,68 74,84' \
    -draw 'line 128,34 128,56' -draw 'line 198,68 182,84' -draw 'line 222,128 200,128' \
    -stroke '#ffffff' -strokewidth 16 -draw 'line 128,128 196,74' \
    -fill '#ffffff' -stroke none -draw 'circle 128,128 128,146' \
    -fill '#30e040' -draw 'rectangle 96,190 160,206' \
    "$out/kestroview-256.png"
for size in 48 32 16; do
    convert "$out/kestroview-256.png" -resize ${size}x${size} "$out/kestroview-$size.png"
done
# The Windows program's icon resource: the 32 and 16 pixel images, in 16 colours as the window
# class and the dialog have always asked for.
convert "$out/kestroview-32.png" "$out/kestroview-16.png" -depth 4 -colors 16 "$out/kestroview.ico"
