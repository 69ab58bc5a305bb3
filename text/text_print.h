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

// How far a line's glyphs move the raster position. Called with the modelview at the line's
// origin and the raster position set there (glRasterPos2f(0, 0)); raster holds that position as
// glGetFloatv(GL_CURRENT_RASTER_POSITION) gives it and is moved on to where the glyph lists would
// leave it. printText adds the glyphs' advances, drawing nothing.
using LineMeasure = void (*)(const GlyphFont& font, const unsigned char* line, int length,
                             float raster[4]);

// Lets a check take the advances' place, e.g. by calling the glyph lists invisibly, which must
// give the same widths. nullptr restores the advances.
void setLineMeasureHook(LineMeasure measure);
