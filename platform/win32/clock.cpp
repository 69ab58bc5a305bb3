#include "platform/clock.h"

#include <windows.h>

uint32_t tickCount() {
    return GetTickCount();
}

void sleepMs(uint32_t ms) {
    Sleep(ms);
}
