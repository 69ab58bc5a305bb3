// Text printing: each line is measured, then drawn through the font's display lists. Measuring
// finds how far the glyphs' glBitmap moves would push the raster position, and that width centres
// the visible pass. It adds the glyphs' advances to the raster position in single precision, one
// by one, as the glyph lists' glBitmap moves do, and so gets the same width without drawing.
// Lines are cut in place in a stack buffer, so a call allocates nothing.
#include "text/text_print.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace {
constexpr int textBufferSize = 256;

// 1/0.63 in single precision: the pitch the dashboard's layouts were made for.
constexpr float linePitchFactor = 1.5873016f;

void addAdvances(const GlyphFont& font, const unsigned char* line, int length, float* raster) {
    for (int i = 0; i < length; ++i) {
        if (line[i] < glyphCount) {
            raster[0] += float(font.advances[line[i]]);
        }
    }
}

LineMeasure measureHook = nullptr;

// Bytes from 128 up have no list in a font (the names past its 128 may be another font's), so
// they are left out: they draw nothing and do not count as glyphs.
int glyphsIn(const unsigned char* line, int length) {
    int count = 0;
    for (int i = 0; i < length; ++i) {
        count += line[i] < glyphCount ? 1 : 0;
    }
    return count;
}

// Calls the lists of a line's glyphs, one glCallLists per run of glyph bytes.
void callGlyphs(const unsigned char* line, int length) {
    int runStart = 0;
    for (int i = 0; i <= length; ++i) {
        if (i < length && line[i] < glyphCount) {
            continue;
        }
        if (i > runStart) {
            glCallLists(i - runStart, GL_UNSIGNED_BYTE, line + runStart);
        }
        runStart = i + 1;
    }
}

// The call's text, cut at 255 characters; empty for a null format.
void formatText(char (&text)[textBufferSize], const char* format, va_list args) {
    text[0] = '\0';
    if (format != nullptr && std::vsnprintf(text, sizeof text, format, args) < 0) {
        text[0] = '\0';
    }
}

// Calls visit(line, length, offset) for every line, the last included even when empty; offset
// is how far the line's baseline lies below the first's.
template <typename Visit> void forEachLine(const GlyphFont& font, const char* text, Visit visit) {
    const float pitch = font.height * linePitchFactor;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    int lineStart = 0;
    int lineIndex = 0;
    for (int i = 0;; ++i) {
        if (bytes[i] != '\n' && bytes[i] != '\0') {
            continue;
        }
        visit(bytes + lineStart, i - lineStart, float(lineIndex) * pitch);
        if (bytes[i] == '\0') {
            return;
        }
        lineStart = i + 1;
        ++lineIndex;
    }
}

// How far centring lowers a line measured that wide: half its mean advance, over the glyphs
// drawn; an empty line counts as one.
float centringDrop(float measured, const unsigned char* line, int length) {
    const int glyphs = glyphsIn(line, length);
    const float count = float(std::max(glyphs, 1));
    return (measured / count) * 0.5f;
}

// Where the point (x, y, 0) after the caller's modelview lands on the window, in x; false when
// it cannot be projected.
struct Reference {
    GLdouble modelview[16];
    bool valid;
    double windowX;
};

Reference readReference(float x, float y) {
    Reference ref{};
    GLdouble projection[16];
    GLint viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, ref.modelview);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    GLdouble wx{}, wy{}, wz{};
    ref.valid = gluProject(x, y, 0, ref.modelview, projection, viewport, &wx, &wy, &wz) == GL_TRUE;
    ref.windowX = wx;
    return ref;
}

// The line's origin: (x, y - offset) in eye space added after the caller's modelview.
void placeLine(const Reference& ref, float x, float y, float offset) {
    glPushMatrix();
    glLoadIdentity();
    glTranslatef(x, y - offset, 0);
    glMultMatrixd(ref.modelview);
}

// Invisible pass: how far the line moves the raster position, in window pixels, which under a
// translating modelview is also its width in eye units. 0 when that cannot be known.
float measureLine(const GlyphFont& font, const Reference& ref, float x, float y, float offset,
                  const unsigned char* line, int length) {
    placeLine(ref, x, y, offset);
    GLboolean startVisible = GL_FALSE;
    GLfloat raster[4];
    glRasterPos2f(0, 0);
    glGetBooleanv(GL_CURRENT_RASTER_POSITION_VALID, &startVisible);
    glGetFloatv(GL_CURRENT_RASTER_POSITION, raster);
    (measureHook != nullptr ? measureHook : addAdvances)(font, line, length, raster);
    glPopMatrix();
    // Outside the view volume the raster position does not move, and unprojectable points
    // have no reference: either way the width is unknown and the line stays where it is.
    if (!ref.valid || startVisible != GL_TRUE) {
        return 0;
    }
    return float(double(raster[0]) - ref.windowX);
}

void drawLine(const Reference& ref, float x, float y, float offset, const unsigned char* line,
              int length) {
    placeLine(ref, x, y, offset);
    callGlyphs(line, length);
    glPopMatrix();
}
} // namespace

void printText(const GlyphFont& font, bool centred, float x, float y, const char* format, ...) {
    char text[textBufferSize];
    va_list args;
    va_start(args, format);
    formatText(text, format, args);
    va_end(args);

    glPushAttrib(GL_LIST_BIT | GL_CURRENT_BIT | GL_ENABLE_BIT | GL_TRANSFORM_BIT);
    glMatrixMode(GL_MODELVIEW);
    glDisable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glListBase(font.listBase);
    // All the font's glyphs lie in one texture: one bind for the whole text.
    glBindTexture(GL_TEXTURE_2D, font.texture);

    const Reference ref = readReference(x, y);
    forEachLine(font, text, [&](const unsigned char* line, int length, float offset) {
        const float measured = measureLine(font, ref, x, y, offset, line, length);
        float drawX = x;
        float drawY = y;
        if (centred) {
            drawX = x - measured * 0.5f;
            drawY = y - centringDrop(measured, line, length);
        }
        drawLine(ref, drawX, drawY, offset, line, length);
    });

    glPopAttrib();
}

VerticalSpan textSpan(const GlyphFont& font, bool centred, float y, const char* format, ...) {
    char text[textBufferSize];
    va_list args;
    va_start(args, format);
    formatText(text, format, args);
    va_end(args);

    float low = y;
    float high = y;
    forEachLine(font, text, [&](const unsigned char* line, int length, float offset) {
        low = std::min(low, y - offset);
        if (centred) {
            // Drawn, a line is as wide as its advances, or 0 wide where it cannot be placed:
            // either baseline may be the one drawn.
            float raster[4] = {};
            addAdvances(font, line, length, raster);
            const float dropped = y - offset - centringDrop(raster[0], line, length);
            low = std::min(low, dropped);
            high = std::max(high, dropped);
        }
    });
    return {low - float(font.inkBelow), high + float(font.inkAbove)};
}

void setLineMeasureHook(LineMeasure measure) {
    measureHook = measure;
}
