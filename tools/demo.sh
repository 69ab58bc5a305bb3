#!/usr/bin/env bash
# Installs what is missing, builds, and opens the dashboard with the controller simulator playing
# COM1: both run in build/demo, where the simulator links COM1 and the program finds it. The
# setup dialog comes first, as for any user ("Start" opens the dashboard; COM1 is chosen
# already); then S starts and stops the link, F1 toggles full screen, Escape quits, and the
# simulator stops with the program. Arguments go to the program ("nosetup" skips the dialog,
# "debug", "mwmode").
#
# Run it as yourself: it asks sudo only to install missing packages. Started as root, it runs
# the program as an ordinary user, as tools/test.sh does (see tools/as-user.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup-deps.sh
if [ "$(id -u)" -eq 0 ]; then
    # shellcheck source=tools/as-user.sh
    . tools/as-user.sh
    run_as_user tools/demo.sh "$@"
    exit $?
fi

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
"$root/build/default/kestroview" "$@"
