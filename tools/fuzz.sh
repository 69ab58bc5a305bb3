#!/usr/bin/env bash
# Runs one fuzz target (or all of them) for a given time over its kept corpus and reports the
# executions and the time taken. Any crash, sanitizer report, leak or hang fails the run; the
# input that caused it is kept under build/fuzz/findings/.
#
# Usage: tools/fuzz.sh TARGET SECONDS [--merge]
#   TARGET   reply_lines, line_parse, settings_record, dial_scale, or all
#   SECONDS  how long each target runs
#   --merge  afterwards, merge what the run found into tests/fuzz/corpus/TARGET (minimised)
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -lt 2 ]; then
    sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
fi
target="$1"
seconds="$2"
merge="${3:-}"
all_targets=(reply_lines line_parse settings_record dial_scale)

if [ "$target" = all ]; then
    for t in "${all_targets[@]}"; do
        "$0" "$t" "$seconds" $merge
    done
    exit 0
fi
case " ${all_targets[*]} " in
*" $target "*) ;;
*)
    echo "fuzz.sh: unknown target $target (one of: ${all_targets[*]}, all)" >&2
    exit 2
    ;;
esac

# Configured once; the build step configures again by itself when a CMakeLists.txt changed.
if [ ! -f build/fuzz/CMakeCache.txt ]; then
    cmake --preset fuzz >/dev/null
fi
cmake --build --preset fuzz --target "${target}_fuzz" >/dev/null

binary="build/fuzz/tests/fuzz/${target}_fuzz"
corpus="tests/fuzz/corpus/${target}"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$corpus" "$scratch/new" "$scratch/artifacts" build/fuzz/logs
log="build/fuzz/logs/${target}.log"

# intercept_tls_get_addr=0: see tests/sanitizer/lsan.supp.
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:detect_stack_use_after_return=0:intercept_tls_get_addr=0"
export LSAN_OPTIONS="suppressions=$PWD/tests/sanitizer/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

# The reply lines need room for lines longer than the line buffer; the rest are small records.
extra=()
if [ "$target" = reply_lines ]; then
    extra+=(-max_len=8192)
elif [ "$target" = line_parse ]; then
    extra+=(-max_len=1032) # a whole line of 1023 bytes and the nine option bytes
fi
run=()
if [ "$target" = settings_record ]; then
    run+=(tools/with-xvfb.sh) # it draws frames
fi

status=0
"${run[@]}" "$binary" -max_total_time="$seconds" -timeout=30 -print_final_stats=1 \
    -artifact_prefix="$scratch/artifacts/" "${extra[@]}" "$scratch/new" "$corpus" \
    >"$log" 2>&1 || status=$?

runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n1)
took=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log" | tail -n1)
findings=$(find "$scratch/artifacts" -type f | wc -l)
if [ "$status" -ne 0 ] || [ "$findings" -ne 0 ]; then
    mkdir -p build/fuzz/findings
    cp "$scratch"/artifacts/* build/fuzz/findings/ 2>/dev/null || true
    grep -v '^KestroView: Error' "$log" | tail -n 40 >&2
    echo "fuzz $target: FAILED after ${runs:-?} runs (exit $status); inputs in build/fuzz/findings," \
        "full log in $log" >&2
    exit 1
fi
echo "fuzz $target: ${runs:-0} runs in ${took:-$seconds} s, 0 crashes" \
    "(corpus $(find "$corpus" -type f | wc -l) files, $(find "$scratch/new" -type f | wc -l) new)"

if [ "$merge" = --merge ]; then
    "${run[@]}" "$binary" -merge=1 "$corpus" "$scratch/new" >>"$log" 2>&1
    echo "fuzz $target: corpus now $(find "$corpus" -type f | wc -l) files"
fi
