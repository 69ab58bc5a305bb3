#!/usr/bin/env bash
# Installs what is missing, builds, and opens the dashboard with the controller simulator playing
# COM1: both run in build/demo, where the simulator links COM1 and the program finds it. Press S
# to start and stop the link, F1 to toggle full screen, Escape to quit; the simulator stops with
# the program. Arguments go to the program (e.g. "debug", "mwmode").
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup-deps.sh
cmake --preset default
cmake --build --preset default

root=$PWD
mkdir -p build/demo
cd build/demo
"$root/build/default/tools/simulator/kestroview-sim" --com 1 >/dev/null 2>simulator.log &
simulator=$!
trap 'kill "$simulator" 2>/dev/null || true; wait "$simulator" 2>/dev/null || true' EXIT
for _ in $(seq 1 100); do
    [ -L COM1 ] && break
    sleep 0.1
done
if [ ! -L COM1 ]; then
    echo "The simulator did not start:" >&2
    cat simulator.log >&2
    exit 1
fi
"$root/build/default/kestroview" nosetup "$@"
