// printf-style text drawn with a built GlyphFont in the current colour, optionally centred.
#pragma once
#include "text/glyph_font.h"

// Draws the formatted text (cut at 255 characters; '\n' starts a line one pitch, 1.5873016 x
// the font's height, lower) at (x, y) after the current modelview, in the current colour.
// Centred, each line is centred on (x, y) and lowered by half its mean advance; that needs a
// modelview that only translates. Bytes from 128 up draw nothing. A null format draws nothing.
// Restores colour, raster position, enables, list base, matrix mode, the modelview and
// projection matrices and the client arrays; leaves the blend function at source alpha / one
// minus source alpha and the font's texture bound. Allocates nothing.
void printText(const GlyphFont& font, bool centred, float x, float y, const char* format, ...)
    __attribute__((format(printf, 5, 6)));

// A band of heights, in the units of the modelview it was found for.
struct VerticalSpan {
    float low;
    float high;
};

// The band printText's glyph quads can cover, for the same font, centring, y and text, under a
// modelview that only translates: from the lowest glyph's bottom on the lowest baseline a line
// may get to the highest glyph's top on the highest. Draws nothing.
VerticalSpan textSpan(const GlyphFont& font, bool centred, float y, const char* format, ...)
    __attribute__((format(printf, 4, 5)));

// How far a line's glyphs move the raster position. Called with the modelview at the line's
// origin and the raster position set there (glRasterPos2f(0, 0)); raster holds that position as
// glGetFloatv(GL_CURRENT_RASTER_POSITION) gives it and is moved on to where the glyph lists would
// leave it. printText adds the glyphs' advances, drawing nothing.
using LineMeasure = void (*)(const GlyphFont& font, const unsigned char* line, int length,
                             float raster[4]);

// Lets a check take the advances' place, e.g. by calling the glyph lists invisibly, which must
// give the same widths. nullptr restores the advances.
void setLineMeasureHook(LineMeasure measure);
