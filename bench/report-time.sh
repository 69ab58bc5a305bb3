#!/usr/bin/env bash
# Time and size of the trip report of a long trip. kestroview-trip-maker writes 1,000,000 rows
# of the simulator's drive (9 h 16 min at 30 lines a second) through the dashboard's own trip log
# writer; kestroview-report then turns it into a report five times. Prints each run's wall time
# and peak memory, the median time, and the sizes of the trip log and the report.
#   bench/report-time.sh [build folder] [rows]      (default build/default, 1000000)
set -euo pipefail

build=$(realpath "${1:-build/default}")
rows=${2:-1000000}
maker="$build/tools/simulator/kestroview-trip-maker"
report="$build/tools/report/kestroview-report"
for f in "$maker" "$report"; do
    [ -x "$f" ] || { echo "missing $f: build first" >&2; exit 1; }
done
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
trip="$folder/kestro_trip_1796710054.csv"

"$maker" "$trip" --rows "$rows" --warm-up 20 --rint 0.2 --voc-fall 2
echo "trip log: $rows rows, $(stat -c %s "$trip") bytes"

times=()
for run in 1 2 3 4 5; do
    start=$(date +%s%N)
    if [ -x /usr/bin/time ]; then
        /usr/bin/time -f "%M" -o "$folder/memory" "$report" "$trip" -o "$folder/report.html" >/dev/null
        memory="$(cat "$folder/memory") KiB peak"
    else
        "$report" "$trip" -o "$folder/report.html" >/dev/null
        memory="(no /usr/bin/time for the memory)"
    fi
    end=$(date +%s%N)
    ms=$(((end - start) / 1000000))
    times+=("$ms")
    echo "run $run: $ms ms, $memory"
done
median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n 3p)
echo "median: $median ms; report: $(stat -c %s "$folder/report.html") bytes"
