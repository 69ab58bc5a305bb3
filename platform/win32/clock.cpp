#include "platform/clock.h"

#include <ctime>
#include <windows.h>

uint32_t tickCount() {
    return GetTickCount();
}

void sleepMs(uint32_t ms) {
    Sleep(ms);
}

// The C runtime's "%z" writes the zone's name here, not its offset: the offset is the local
// fields read back as if they were UTC, less the moment itself.
LocalTime localTimeOf(int64_t secondsSince1970) {
    const __time64_t seconds = secondsSince1970;
    LocalTime local{};
    _localtime64_s(&local.fields, &seconds);
    std::tm fields = local.fields;
    local.utcOffsetSeconds = static_cast<int32_t>(_mkgmtime64(&fields) - seconds);
    return local;
}
