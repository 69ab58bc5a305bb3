// The millisecond tick counter and the sleep of the main loop.
#pragma once
#include <cstdint>

// Milliseconds since an arbitrary start, 32 bits wide: it wraps after about 49.7 days, so
// elapsed times are always taken as unsigned 32-bit differences.
uint32_t tickCount();

// Blocks the calling thread for about ms milliseconds.
void sleepMs(uint32_t ms);
