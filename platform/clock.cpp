// SDL's tick counter starts by itself on first use, so the link and the tests need no SDL_Init.
#include "platform/clock.h"

#include <SDL.h>

uint32_t tickCount() {
    return SDL_GetTicks();
}

void sleepMs(uint32_t ms) {
    SDL_Delay(ms);
}
