#!/usr/bin/env bash
# Processor time, frame rate and the battery ring's span of the real program while the link runs:
# the simulator plays COM1 at 20 lines a second from the start of its pull-away, the program runs
# with "nosetup" at 1024 x 768, 3 x 4 cells with the battery model, and S starts the link. One
# second after the stream starts, the program's user + system time (all threads, the GL
# driver's included) and its presented frames are read over 10 s. Frames are counted by a small
# library preloaded into the program (build/default/tests/libkv_swap_counter.so) that wraps
# SDL_GL_SwapWindow. Over those seconds the drive pulls away and cruises, so every frame takes
# a battery sample: the 600-sample ring spans 600 / (frames per second) seconds. Last, every
# line the simulator had sent must be in the capture log, in order.
#
# With -m the simulator plays instead the lines of bench/moving-lines.pl, where five of the nine
# channels move on every line, as a real controller's noisy readings make them.
#
# Several programs are measured in turn, round after round, so that they share the machine's
# load; each line of output is one run, then the medians per program:
#   tools/with-xvfb.sh bench/running-cpu.sh [-n ROUNDS] [-m] [program...]
# (default: 3 rounds of build/default/kestroview). Needs an X display, xdotool, ImageMagick's
# import and perl.
set -euo pipefail

rounds=3
drive=(--start-at 2)
here=$(dirname "$(realpath "$0")")
# shellcheck source=bench/bench-support.sh
. "$here/bench-support.sh"
while [ $# -gt 0 ]; do
    case $1 in
    -n) rounds=$2; shift 2 ;;
    -m) drive=(--replay lines.txt --loop); shift ;;
    *) break ;;
    esac
done
[ $# -gt 0 ] || set -- build/default/kestroview
programs=()
for p in "$@"; do programs+=("$(realpath "$p")"); done
counter=$(realpath build/default/tests/libkv_swap_counter.so)
simulator=$(realpath build/default/tools/simulator/kestroview-sim)
hz=$(getconf CLK_TCK)

pid="" sim="" folder="" log="" result=""
cleanup() {
    [ -n "$pid" ] && { kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; }
    [ -n "$sim" ] && { kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true; }
    # The capture log and the trip log beside it are this run's own.
    [ -n "$log" ] && rm -f "$log" "$(kv_trip_log "$log")"
    [ -n "$folder" ] && rm -rf "$folder"
    pid="" sim="" folder="" log=""
}
trap cleanup EXIT


ticks() { sed 's/.*) //' "/proc/$pid/stat" | awk '{print $12 + $13}'; }
frames() { kv_frames "$folder/swaps"; }
nowNs() { date +%s%N; }

# One run of one program; sets result to "cpu% fps span lost".
measure() {
    folder=$(mktemp -d)
    kv_write_settings "$folder/KestroView.ini" 1 2 # 3 x 4, 1024 x 768
    "$here/moving-lines.pl" >"$folder/lines.txt"
    (cd "$folder" && exec "$simulator" --rate 20 "${drive[@]}" >sent.txt 2>sim.txt) &
    sim=$!
    kv_wait_until 10 test -L "$folder/COM1" || { echo "the simulator did not start" >&2; return 1; }
    (cd "$folder" && KV_SWAP_COUNT_FILE="$folder/swaps" LD_PRELOAD="$counter" \
        exec "$1" nosetup >out.txt 2>err.txt) &
    pid=$!
    kv_start_link "$pid" "$folder" || return 1
    sleep 1
    local t0 f0 n0 t1 f1 n1
    t0=$(ticks) f0=$(frames) n0=$(nowNs)
    sleep 10
    t1=$(ticks) f1=$(frames) n1=$(nowNs)

    local sent
    sent=$(wc -l <"$folder/sent.txt")
    sleep 0.5
    log=$(kv_capture_log "$pid")
    local lost=$sent
    if [ -n "$log" ]; then
        # The first `sent` lines against the log's: lost = those after the first that differs.
        lost=$(head -n "$sent" "$folder/sent.txt" |
            awk 'FILENAME == ARGV[1] { log_[FNR] = $0; next }
                 FNR == same + 1 && log_[FNR] == $0 { same = FNR } END { print FNR - same }' "$log" -)
    fi
    result=$(awk -v dt=$((t1 - t0)) -v df=$((f1 - f0)) -v ns=$((n1 - n0)) -v hz="$hz" \
        -v lost="$lost" 'BEGIN { s = ns / 1e9; fps = df / s;
                 printf "%.1f %.1f %.1f %d\n", 100 * dt / hz / s, fps, (fps > 0 ? 600 / fps : 0),
                        lost }')
    cleanup
}

results=$(mktemp)
trap 'cleanup; rm -f "$results"' EXIT
echo "drive: ${drive[*]}; load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
for round in $(seq 1 "$rounds"); do
    for i in "${!programs[@]}"; do
        measure "${programs[$i]}"
        echo "$i $result" >>"$results"
        read -r cpu fps span lost <<<"$result"
        printf 'round %d, %s: %s %% of one core, %s frames/s, ring span %s s, %s lines lost' \
            "$round" "${programs[$i]}" "$cpu" "$fps" "$span" "$lost"
        echo " (load average $(cut -d' ' -f1 /proc/loadavg))"
    done
done
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
for i in "${!programs[@]}"; do
    col() { awk -v i="$i" -v c="$1" '$1 == i { print $c }' "$results" | kv_median; }
    printf 'median of %d, %s: %s %% of one core, %s frames/s, ring span %s s, %s lines lost at most' \
        "$rounds" "${programs[$i]}" "$(col 2)" "$(col 3)" "$(col 4)" \
        "$(awk -v i="$i" '$1 == i && $5 > m { m = $5 } END { print m + 0 }' "$results")"
    echo
done
