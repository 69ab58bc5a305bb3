// Text printing: each line is measured, then drawn. Measuring finds how far the glyphs' glBitmap
// moves would push the raster position, and that width centres the visible pass. It adds the
// glyphs' advances to the raster position in single precision, one by one, as the glyph lists'
// glBitmap moves do, and so gets the same width without drawing.
// The visible pass draws every glyph of the call in one glDrawArrays instead of a list per glyph
// (each a draw of its own under a matrix of its own, which software GL pays dearly for). The quads
// land on the very pixels the lists' would: each glyph's matrix is worked out on the CPU with the
// driver's own float arithmetic (glTranslatef's and the matrix product's sums, in its order), and
// its corners are handed over already in clip coordinates, under identity matrices.
// Lines are cut in place in a stack buffer and the quads go into a stack array, so a call
// allocates nothing.
#include "text/text_print.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "text/identity_matrices.h"

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
    GLdouble projection[16];
    bool valid;
    double windowX;
};

Reference readReference(float x, float y) {
    Reference ref{};
    GLint viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, ref.modelview);
    glGetDoublev(GL_PROJECTION_MATRIX, ref.projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    GLdouble wx{}, wy{}, wz{};
    ref.valid =
        gluProject(x, y, 0, ref.modelview, ref.projection, viewport, &wx, &wy, &wz) == GL_TRUE;
    ref.windowX = wx;
    return ref;
}

// A matrix as the driver keeps it: single precision, column after column.
struct Matrix {
    float m[16];
};

// The driver holds the caller's doubles as floats (they were read back from floats: exact).
Matrix toFloats(const GLdouble (&m)[16]) {
    Matrix f{};
    for (int i = 0; i < 16; ++i) {
        f.m[i] = float(m[i]);
    }
    return f;
}

// a x b, each element summed over k = 0..3 in that order, as the driver multiplies matrices.
Matrix multiply(const Matrix& a, const Matrix& b) {
    Matrix p{};
    for (int i = 0; i < 4; ++i) {
        const float ai0 = a.m[i], ai1 = a.m[4 + i], ai2 = a.m[8 + i], ai3 = a.m[12 + i];
        for (int j = 0; j < 4; ++j) {
            const float* bj = b.m + 4 * j;
            p.m[4 * j + i] = ai0 * bj[0] + ai1 * bj[1] + ai2 * bj[2] + ai3 * bj[3];
        }
    }
    return p;
}

// glTranslatef(x, y, 0) on m, with the driver's sums.
void translate(Matrix& m, float x, float y) {
    const float z = 0;
    for (int i = 0; i < 4; ++i) {
        m.m[12 + i] = m.m[i] * x + m.m[4 + i] * y + m.m[8 + i] * z + m.m[12 + i];
    }
}

// A glyph corner as handed to the driver: clip coordinates, then the texture's.
struct Corner {
    float x, y, z, w;
    float s, t;
};

// The most corners a call can have: four for each of its characters.
constexpr int cornerCapacity = 4 * (textBufferSize - 1);

// Where the fixed-function vertex stage puts (x, y, 0, 1) under mvp: the columns weighed by the
// coordinates and summed in order.
void toClip(const Matrix& mvp, float x, float y, Corner& out) {
    float c[4];
    for (int i = 0; i < 4; ++i) {
        float sum = x * mvp.m[i];
        sum = y * mvp.m[4 + i] + sum;
        sum = 0.0f * mvp.m[8 + i] + sum;
        c[i] = 1.0f * mvp.m[12 + i] + sum;
    }
    out.x = c[0];
    out.y = c[1];
    out.z = c[2];
    out.w = c[3];
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

// Adds the corners of a line's glyph quads at (x, y - offset) to corners, from count on, where
// the glyph lists would have put them: the pen moves by each glyph's advance, and each quad is
// two translations away from the pen. Returns the new count.
int addLine(const GlyphFont& font, const Matrix& modelview, const Matrix& projection, float x,
            float y, float offset, const unsigned char* line, int length, Corner* corners,
            int count) {
    Matrix origin{};
    origin.m[0] = origin.m[5] = origin.m[10] = origin.m[15] = 1;
    origin.m[12] = x;
    origin.m[13] = y - offset;
    Matrix pen = multiply(origin, modelview);
    for (int i = 0; i < length; ++i) {
        if (line[i] >= glyphCount) {
            continue;
        }
        const GlyphFont::Quad& q = font.quads[line[i]];
        // A glyph without ink has a quad of no area: it covers no pixel.
        if (q.width > 0 && q.rows > 0) {
            Matrix at = pen;
            translate(at, q.left, 0);
            translate(at, 0, q.bottom);
            const Matrix mvp = multiply(projection, at);
            // The lists' order: upper left, lower left, lower right, upper right.
            Corner* c = corners + count;
            toClip(mvp, 0, q.rows, c[0]);
            toClip(mvp, 0, 0, c[1]);
            toClip(mvp, q.width, 0, c[2]);
            toClip(mvp, q.width, q.rows, c[3]);
            c[0].s = c[1].s = q.s0;
            c[2].s = c[3].s = q.s1;
            c[0].t = c[3].t = q.t0;
            c[1].t = c[2].t = q.t1;
            count += 4;
        }
        translate(pen, float(font.advances[line[i]]), 0);
    }
    return count;
}

// Draws the quads in one call, under identity matrices since the corners are in clip
// coordinates already.
void drawCorners(const Corner* corners, int count) {
    if (count == 0) {
        return;
    }
    const IdentityMatrices clipSpace;
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    // Only positions and texture coordinates: a caller's other arrays would feed the quads.
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_INDEX_ARRAY);
    glDisableClientState(GL_EDGE_FLAG_ARRAY);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(4, GL_FLOAT, sizeof(Corner), &corners[0].x);
    glTexCoordPointer(2, GL_FLOAT, sizeof(Corner), &corners[0].s);
    glDrawArrays(GL_QUADS, 0, count);
    glPopClientAttrib();
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
    const Matrix modelview = toFloats(ref.modelview);
    const Matrix projection = toFloats(ref.projection);
    Corner corners[cornerCapacity];
    int count = 0;
    forEachLine(font, text, [&](const unsigned char* line, int length, float offset) {
        const float measured = measureLine(font, ref, x, y, offset, line, length);
        float drawX = x;
        float drawY = y;
        if (centred) {
            drawX = x - measured * 0.5f;
            drawY = y - centringDrop(measured, line, length);
        }
        count = addLine(font, modelview, projection, drawX, drawY, offset, line, length, corners,
                        count);
    });
    drawCorners(corners, count);

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
