#!/usr/bin/env bash
# The "reconnect" word on the real program under its own Xvfb: the simulator streams 20 lines a
# second and, after every 40 lines, unplugs its terminal for 3 s and plugs a new one in under the
# same COM link, twice. Prints, for each replug, the time from the replug to the first line in
# the new capture log, the frames presented while the device was away, and whether every line
# the simulator sent reached a log.
# Usage: bench/link-replug.sh [PROGRAM]   (default: build/default/kestroview)
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
    if [ -f "$scratch/logs.txt" ]; then
        sort -u "$scratch/logs.txt" | while read -r log; do
            trip=${log/kestro_original_/kestro_trip_}
            rm -f -- "$log" "${trip%.log}.csv"
        done
    fi
    rm -rf "$scratch"
}
trap cleanup EXIT
cd "$scratch"
kv_write_settings KestroView.ini 0 0 # 3 x 3, 640 x 480
frames() { kv_frames "$scratch/swaps"; }

"$simulator" --com 1 --rate 20 --start-at 2 --replug-after 40 --replugs 2 --replug-ms 3000 \
    >sim.out 2>sim.err &
sim_pid=$!
for _ in $(seq 1 100); do [ -e COM1 ] && break; sleep 0.1; done
: >swaps
: >logs.txt
KV_SWAP_COUNT_FILE="$scratch/swaps" LD_PRELOAD="$counter_lib" "$program" nosetup reconnect \
    >app.out 2>&1 &
app_pid=$!
window=$(kv_window_of "$app_pid") || { echo "no window" >&2; cat app.out >&2; exit 1; }
kv_wait_until 30 kv_drawn "$window" || { echo "no frame" >&2; exit 1; }
kv_press "$window" s

# Watched every 20 ms: the simulator's hang-ups and replugs, the program's open capture log.
hangups=0
replugs=0
replugged_at=0
unplugged_from=0
current=""
deadline=$(($(kv_now_ms) + 60000))
while [ "$(kv_now_ms)" -lt "$deadline" ]; do
    h=$(grep -c '^hangup$' sim.err || true)
    r=$(grep -c '^replugged$' sim.err || true)
    if [ "$h" -gt "$hangups" ]; then
        hangups=$h
        unplugged_from=$(frames)
    fi
    if [ "$r" -gt "$replugs" ]; then
        replugs=$r
        replugged_at=$(kv_now_ms)
        echo "replug $r: frames presented while unplugged (3 s): $(($(frames) - unplugged_from))"
    fi
    log=$(kv_capture_log "$app_pid")
    if [ -n "$log" ] && [ "$log" != "$current" ]; then
        current=$log
        echo "$log" >>logs.txt
    fi
    if [ "$replugged_at" -gt 0 ] && [ -n "$current" ] && [ "$(sort -u logs.txt | wc -l)" -eq $((replugs + 1)) ] &&
        [ -s "$current" ]; then
        echo "replug $replugs to the first line in its new log: $(($(kv_now_ms) - replugged_at)) ms"
        replugged_at=0
        [ "$replugs" -eq 2 ] && break
    fi
    sleep 0.02
done
sleep 1
kv_press "$window" Escape
wait "$app_pid" 2>/dev/null || true
app_pid=""
sent=$(wc -l <sim.out)
logged=$(sort -u logs.txt | xargs cat | wc -l)
echo "capture logs: $(sort -u logs.txt | wc -l); lines sent: $sent, logged: $logged"
# Every line sent up to the last replug, and after it as far as the program read, in order.
if [ "$(sort -u logs.txt | xargs cat | head -n "$logged")" = "$(head -n "$logged" sim.out)" ]; then
    echo "every line sent reached a log, in order"
else
    echo "LINES MISSING OR OUT OF ORDER"
fi
grep -i 'error' app.out || echo "no error messages"
