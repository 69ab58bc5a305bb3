#!/usr/bin/env bash
# Installs what is missing, builds, and opens the dashboard. Press S to start the link,
# F1 to toggle full screen, Escape to quit.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup-deps.sh
cmake --preset default
cmake --build --preset default
exec build/default/kestroview nosetup "$@"
