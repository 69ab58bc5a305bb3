#!/usr/bin/env bash
# Line to screen: the time from the moment a controller line's last byte is written to the
# terminal to the return of the swap of the first frame drawn after the program read that line,
# the first frame that shows its values. The simulator plays COM1 (five of the nine channels
# moving on every line, bench/moving-lines.pl), the real program runs with "nosetup" at
# 1024 x 768, 3 x 4 cells with the battery model, and S starts the link. A library preloaded into
# both (build/default/bench/libkv_latency_stamps.so) stamps the simulator's line writes, the
# program's reads of line feeds and its swaps; the stamps of the first 20 lines (the start) are
# left out. Prints, per rate, the median, 99th percentile and worst over the lines measured, and
# where the time goes: the wire (written to read) and the frame (read to swap returned).
#   tools/with-xvfb.sh bench/line-latency.sh [-n LINES] [-r "RATE..."] [program]
# (defaults: 1000 lines at 20 and at 30 lines a second, build/default/kestroview). Needs an X
# display, xdotool, ImageMagick's import and perl.
set -euo pipefail

lines=1000
rates="20 30"
while [ $# -gt 0 ]; do
    case $1 in
    -n) lines=$2; shift 2 ;;
    -r) rates=$2; shift 2 ;;
    *) break ;;
    esac
done
program=$(realpath "${1:-build/default/kestroview}")
stamps=$(realpath build/default/bench/libkv_latency_stamps.so)
simulator=$(realpath build/default/tools/simulator/kestroview-sim)
here=$(dirname "$(realpath "$0")")
# shellcheck source=bench/bench-support.sh
. "$here/bench-support.sh"
skipped=20

pid="" sim="" folder="" log=""
# Ends a process this script started: asked first, then, after 5 s, made to.
stop() {
    kill "$1" 2>/dev/null || true
    for _ in $(seq 1 50); do
        kill -0 "$1" 2>/dev/null || break
        sleep 0.1
    done
    kill -9 "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
}
cleanup() {
    # The program first: a terminal hung up under it would make it show an error and wait.
    [ -n "$pid" ] && stop "$pid"
    [ -n "$sim" ] && stop "$sim"
    # The capture log and the trip log beside it are this run's own.
    [ -n "$log" ] && rm -f "$log" "$(kv_trip_log "$log")"
    [ -n "$folder" ] && rm -rf "$folder"
    pid="" sim="" folder="" log=""
}
trap cleanup EXIT


# Reads both stamp files and prints "median p99 worst wireMedian frameMedian measured" in ms.
analyse() {
    perl -e '
        use strict; use warnings;
        my ($written, $dashboard, $skip) = @ARGV;
        sub records {
            open(my $f, "<:raw", $_[0]) or die "$_[0]: $!";
            local $/; my $all = <$f>; my @r;
            for (my $at = 0; $at + 16 <= length $all; $at += 16) {
                my ($ns, $count) = unpack("q< q<", substr($all, $at, 16));
                last if $ns == 0;
                push @r, [$ns, $count];
            }
            return @r;
        }
        my %wrote = map { $_->[1] => $_->[0] } records($written);
        my (%read, %shown); my ($reads, $unshown) = (0, 1);
        for my $r (records($dashboard)) {
            my ($ns, $count) = @$r;
            if ($count < 0) {
                for my $n ($reads + 1 .. -$count) { $read{$n} = $ns; }
                $reads = -$count;
            } else {
                # The first swap after a line was read shows it.
                for (; $unshown <= $count; ++$unshown) { $shown{$unshown} = $ns; }
            }
        }
        my (@total, @wire, @frame);
        for my $n (sort { $a <=> $b } keys %shown) {
            next if $n <= $skip || !exists $wrote{$n};
            push @total, ($shown{$n} - $wrote{$n}) / 1e6;
            push @wire, ($read{$n} - $wrote{$n}) / 1e6;
            push @frame, ($shown{$n} - $read{$n}) / 1e6;
        }
        die "no line measured\n" unless @total;
        sub pick { my ($p, @v) = @_; @v = sort { $a <=> $b } @v; return $v[int($p * $#v + 0.5)]; }
        printf "%.1f %.1f %.1f %.1f %.1f %d\n", pick(0.5, @total), pick(0.99, @total),
            pick(1, @total), pick(0.5, @wire), pick(0.5, @frame), scalar @total;
    ' "$@"
}

# One run at one rate; prints its figures.
measure() {
    local rate=$1
    folder=$(mktemp -d)
    kv_write_settings "$folder/KestroView.ini" 1 2 # 3 x 4, 1024 x 768
    "$here/moving-lines.pl" >"$folder/lines.txt"
    (cd "$folder" && KV_LATENCY_ROLE=controller KV_LATENCY_FILE="$folder/written" \
        LD_PRELOAD="$stamps" exec "$simulator" --rate "$rate" --replay lines.txt --loop \
        >sent.txt 2>sim.txt) &
    sim=$!
    kv_wait_until 10 test -L "$folder/COM1" || { echo "the simulator did not start" >&2; return 1; }
    (cd "$folder" && KV_LATENCY_ROLE=dashboard KV_LATENCY_FILE="$folder/shown" \
        LD_PRELOAD="$stamps" exec "$program" nosetup >out.txt 2>err.txt) &
    pid=$!
    kv_start_link "$pid" "$folder" || return 1
    local wanted=$((lines + skipped + 1)) seconds=$(((lines + skipped) / rate + 30))
    enough() { [ "$(wc -l <"$folder/sent.txt")" -ge "$wanted" ]; }
    kv_wait_until "$seconds" enough || { echo "the simulator fell behind" >&2; return 1; }
    sleep 0.5
    log=$(kv_capture_log "$pid")
    stop "$pid"
    pid=""
    local figures
    figures=$(analyse "$folder/written" "$folder/shown" "$skipped")
    read -r median p99 worst wire frame measured <<<"$figures"
    printf '%s lines/s: median %s ms, 99th percentile %s ms, worst %s ms over %s lines ' \
        "$rate" "$median" "$p99" "$worst" "$measured"
    printf '(medians: written to read %s ms, read to swap returned %s ms)' "$wire" "$frame"
    echo " (load average $(cut -d' ' -f1 /proc/loadavg))"
    cleanup
}

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
for rate in $rates; do
    measure "$rate"
done
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
