#!/usr/bin/env bash
# Takes a screenshot of the trip report of a simulated drive: kestroview-trip-maker writes 20
# minutes of the simulator's drive (a battery that sags enough to set off the voltage-drop
# warning and loses 10 V of open-circuit voltage an hour) through the dashboard's trip log
# writer, kestroview-report makes the page, and headless Chromium draws it, 1280 pixels wide.
# Builds nothing: uses the binaries under build/default.
# Usage: tools/report-screenshot.sh [output.png]   (default: docs/report-screenshot.png)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$root/docs/report-screenshot.png}")
maker="$root/build/default/tools/simulator/kestroview-trip-maker"
report="$root/build/default/tools/report/kestroview-report"

for f in "$maker" "$report"; do
    if [ ! -x "$f" ]; then
        echo "missing $f: build first (cmake --preset default && cmake --build --preset default)" >&2
        exit 1
    fi
done
command -v chromium >/dev/null || { echo "missing chromium (tools/setup-deps.sh)" >&2; exit 1; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
trip="$scratch/kestro_trip_1796710054.csv"
"$maker" "$trip" --rows 36000 --warm-up 20 --rint 0.2 --voc-fall 10
(cd "$scratch" && "$report" "$(basename "$trip")" -o report.html >/dev/null)

# Chromium's own files go to the scratch folder; with the network closed it must not try to
# reach anything of its own either.
mkdir -p "$(dirname "$out")"
HOME="$scratch" XDG_CONFIG_HOME="$scratch/config" XDG_CACHE_HOME="$scratch/cache" \
    chromium --headless --no-sandbox --disable-gpu --no-first-run --disable-background-networking \
    --disable-component-update --disable-sync --user-data-dir="$scratch/profile" \
    --hide-scrollbars --window-size=1280,3760 --screenshot="$out" \
    "file://$scratch/report.html" 2>"$scratch/chromium.log" ||
    { cat "$scratch/chromium.log" >&2; exit 1; }
echo "wrote $out"
