# Sourced by tools/test.sh and tools/arm64-check.sh: `step NAME COMMAND...` runs the command under
# a heading and adds its time (and its failure) to the array `times`, which the caller prints.

step() {
    local name=$1 begin status=0
    shift
    begin=$(date +%s)
    echo "== $name"
    "$@" || status=$?
    times+=("$(printf '%-16s %5d s%s' "$name" $(($(date +%s) - begin)) \
        "$([ $status -eq 0 ] || echo ", failed ($status)")")")
    return $status
}
