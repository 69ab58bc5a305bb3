// Windows virtual-key codes of SDL keys, by which the window records key states.
#pragma once
#include <SDL.h>

// Windows virtual-key code of an SDL key, or -1 for keys that have none. Letters come from the
// layout where it gives a Latin letter; other letter and digit keys go by their place on a US
// keyboard (the scancode).
int virtualKeyOf(const SDL_Keysym& key);
