// printf-style text drawn with a built GlyphFont in the current colour, optionally centred.
#pragma once
#include "text/glyph_font.h"

// Draws the formatted text (at most 255 characters; '\n' starts a line one pitch lower) at
// (x, y) after the current modelview, in the current colour. Centred text is centred on (x, y).
// A null format draws nothing. Restores colour, raster position, enables, list base, matrix
// mode and modelview. Allocates nothing.
void printText(const GlyphFont& font, bool centred, float x, float y, const char* format, ...)
    __attribute__((format(printf, 5, 6)));
