// The program's icon, compiled in with GResource at 16, 32, 48 and 256 pixels.
#pragma once
#include <SDL.h>
#include <gdk-pixbuf/gdk-pixbuf.h>

// The icon at size pixels (16, 32, 48 or 256), or nullptr. The caller unrefs it.
GdkPixbuf* loadIconPixbuf(int size);

// The icon as an RGBA SDL surface, or nullptr. The caller frees it.
SDL_Surface* loadIconSurface(int size);
