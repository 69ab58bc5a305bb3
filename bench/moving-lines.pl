#!/usr/bin/env perl
# Controller lines for the benchmarks, as a real controller's noisy readings make them: five of
# the nine channels (throttle, motor speed, motor current, duty cycle, battery voltage) differ
# from the line before on every line, the others hold still: a cruise with some wobble, the
# battery voltage sagging as the current rises. Usage: moving-lines.pl [COUNT] (default 2400).
use strict;
use warnings;

my $count = $ARGV[0] // 2400;
# A step of 1 to 3 counts up or down, never 0, from a fixed pseudo-random walk.
my $seed = 12345;
sub wobble {
    my ($span) = @_;
    $seed = ($seed * 1103515245 + 12345) % 2147483648;
    my $step = 1 + ($seed >> 16) % $span;
    return (($seed >> 8) & 1) ? $step : -$step;
}
my ($throttle, $speed, $current, $duty) = (0x90, 0x40, 0x30, 0x80);
for my $i (0 .. $count - 1) {
    # A step that would leave the range is taken the other way.
    my $walk = sub {
        my ($v, $span, $lo, $hi) = @_;
        my $step = wobble($span);
        return ($v + $step < $lo || $v + $step > $hi) ? $v - $step : $v + $step;
    };
    $throttle = $walk->($throttle, 3, 0x60, 0xd0);
    $speed = $walk->($speed, 2, 0x20, 0x60);
    $current = $walk->($current, 3, 0x10, 0x60);
    $duty = $walk->($duty, 3, 0x40, 0xc0);
    # Battery voltage: 120 V less the sag of the current, plus or minus one count by turns, so
    # it moves on every line even when the current stands.
    my $battery = 0x44 - int($current / 16) + ($i % 2 ? 1 : -1);
    printf "%x %x %x %x %x %x %x %x 0 OMF\n", $throttle, $speed, $current, 0x50, $duty, $battery,
        0x3c, 0x2e;
}
