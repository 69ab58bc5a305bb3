// printf-style text drawn with a built GlyphFont in the current colour, optionally centred.
#pragma once
#include "text/glyph_font.h"

// Draws the formatted text (cut at 255 characters; '\n' starts a line one pitch, 1.5873016 x
// the font's height, lower) at (x, y) after the current modelview, in the current colour.
// Centred, each line is centred on (x, y) and lowered by half its mean advance; that needs a
// modelview that only translates. Bytes from 128 up draw nothing. A null format draws nothing.
// Restores colour, raster position, enables, list base, matrix mode and modelview; leaves the
// blend function at source alpha / one minus source alpha. Allocates nothing.
void printText(const GlyphFont& font, bool centred, float x, float y, const char* format, ...)
    __attribute__((format(printf, 5, 6)));

// How printText measures a line: by the font's advance lists (the default, nothing drawn), or by
// drawing the line invisibly first. Both give the same width; drawing is the slower way kept
// for comparison.
enum class TextMeasuring { ByAdvances, ByDrawing };
void setTextMeasuring(TextMeasuring how);
