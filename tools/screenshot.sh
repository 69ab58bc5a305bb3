#!/usr/bin/env bash
# Takes a screenshot of the real dashboard while the controller simulator drives it: 3 x 4 cells
# with the battery model beside the status panel, 800 x 600, link started with the S key.
# Builds nothing: uses the binaries under build/default. Runs under its own Xvfb.
# KV_SCREENSHOT_SECONDS (default 9) sets how long the link runs before the picture.
# Usage: tools/screenshot.sh [output.png]   (default: docs/screenshot.png)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=bench/bench-support.sh
. "$root/bench/bench-support.sh"
out=$(realpath -m "${1:-$root/docs/screenshot.png}")
program="$root/build/default/kestroview"
simulator="$root/build/default/tools/simulator/kestroview-sim"
seconds=${KV_SCREENSHOT_SECONDS:-9}

for f in "$program" "$simulator"; do
    if [ ! -x "$f" ]; then
        echo "missing $f: build first (cmake --preset default && cmake --build --preset default)" >&2
        exit 1
    fi
done
for tool in xdotool import perl; do
    command -v "$tool" >/dev/null || { echo "missing $tool (tools/setup-deps.sh)" >&2; exit 1; }
done

if [ -z "${KV_SCREENSHOT_INSIDE:-}" ]; then
    # The screen is exactly the window, so the root window is the picture.
    exec env KV_SCREENSHOT_INSIDE=1 "$root/tools/with-xvfb.sh" -s 800x600x24 "$0" "$out"
fi

scratch=$(mktemp -d)
sim_pid=""
app_pid=""
log=""
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null && wait "$app_pid" 2>/dev/null
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
    # The capture log and the trip log of this start are the run's own.
    [ -n "$log" ] && rm -f "$log" "$(kv_trip_log "$log")"
    rm -rf "$scratch"
}
trap cleanup EXIT
cd "$scratch"

kv_write_settings KestroView.ini 1 1 # 3 x 4 with the battery model, 800 x 600

"$simulator" --com 1 --start-at 2 >sim.out 2>sim.err &
sim_pid=$!
for _ in $(seq 1 100); do [ -e COM1 ] && break; sleep 0.1; done
[ -e COM1 ] || { echo "the simulator made no COM1" >&2; cat sim.err >&2; exit 1; }

"$program" nosetup >app.out 2>&1 &
app_pid=$!
window=$(kv_window_of "$app_pid") || {
    echo "the dashboard window did not appear" >&2
    cat app.out >&2
    exit 1
}
kv_wait_until 30 kv_drawn "$window" || { echo "the dashboard drew no frame" >&2; exit 1; }
kv_press "$window" s
for _ in $(seq 1 150); do grep -q '^streaming' sim.err && break; sleep 0.2; done
grep -q '^streaming' sim.err || {
    echo "the link did not start" >&2
    cat app.out sim.err >&2
    import -window root "$out.failed.png"
    exit 1
}
log=$(kv_capture_log "$app_pid")

# Let the battery model gather samples over the pull-away before the picture is taken.
sleep "$seconds"
mkdir -p "$(dirname "$out")"
import -window root "$out"
echo "wrote $out"
