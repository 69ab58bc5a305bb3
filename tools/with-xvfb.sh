#!/usr/bin/env bash
# Runs a command with DISPLAY pointing at a private Xvfb (a free display number is picked),
# and stops the server afterwards. Usage: tools/with-xvfb.sh [-s WxHxD] command...
set -euo pipefail

screen="1280x1024x24"
if [ "${1:-}" = "-s" ]; then
    screen="$2"
    shift 2
fi

scratch=$(mktemp -d)
exec 3>"$scratch/display"
Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset >"$scratch/xvfb.log" 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true; wait $xvfb 2>/dev/null || true; rm -rf "$scratch"' EXIT

for _ in $(seq 1 100); do
    [ -s "$scratch/display" ] && break
    sleep 0.1
done
if [ ! -s "$scratch/display" ]; then
    echo "Xvfb did not start:" >&2
    cat "$scratch/xvfb.log" >&2
    exit 1
fi
export DISPLAY=":$(head -n1 "$scratch/display")"
# Mesa's shader cache stays out of the home folder.
export MESA_SHADER_CACHE_DIR="$scratch/mesa-cache"
"$@"
