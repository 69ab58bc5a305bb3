#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite under a private Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup-deps.sh
cmake --preset default
cmake --build --preset default
tools/with-xvfb.sh ctest --preset default
