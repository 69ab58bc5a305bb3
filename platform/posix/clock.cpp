// The monotonic clock: never set back or forward with the wall clock, so elapsed times hold.
#include "platform/clock.h"

#include <cerrno>
#include <ctime>

uint32_t tickCount() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    const uint64_t ms =
        static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}

void sleepMs(uint32_t ms) {
    timespec left{static_cast<time_t>(ms / 1000u), static_cast<long>(ms % 1000u) * 1000000L};
    // A signal cuts the sleep short; the rest is slept.
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

LocalTime localTimeOf(int64_t secondsSince1970) {
    const std::time_t seconds = static_cast<std::time_t>(secondsSince1970);
    LocalTime local{};
    localtime_r(&seconds, &local.fields);
    local.utcOffsetSeconds = static_cast<int32_t>(local.fields.tm_gmtoff);
    return local;
}
