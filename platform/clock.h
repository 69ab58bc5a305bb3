// The millisecond tick counter and the sleep of the main loop.
#pragma once
#include <cstdint>
#include <ctime>

// Milliseconds since an arbitrary start, 32 bits wide: it wraps after about 49.7 days, so
// elapsed times are always taken as unsigned 32-bit differences.
uint32_t tickCount();

// Blocks the calling thread for about ms milliseconds.
void sleepMs(uint32_t ms);

// The local calendar time of a moment given in seconds since 1970 UTC, and how far the local
// time was ahead of UTC then, in seconds (negative west of Greenwich).
struct LocalTime {
    std::tm fields;
    int32_t utcOffsetSeconds;
};
LocalTime localTimeOf(int64_t secondsSince1970);
