#!/usr/bin/env bash
# Draws the setup dialog's banner into resources/images/banner.png: a cluster of three dials (a
# large speed dial between a battery-voltage and a motor-current dial) on a dark night-blue field,
# 291 x 165 pixels with an 8-bit palette. Needs ImageMagick and fonts-liberation2. The PNG is
# committed; run this again after changing it (the output carries no time stamps, so the same
# tools give the same bytes).
set -euo pipefail
cd "$(dirname "$0")/.."
out=resources/images/banner.png
mkdir -p "$(dirname "$out")"

fonts=/usr/share/fonts/truetype/liberation2
regular=$fonts/LiberationSans-Regular.ttf
bold=$fonts/LiberationSans-Bold.ttf
for f in "$regular" "$bold"; do
    [ -f "$f" ] || { echo "missing font $f (fonts-liberation2)" >&2; exit 1; }
done

# The field colour; the dialog paints the rest of the banner frame with it too.
field='#0b0f17'

# Draw commands for one dial: ticks, colour band, numbers, needle. Angles run clockwise on the
# screen from 135 degrees (lower left) over the top to 405 (lower right), as a car's dials do.
# Arguments: centre x, centre y, radius, tick count, label step, first label, needle fraction,
# fraction where the red band starts.
dial() {
    awk -v cx="$1" -v cy="$2" -v r="$3" -v n="$4" -v step="$5" -v first="$6" -v needle="$7" \
        -v red="$8" -v font="$regular" '
    # The band from fraction f0 to f1 of the scale, as short straight pieces: an open path would
    # be closed by its chord when stroked.
    function arc(colour, f0, f1,    steps, i, a0, a1) {
        steps = int((f1 - f0) * 135) + 1
        printf "stroke %s stroke-linecap round", colour
        for (i = 0; i < steps; i++) {
            a0 = (135 + 270 * (f0 + (f1 - f0) * i / steps)) * pi / 180
            a1 = (135 + 270 * (f0 + (f1 - f0) * (i + 1) / steps)) * pi / 180
            printf " line %.2f,%.2f %.2f,%.2f", cx + band * cos(a0), cy + band * sin(a0),
                cx + band * cos(a1), cy + band * sin(a1)
        }
        printf " stroke-linecap butt\n"
    }
    BEGIN {
        pi = atan2(0, -1)
        # Face and bezel.
        printf "stroke #59636f stroke-width %.1f fill #121a24 circle %.1f,%.1f %.1f,%.1f\n",
            r * 0.07, cx, cy, cx + r, cy
        # Colour band inside the ticks: green, then amber, then red at the top of the scale.
        band = r * 0.82
        printf "fill none stroke-width %.1f\n", r * 0.09
        arc("#2f9e44", 0, red - 0.15); arc("#e0a020", red - 0.15, red); arc("#d42a2a", red, 1)
        # Ticks: long ones every second step, short ones between.
        for (i = 0; i <= 2 * n; i++) {
            a = (135 + 270 * i / (2 * n)) * pi / 180
            inner = (i % 2 == 0) ? r * 0.70 : r * 0.78
            printf "stroke #e8edf2 stroke-width %.1f line %.1f,%.1f %.1f,%.1f\n",
                (i % 2 == 0) ? r * 0.035 + 0.6 : 0.8,
                cx + inner * cos(a), cy + inner * sin(a), cx + r * 0.90 * cos(a), cy + r * 0.90 * sin(a)
        }
        # Numbers at the long ticks.
        printf "stroke none fill #c9d2dc font \"%s\" font-size %.1f text-anchor middle\n", font, r * 0.16
        for (i = 0; i <= n; i++) {
            a = (135 + 270 * i / n) * pi / 180
            printf "text %.1f,%.1f \"%d\"\n", cx + r * 0.55 * cos(a), cy + r * 0.55 * sin(a) + r * 0.06,
                first + i * step
        }
        # Needle: a slim triangle from a short tail through the hub to the tip.
        a = (135 + 270 * needle) * pi / 180
        px = -sin(a); py = cos(a); w = r * 0.045
        printf "fill #ff3b30 stroke none polygon %.1f,%.1f %.1f,%.1f %.1f,%.1f\n",
            cx - r * 0.15 * cos(a) + w * px, cy - r * 0.15 * sin(a) + w * py,
            cx + r * 0.86 * cos(a), cy + r * 0.86 * sin(a),
            cx - r * 0.15 * cos(a) - w * px, cy - r * 0.15 * sin(a) - w * py
        printf "fill #d0d6dc stroke #3a424c stroke-width 1 circle %.1f,%.1f %.1f,%.1f\n",
            cx, cy, cx + r * 0.09, cy
    }'
}

# The caption under a dial's hub.
caption() { # x, y, size, colour, text
    printf 'stroke none fill %s font "%s" font-size %s text-anchor middle text %s,%s "%s"\n' \
        "$4" "$bold" "$3" "$1" "$2" "$5"
}

# Side dials first, so the speed dial overlaps them.
left="$(dial 50 100 40 5 10 90 0.62 0.85)$(caption 50 93 6.5 '#8fb8e0' 'BATTERY V')"
right="$(dial 241 100 40 6 100 0 0.38 0.80)$(caption 241 93 6.5 '#8fb8e0' 'MOTOR A')"
centre="$(dial 145.5 92 66 6 20 0 0.58 0.83)"
readout="$(caption 145.5 138 14 '#7dff8a' '72 km/h')$(caption 145.5 148 7 '#8fb8e0' 'SPEED')"
title="$(printf 'stroke none fill #e8edf2 font "%s" font-size 13 text-anchor start text 6,16 "KestroView"\n' "$bold")"

convert -size 291x165 "xc:$field" \
    -fill '#1a2a40' -stroke none -draw 'circle 145,92 145,12' -blur 0x18 \
    -draw "$left" -draw "$right" -draw "$centre" -draw "$readout" -draw "$title" \
    -strip -define png:exclude-chunks=date,time -colors 256 "PNG8:$out"
echo "wrote $out"
# The Windows dialog's bitmap resource: the same picture, 8 bits per pixel.
convert "$out" -type Palette -compress None BMP3:"${out%.png}.bmp"
