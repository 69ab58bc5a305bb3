#!/usr/bin/env bash
# The dashboard beside a generic live plotter, in one run: the simulator plays COM1 at 20 lines a
# second from the start of its pull-away, the program runs as in bench/running-cpu.sh (1024 x 768,
# 3 x 4 cells with the battery model), and Kst (Debian's kst package) plots 11 columns of the
# trip log the program writes, against its ms column, as the log grows, in a window of the
# dashboard's size. Kst reads
# whitespace-separated columns by default, so the log reaches it through `tr`, line by line.
# Over the same 10 s, both programs' processor time (all threads) is read, and the dashboard's
# presented frames. Kst redraws at most once per its minimum update period: each PERIOD given
# (ms, default "50 200": 20 redraws a second, and Kst's default of 5) is one run per round. Kst
# draws every row it holds on each redraw, so its cost grows with the log: the 10 s start after
# the log has grown for WARM seconds (-w, default 2).
#   tools/with-xvfb.sh bench/plotter-cpu.sh [-n ROUNDS] [-p "PERIODS"] [-w WARM] [program]
# Needs kst2, an X display, xdotool, ImageMagick's import and perl.
set -euo pipefail

rounds=3
periods="50 200"
warm=2
here=$(dirname "$(realpath "$0")")
# shellcheck source=bench/bench-support.sh
. "$here/bench-support.sh"
while [ $# -gt 0 ]; do
    case $1 in
    -n) rounds=$2; shift 2 ;;
    -p) periods=$2; shift 2 ;;
    -w) warm=$2; shift 2 ;;
    *) break ;;
    esac
done
command -v kst2 >/dev/null || { echo "kst2 is not installed (sudo apt-get install kst)" >&2; exit 1; }
program=$(realpath "${1:-build/default/kestroview}")
counter=$(realpath build/default/tests/libkv_swap_counter.so)
simulator=$(realpath build/default/tools/simulator/kestroview-sim)
hz=$(getconf CLK_TCK)

pid="" sim="" kst="" feed="" folder="" log=""
cleanup() {
    for p in "$kst" "$feed" "$pid" "$sim"; do
        [ -n "$p" ] && { kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; }
    done
    # The capture log and the trip log beside it are this run's own.
    [ -n "$log" ] && rm -f "$log" "$(kv_trip_log "$log")"
    [ -n "$folder" ] && rm -rf "$folder"
    pid="" sim="" kst="" feed="" folder="" log=""
}
trap cleanup EXIT

ticksOf() { sed 's/.*) //' "/proc/$1/stat" | awk '{print $12 + $13}'; }

# One run with Kst's minimum update period $1; prints "dashboard% fps kst%".
measure() {
    folder=$(mktemp -d)
    kv_write_settings "$folder/KestroView.ini" 1 2 # 3 x 4, 1024 x 768
    (cd "$folder" && exec "$simulator" --rate 20 --start-at 2 >sent.txt 2>sim.txt) &
    sim=$!
    kv_wait_until 10 test -L "$folder/COM1" || { echo "the simulator did not start" >&2; return 1; }
    (cd "$folder" && KV_SWAP_COUNT_FILE="$folder/swaps" LD_PRELOAD="$counter" \
        exec "$program" nosetup >out.txt 2>err.txt) &
    pid=$!
    kv_start_link "$pid" "$folder" || return 1
    findLog() { log=$(kv_capture_log "$pid") && [ -n "$log" ]; }
    kv_wait_until 10 findLog || { echo "no capture log" >&2; return 1; }
    local trip
    trip=$(kv_trip_log "$log")
    kv_wait_until 10 test -s "$trip" || { echo "no trip log" >&2; return 1; }
    tail -n +1 -f "$trip" | stdbuf -oL tr ',' ' ' >"$folder/trip.txt" &
    feed=$!
    mkdir -p "$folder/config/kst"
    # Kst's setting general/minimumupdateperiod: Qt reads a section [general] as the file's top
    # level, and "[%general]" as the group "general".
    printf '[%%general]\nminimumupdateperiod=%s\n' "$1" >"$folder/config/kst/application.conf"
    local columns=()
    for c in $(seq 3 13); do columns+=(-y "$c"); done
    # Its settings, its script server's socket and Qt's runtime folder stay in the scratch folder.
    mkdir -m 700 "$folder/runtime"
    (cd "$folder" && HOME="$folder" XDG_CONFIG_HOME="$folder/config" TMPDIR="$folder" \
        XDG_RUNTIME_DIR="$folder/runtime" exec kst2 trip.txt -x 2 "${columns[@]}" >kst.txt 2>&1) &
    kst=$!
    local plotter=""
    findPlotter() {
        plotter=$(xdotool search --pid "$kst" --onlyvisible --name . 2>/dev/null | head -n1)
        [ -n "$plotter" ]
    }
    kv_wait_until 30 findPlotter || { echo "Kst showed no window" >&2; cat "$folder/kst.txt" >&2; return 1; }
    # The same size as the dashboard's window.
    xdotool windowsize "$plotter" 1024 768
    sleep "$warm"
    local d0 k0 f0 n0 d1 k1 f1 n1
    d0=$(ticksOf "$pid") k0=$(ticksOf "$kst") f0=$(kv_frames "$folder/swaps") n0=$(date +%s%N)
    sleep 10
    d1=$(ticksOf "$pid") k1=$(ticksOf "$kst") f1=$(kv_frames "$folder/swaps") n1=$(date +%s%N)
    awk -v d=$((d1 - d0)) -v k=$((k1 - k0)) -v f=$((f1 - f0)) -v ns=$((n1 - n0)) -v hz="$hz" \
        'BEGIN { s = ns / 1e9; printf "%.1f %.1f %.1f\n", 100 * d / hz / s, f / s, 100 * k / hz / s }'
    cleanup
}

results=$(mktemp)
trap 'cleanup; rm -f "$results"' EXIT
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
for round in $(seq 1 "$rounds"); do
    for period in $periods; do
        read -r dashboard fps plotter <<<"$(measure "$period")"
        echo "$period $dashboard $fps $plotter" >>"$results"
        printf 'round %d, plotter every %s ms: dashboard %s %% of one core at %s frames/s, plotter %s %%' \
            "$round" "$period" "$dashboard" "$fps" "$plotter"
        echo " (load average $(cut -d' ' -f1 /proc/loadavg))"
    done
done
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
for period in $periods; do
    col() { awk -v p="$period" -v c="$1" '$1 == p { print $c }' "$results" | kv_median; }
    echo "median of $rounds, plotter every $period ms: dashboard $(col 2) % of one core at" \
        "$(col 3) frames/s, plotter $(col 4) %"
done
