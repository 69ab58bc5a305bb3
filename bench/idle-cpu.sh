#!/usr/bin/env bash
# Processor time the real program uses with the link stopped: started with "nosetup" in an empty
# folder (default settings), left 3 s to settle, then its user + system time over 10 s is read
# from /proc (all threads, the GL driver's included). Needs an X display:
#   tools/with-xvfb.sh bench/idle-cpu.sh [program]      (default build/default/kestroview)
set -euo pipefail

program=$(realpath "${1:-build/default/kestroview}")
folder=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; rm -rf "$folder"' EXIT
(cd "$folder" && exec "$program" nosetup >/dev/null 2>&1) &
pid=$!

ticks() {
    # Fields 14 and 15 (utime, stime), counted after the command name's closing parenthesis.
    sed 's/.*) //' "/proc/$pid/stat" | awk '{print $12 + $13}'
}
sleep 3
before=$(ticks)
sleep 10
after=$(ticks)
hz=$(getconf CLK_TCK)
awk -v used=$((after - before)) -v hz="$hz" \
    'BEGIN { printf "idle: %d ticks in 10 s = %.1f %% of one core\n", used, 100 * used / (10 * hz) }'
