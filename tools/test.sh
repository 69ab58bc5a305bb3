#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite under a private Xvfb: the
# normal build, the same suite built with AddressSanitizer and UndefinedBehaviorSanitizer, and a
# run of every fuzz target. Prints the time of every step at the end.
#
# Usage: tools/test.sh [--long]
#   --long  the long runs: 200 start/stop cycles instead of 20, and every fuzz target for
#           5 minutes instead of 20 s (KV_SOAK_CYCLES and KV_FUZZ_SECONDS set each alone)
#   KV_TEST_PRESETS picks the steps (default "default asan fuzz"); KV_CTEST_ARGS adds
#   arguments to each ctest (e.g. "-L link").
#
# Run it as yourself: it asks sudo only to install missing packages. Started as root (as CI
# does), it installs, then runs everything else as an ordinary user: $SUDO_USER when that names
# one, else "kestroview-test" (made if missing). When that user may not write here, the run
# happens in a copy the user owns, and build/ here leads to its results.
#
# Nothing of the run is left behind, passing or failing: scratch files live in a private
# temporary folder, and logs a test left in the capture folder, or programs of this build still
# running, are removed and fail the run.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

if [ "${1:-}" = --long ]; then
    export KV_SOAK_CYCLES="${KV_SOAK_CYCLES:-200}"
    export KV_FUZZ_SECONDS="${KV_FUZZ_SECONDS:-300}"
elif [ $# -gt 0 ]; then
    sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
fi

began=$(date +%s)
tools/setup-deps.sh
export KV_PACKAGES_SECONDS=$((${KV_PACKAGES_SECONDS:-0} + $(date +%s) - began))

if [ "$(id -u)" -eq 0 ]; then
    # shellcheck source=tools/as-user.sh
    . tools/as-user.sh
    run_as_user tools/test.sh "$@"
    exit $?
fi

# Everything the run's programs write to a temporary folder goes here, and goes at the end.
run_tmp=$(mktemp -d "${TMPDIR:-/tmp}/kv-test.XXXXXX")
export TMPDIR="$run_tmp"
export KV_TEST_LEDGER="$run_tmp/ledger" # every log and scratch folder a test makes
capture_folder=/var/tmp
logs_before=$(find "$capture_folder" -maxdepth 1 -name '*kestro_*' -user "$(id -u)" 2>/dev/null |
    sort || true)
times=("$(printf '%-16s %5d s' packages "$KV_PACKAGES_SECONDS")")
started=$(date +%s)

# shellcheck source=tools/step-times.sh
. tools/step-times.sh

# Logs a test caused and did not remove (and the report's part-written .kestro_* files), and
# programs of this build still running: both are faults of the suite. They are cleared here so
# that nothing stays, and the run fails.
leftovers() {
    local left=0 path pid exe
    if [ -f "$KV_TEST_LEDGER" ]; then
        while IFS= read -r path; do
            case "$path" in
            "$capture_folder"/kestro_* | "$capture_folder"/.kestro_*)
                if [ -f "$path" ] && [ ! -L "$path" ]; then
                    echo "LEFT BEHIND by a test: $path (removed)" >&2
                    rm -f -- "$path"
                    left=1
                fi
                ;;
            esac
        done <"$KV_TEST_LEDGER"
    fi
    while IFS= read -r path; do
        [ -n "$path" ] || continue
        echo "LEFT BEHIND, made during the run by no test that said so: $path" >&2
        if [ -n "${KV_TEST_USER_OWN:-}" ]; then
            rm -f -- "$path" # this user exists only to run the tests
        fi
        left=1
    done < <(comm -13 <(echo "$logs_before") <(find "$capture_folder" -maxdepth 1 \
        -name '*kestro_*' -user "$(id -u)" 2>/dev/null | sort))
    # Only this run's programs: they carry its ledger in their environment. A demo the user
    # runs from the same build meanwhile is left alone.
    for pid in $(ls /proc | grep -E '^[0-9]+$'); do
        [ "$pid" != $$ ] || continue
        exe=$(readlink "/proc/$pid/exe" 2>/dev/null || true)
        case "$exe" in
        "$repo"/build/*)
            if tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null |
                grep -qxF "KV_TEST_LEDGER=$KV_TEST_LEDGER"; then
                echo "STILL RUNNING: $pid $exe (killed)" >&2
                kill -KILL "$pid" 2>/dev/null || true
                left=1
            fi
            ;;
        esac
    done
    return $left
}

finish() {
    local status=$?
    trap - EXIT
    set +e
    if ! leftovers; then
        echo "tools/test.sh: the suite left files or programs behind (listed above)" >&2
        [ $status -ne 0 ] || status=1
    fi
    rm -rf "$run_tmp"
    echo "== times"
    printf '%s\n' "${times[@]}"
    printf '%-16s %5d s (without the packages)\n' total $(($(date +%s) - started))
    exit $status
}
trap finish EXIT
trap 'exit 130' INT TERM # an interrupted run clears up too

for preset in ${KV_TEST_PRESETS:-default asan fuzz}; do
    step "$preset configure" cmake --preset "$preset"
    step "$preset build" cmake --build --preset "$preset"
    if [ "$preset" = fuzz ]; then
        step "fuzz runs" tools/fuzz.sh all "${KV_FUZZ_SECONDS:-20}"
    else
        # shellcheck disable=SC2086
        step "$preset ctest" tools/with-xvfb.sh ctest --preset "$preset" ${KV_CTEST_ARGS:-}
    fi
done
