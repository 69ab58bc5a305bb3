#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite under a private Xvfb: first the
# normal build, then the same suite built with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup-deps.sh

for preset in ${KV_TEST_PRESETS:-default asan}; do
    echo "== $preset build"
    cmake --preset "$preset"
    cmake --build --preset "$preset"
    tools/with-xvfb.sh ctest --preset "$preset"
done
