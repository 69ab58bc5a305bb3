#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite under a private Xvfb: first the
# normal build, then the same suite built with AddressSanitizer and UndefinedBehaviorSanitizer,
# then a short run of every fuzz target (KV_FUZZ_SECONDS each, 60 unless set).
# KV_TEST_PRESETS picks the steps (default: "default asan fuzz").
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup-deps.sh

for preset in ${KV_TEST_PRESETS:-default asan fuzz}; do
    echo "== $preset build"
    if [ "$preset" = fuzz ]; then
        cmake --preset fuzz
        cmake --build --preset fuzz
        tools/fuzz.sh all "${KV_FUZZ_SECONDS:-60}"
        continue
    fi
    cmake --preset "$preset"
    cmake --build --preset "$preset"
    tools/with-xvfb.sh ctest --preset "$preset"
done
