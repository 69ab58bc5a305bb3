#!/usr/bin/env bash
# What a start and a stop of the link cost the window, measured on the real program under its
# own Xvfb with the simulator as the controller:
#   1. a start against a controller that never falls quiet (already streaming, deaf to the stop
#      bytes): the frames presented in the 3 s after S, then the time from Escape (pressed 3 s
#      after S) to the program's exit, and the logs that start left behind;
#   2. a start and a stop against the simulator, which falls quiet on the stop bytes: every byte
#      the controller received, with its time after the first.
# Usage: bench/link-start.sh [PROGRAM]   (default: build/default/kestroview)
# Needs the simulator and the swap counter of build/default, xdotool, ImageMagick's import and
# perl.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=bench/bench-support.sh
. "$root/bench/bench-support.sh"
program=$(realpath "${1:-$root/build/default/kestroview}")
simulator="$root/build/default/tools/simulator/kestroview-sim"
counter_lib="$root/build/default/tests/libkv_swap_counter.so"

if [ -z "${KV_BENCH_INSIDE:-}" ]; then
    exec env KV_BENCH_INSIDE=1 "$root/tools/with-xvfb.sh" -s 800x600x24 "$0" "$program"
fi

scratch=$(mktemp -d)
sim_pid=""
app_pid=""
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null && wait "$app_pid" 2>/dev/null
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
    rm -rf "$scratch"
}
trap cleanup EXIT
cd "$scratch"
kv_write_settings KestroView.ini 0 0 # 3 x 3, 640 x 480

frames() { kv_frames "$scratch/swaps"; }
window=""
press() { kv_press "$window" "$1"; }
start_program() {
    : >"$scratch/swaps"
    KV_SWAP_COUNT_FILE="$scratch/swaps" LD_PRELOAD="$counter_lib" "$program" nosetup \
        >app.out 2>&1 &
    app_pid=$!
    window=$(kv_window_of "$app_pid") || { echo "no window" >&2; cat app.out >&2; exit 1; }
    kv_wait_until 30 kv_drawn "$window" || { echo "no frame" >&2; exit 1; }
}
start_simulator() {
    "$simulator" --com 1 "$@" >sim.out 2>sim.err &
    sim_pid=$!
    for _ in $(seq 1 100); do [ -e COM1 ] && break; sleep 0.1; done
}
stop_simulator() {
    kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null || true
    sim_pid=""
}
# The logs the program holds open, noted so that only its own are looked at and removed.
note_logs() {
    readlink /proc/"$app_pid"/fd/* 2>/dev/null | grep -E 'kestro_(original_.*\.log|trip_.*\.csv)$' \
        >>logs.txt || true
}

echo "== a start against a controller that never falls quiet"
start_simulator --streaming --never-quiet --rate 10
start_program
: >logs.txt
before=$(frames)
press s
began=$(kv_now_ms)
sleep 3
note_logs
after=$(frames)
echo "frames in the 3 s after S: $((after - before)) ($(((after - before) / 3)) per second)"
press Escape
escaped=$(kv_now_ms)
while kill -0 "$app_pid" 2>/dev/null && [ $(($(kv_now_ms) - escaped)) -lt 30000 ]; do
    sleep 0.01
done
exited=$(kv_now_ms)
wait "$app_pid" 2>/dev/null || true
app_pid=""
echo "Escape (pressed $((escaped - began)) ms after S) to exit: $((exited - escaped)) ms"
sort -u logs.txt | while read -r log; do
    [ -f "$log" ] || continue
    echo "left behind: $log, $(wc -c <"$log") bytes, $(wc -l <"$log") lines"
    rm -f -- "$log"
done
[ -s logs.txt ] || echo "left behind: no logs"
stop_simulator

echo "== the wire during a start and a stop"
start_simulator
start_program
: >logs.txt
press s
for _ in $(seq 1 150); do grep -q '^streaming' sim.err && break; sleep 0.1; done
# The logs are made once the start has run, a moment after the controller starts streaming; both
# are waited for, as the trip log's name may be a second on from the capture log's.
both_logs_open() {
    local open
    open=$(readlink /proc/"$app_pid"/fd/* 2>/dev/null || true)
    grep -q kestro_original_ <<<"$open" && grep -q kestro_trip_ <<<"$open"
}
kv_wait_until 5 both_logs_open || true
note_logs
sleep 1
press s
for _ in $(seq 1 150); do grep -q '^silent' sim.err && break; sleep 0.1; done
sleep 1
press Escape
wait "$app_pid" 2>/dev/null || true
app_pid=""
# Each capture log with the trip log beside it, whichever of the two was noted.
sort -u logs.txt | while read -r log; do
    t=${log##*/kestro_}
    t=${t#original_}
    t=${t#trip_}
    rm -f -- "$(dirname "$log")/kestro_original_${t%.*}.log" "$(dirname "$log")/kestro_trip_${t%.*}.csv"
done
awk '/^rx / { if (first == "") first = $2; $2 = sprintf("%6d ms", $2 - first); print }' sim.err
