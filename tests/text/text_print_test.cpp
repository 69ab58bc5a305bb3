// Text printing in a real GL context, judged from the pixels: where lines land, that the
// measuring pass leaves nothing behind, and that the caller's state survives the call.
#include <GL/gl.h>
#include <GL/glu.h>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "reference_glyphs.h"
#include "support/gl_context.h"
#include "text/text_print.h"

namespace {
const uint8_t black[3] = {0, 0, 0};

// Pixels drawn whose centres lie outside the band textSpan gives (in pixels here).
int drawnOutside(const Image& image, const VerticalSpan& band) {
    int count = 0;
    for (int y = 0; y < image.height; ++y) {
        const float centre = float(y) + 0.5f;
        for (int x = 0; x < image.width; ++x) {
            count += std::memcmp(image.atGl(x, y), black, 3) != 0 &&
                     (centre < band.low || centre > band.high);
        }
    }
    return count;
}

class TextPrintTest : public GlTest {
  protected:
    void SetUp() override {
        GlTest::SetUp();
        // Built in the dashboard's order, so the small font's lists follow the large font's.
        large.init(fontFile("Arial").c_str(), 72);
        small.init(fontFile("Arial:bold").c_str(), 40);
        usePixelProjection();
        glClearColor(0, 0, 0, 1);
    }
    void TearDown() override {
        large.release();
        small.release();
        GlTest::TearDown();
    }

    // The frame after draw, on black, with white as the current colour.
    Image frameOf(const std::function<void()>& draw) {
        glClear(GL_COLOR_BUFFER_BIT);
        glColor3f(1, 1, 1);
        draw();
        return readFrame();
    }

    // One line drawn once, as the visible pass alone would draw it.
    void drawOnePass(const GlyphFont& font, float x, float y, const std::string& line) {
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        glEnable(GL_TEXTURE_2D);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glListBase(font.listBase);
        glPushMatrix();
        glTranslatef(x, y, 0);
        glCallLists(GLsizei(line.size()), GL_UNSIGNED_BYTE, line.data());
        glPopMatrix();
        glPopAttrib();
    }

    GlyphFont large{};
    GlyphFont small{};
};

TEST_F(TextPrintTest, MeasuringPassLeavesNoTrace) {
    // A second, visible pass over the same ink would darken or lighten every partly covered
    // pixel, so the printed line must equal one single pass.
    for (const char* line : {"Hg 42", "km/h", "W"}) {
        SCOPED_TRACE(line);
        const Image printed = frameOf([&] { printText(large, false, 50, 300, "%s", line); });
        const Image once = frameOf([&] { drawOnePass(large, 50, 300, line); });
        EXPECT_FALSE(findInk(printed, black).empty);
        EXPECT_EQ(countDifferentPixels(printed, once), 0u);
    }
}

TEST_F(TextPrintTest, CentredLineIsCentredOnItsPointAndLoweredByHalfItsMeanAdvance) {
    const struct {
        const GlyphFont* font;
        const char* pattern;
        unsigned size;
        const char* line;
        float y; // 599.5: on the window's top row, which still counts as inside the view
    } cases[] = {{&large, "Arial", 72, "120 km/h", 300},
                 {&small, "Arial:bold", 40, "88.8", 300},
                 {&small, "Arial:bold", 40, "W", 599.5f}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const std::string line = c.line;
        const float width = float(lineAdvance(referenceGlyphs(fontFile(c.pattern), c.size), line));
        const float x = 400 - width * 0.5f;
        const float y = c.y - (width / float(line.size())) * 0.5f;

        const Image centred = frameOf([&] { printText(*c.font, true, 400, c.y, "%s", c.line); });
        const Image placed = frameOf([&] { printText(*c.font, false, x, y, "%s", c.line); });
        EXPECT_EQ(countDifferentPixels(centred, placed), 0u);

        // The ink lies within the advance span around the point, so nothing was left at the
        // uncentred position.
        const InkBox ink = findInk(centred, black);
        ASSERT_FALSE(ink.empty);
        EXPECT_GE(ink.left, int(400 - width * 0.5f) - 1);
        EXPECT_LE(ink.right, int(400 + width * 0.5f) + 1);
    }
}

TEST_F(TextPrintTest, CentringMeasuresInGlyphUnitsUnderTheDashboardProjection) {
    // A cell: a 300 x 300 pixel viewport showing 0..1000 in both directions.
    useDashboardCell(100, 50, 300, 300);
    glTranslatef(20, -10, 0); // the dial's own offset inside the cell

    const std::string line = "1234";
    const float width = float(lineAdvance(referenceGlyphs(fontFile("Arial"), 72), line));
    const Image centred = frameOf([&] { printText(large, true, 500, 400, "%s", line.c_str()); });
    const Image placed = frameOf([&] {
        printText(large, false, 500 - width * 0.5f, 400 - (width / 4) * 0.5f, "%s", line.c_str());
    });
    EXPECT_FALSE(findInk(centred, black).empty);
    EXPECT_EQ(countDifferentPixels(centred, placed), 0u);
}

// Under a perspective projection (the text 5 units in front of the eye, where a unit is a pixel)
// the point still anchors the line: drawn where one pass would draw it, and centred by the width
// of its advances.
TEST_F(TextPrintTest, UnderAPerspectiveProjectionTheLineStaysOnItsPoint) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-400, 400, -300, 300, 5, 50);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0, 0, -5);
    const std::string line = "Hg 42";
    const Image printed = frameOf([&] { printText(large, false, -100, 20, "%s", line.c_str()); });
    const Image once = frameOf([&] { drawOnePass(large, -100, 20, line); });
    EXPECT_FALSE(findInk(printed, black).empty);
    EXPECT_EQ(countDifferentPixels(printed, once), 0u);

    const float width = float(lineAdvance(referenceGlyphs(fontFile("Arial"), 72), line));
    const Image centred = frameOf([&] { printText(large, true, 30, 20, "%s", line.c_str()); });
    const Image placed = frameOf([&] {
        printText(large, false, 30 - width * 0.5f, 20 - (width / 5) * 0.5f, "%s", line.c_str());
    });
    EXPECT_EQ(countDifferentPixels(centred, placed), 0u);
}

TEST_F(TextPrintTest, LinesStepDownByThePitch) {
    const struct {
        const GlyphFont* font;
        const char* text;
        std::vector<std::string> lines;
        std::vector<float> offsets;
    } cases[] = {
        {&small,
         "AB\nCD\nEF\nGH",
         {"AB", "CD", "EF", "GH"},
         {0, 63.492065f, 126.98413f, 190.4762f}},
        {&large, "1\n2", {"1", "2"}, {0, 114.28571f}},
        {&small, "\n\nX", {"", "", "X"}, {0, 63.492065f, 126.98413f}},
        {&small, "abc\n", {"abc", ""}, {0, 63.492065f}},
        {&small, "a\r\nb", {"a\r", "b"}, {0, 63.492065f}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const Image printed = frameOf([&] { printText(*c.font, false, 60, 500, "%s", c.text); });
        const Image each = frameOf([&] {
            for (std::size_t k = 0; k < c.lines.size(); ++k) {
                printText(*c.font, false, 60, 500 - c.offsets[k], "%s", c.lines[k].c_str());
            }
        });
        EXPECT_EQ(countDifferentPixels(printed, each), 0u);
        EXPECT_EQ(drawnOutside(printed, textSpan(*c.font, false, 500, "%s", c.text)), 0);
    }
}

TEST_F(TextPrintTest, EachCentredLineIsCentredOnTheCallersPoint) {
    const std::vector<ReferenceGlyph> glyphs = referenceGlyphs(fontFile("Arial:bold"), 40);
    const float pitch = 63.492065f;
    const Image printed = frameOf([&] { printText(small, true, 400, 300, "AB\nWWWW\n"); });
    const Image each = frameOf([&] {
        float k = 0;
        for (const std::string line : {"AB", "WWWW"}) {
            const float width = float(lineAdvance(glyphs, line));
            const float y = 300 - (width / float(line.size())) * 0.5f;
            printText(small, false, 400 - width * 0.5f, y - k * pitch, "%s", line.c_str());
            k += 1;
        }
    });
    EXPECT_EQ(countDifferentPixels(printed, each), 0u);
    EXPECT_EQ(drawnOutside(printed, textSpan(small, true, 300, "AB\nWWWW\n")), 0);
    // Without the empty line, the lowest a glyph can get is under the lowered second line.
    const VerticalSpan span = textSpan(small, true, 300, "AB\nWWWW");
    const float secondLine = 300 - pitch - float(lineAdvance(glyphs, "WWWW")) / 4 * 0.5f;
    EXPECT_EQ(span.low, secondLine - float(inkBelow(glyphs)));
    EXPECT_EQ(span.high, 300.0f + float(inkAbove(glyphs)));
}

TEST_F(TextPrintTest, NothingIsDrawnForNullFormatEmptyTextOrOnlyHighBytes) {
    const Image blank = frameOf([] {});
    const char* const nullFormat = nullptr;
    EXPECT_EQ(
        countDifferentPixels(blank, frameOf([&] { printText(small, true, 400, 300, nullFormat); })),
        0u);
    EXPECT_EQ(
        countDifferentPixels(blank, frameOf([&] { printText(small, true, 400, 300, "%s", ""); })),
        0u);
    EXPECT_EQ(countDifferentPixels(
                  blank, frameOf([&] { printText(large, false, 400, 300, "\x80\xC8\xFF"); })),
              0u);
}

TEST_F(TextPrintTest, BytesFrom128UpDrawNothingAndKeepThePen) {
    // In the large font these bytes would name the small font's lists. Centred, the line is
    // placed as if they were not there.
    // Octal escapes: 0x80, 0xC8, 0xFF 0xFE, 0xC1.
    const std::string withHighBytes[] = {"A\200B", "A\310B", "A\377\376B", "\301AB\301"};
    for (bool centred : {false, true}) {
        const Image plain = frameOf([&] { printText(large, centred, 400, 300, "AB"); });
        for (const std::string& text : withHighBytes) {
            SCOPED_TRACE(centred ? "centred" : "not centred");
            const Image printed =
                frameOf([&] { printText(large, centred, 400, 300, "%s", text.c_str()); });
            EXPECT_EQ(countDifferentPixels(plain, printed), 0u);
        }
    }
}

TEST_F(TextPrintTest, FormattedTextIsCutAt255Characters) {
    // 253 empty lines and then "ABCD": the cut keeps "AB" on line 253. The start lies far above
    // the window so that line 253 lands inside it.
    const float pitch = 63.492065f;
    const float y = 253 * pitch + 150;
    const std::string text = std::string(253, '\n') + "ABCD";
    const std::string longer = text + std::string(2000, 'Z');
    const Image expected = frameOf([&] { printText(small, false, 50, y - 253 * pitch, "AB"); });
    EXPECT_FALSE(findInk(expected, black).empty);
    for (const std::string* t : {&text, &longer}) {
        EXPECT_EQ(countDifferentPixels(
                      expected, frameOf([&] { printText(small, false, 50, y, "%s", t->c_str()); })),
                  0u);
    }
    // The most glyphs a call draws, on one line: 253 Zs run in from far left of the window, so
    // that the cut's last two, "AB", land where they would after the last few Zs alone.
    const std::string inked = std::string(253, 'Z') + "ABCD";
    const float z = float(lineAdvance(referenceGlyphs(fontFile("Arial:bold"), 40), "Z"));
    const Image lastFew = frameOf([&] { printText(small, false, 50 - 8 * z, 150, "ZZZZZZZZAB"); });
    EXPECT_EQ(countDifferentPixels(lastFew, frameOf([&] {
                                       printText(small, false, 50 - 253 * z, 150, "%s",
                                                 inked.c_str());
                                   })),
              0u);
}

TEST_F(TextPrintTest, CentredLineStartingOutsideTheViewIsNotShifted) {
    const Image centred = frameOf([&] { printText(large, true, -40, 300, "WWWW"); });
    const Image plain = frameOf([&] { printText(large, false, -40, 300, "WWWW"); });
    EXPECT_FALSE(findInk(plain, black).empty);
    EXPECT_EQ(countDifferentPixels(centred, plain), 0u);
}

// The text looks the same whatever matrix mode, enables and arrays the caller left: lighting with
// no light, a depth test that passes nothing, texturing and blending off, a colour array.
TEST_F(TextPrintTest, TheCallersMatrixModeAndEnablesDoNotChangeTheText) {
    const Image plain = frameOf([&] { printText(small, true, 300, 300, "Hg 42"); });
    EXPECT_FALSE(findInk(plain, black).empty);
    for (GLenum mode : {GL_PROJECTION, GL_TEXTURE}) {
        const Image other = frameOf([&] {
            glMatrixMode(mode);
            printText(small, true, 300, 300, "Hg 42");
            glMatrixMode(GL_MODELVIEW);
        });
        EXPECT_EQ(countDifferentPixels(plain, other), 0u) << mode;
    }
    // A colour array left on, all black and transparent, would hide the text if it fed it.
    const std::vector<GLfloat> clear(4 * 4 * 255, 0.0f);
    const Image colourArray = frameOf([&] {
        glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
        glEnableClientState(GL_COLOR_ARRAY);
        glColorPointer(4, GL_FLOAT, 0, clear.data());
        printText(small, true, 300, 300, "Hg 42");
        glPopClientAttrib();
    });
    EXPECT_EQ(countDifferentPixels(plain, colourArray), 0u);
    const Image enabled = frameOf([&] {
        glPushAttrib(GL_ENABLE_BIT | GL_DEPTH_BUFFER_BIT);
        glEnable(GL_LIGHTING);
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_NEVER);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_BLEND);
        printText(small, true, 300, 300, "Hg 42");
        glPopAttrib();
    });
    EXPECT_EQ(countDifferentPixels(plain, enabled), 0u);
}

// What the caller had set before the call; each is read back afterwards.
struct CallerState {
    GLfloat colour[4];
    GLfloat raster[4];
    GLboolean lighting, texture, depth, blend;
    GLint listBase;
    GLint matrixMode;
    GLdouble modelview[16];
    GLdouble projection[16];
    GLboolean vertexArray, texCoordArray, colourArray;
    GLvoid* vertexPointer;
};

CallerState readCallerState() {
    CallerState s{};
    glGetFloatv(GL_CURRENT_COLOR, s.colour);
    glGetFloatv(GL_CURRENT_RASTER_POSITION, s.raster);
    s.lighting = glIsEnabled(GL_LIGHTING);
    s.texture = glIsEnabled(GL_TEXTURE_2D);
    s.depth = glIsEnabled(GL_DEPTH_TEST);
    s.blend = glIsEnabled(GL_BLEND);
    glGetIntegerv(GL_LIST_BASE, &s.listBase);
    glGetIntegerv(GL_MATRIX_MODE, &s.matrixMode);
    glGetDoublev(GL_MODELVIEW_MATRIX, s.modelview);
    glGetDoublev(GL_PROJECTION_MATRIX, s.projection);
    s.vertexArray = glIsEnabled(GL_VERTEX_ARRAY);
    s.texCoordArray = glIsEnabled(GL_TEXTURE_COORD_ARRAY);
    s.colourArray = glIsEnabled(GL_COLOR_ARRAY);
    glGetPointerv(GL_VERTEX_ARRAY_POINTER, &s.vertexPointer);
    return s;
}

void expectSameState(const CallerState& a, const CallerState& b) {
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(a.colour[i], b.colour[i]) << "colour " << i;
        EXPECT_EQ(a.raster[i], b.raster[i]) << "raster " << i;
    }
    EXPECT_EQ(a.lighting, b.lighting);
    EXPECT_EQ(a.texture, b.texture);
    EXPECT_EQ(a.depth, b.depth);
    EXPECT_EQ(a.blend, b.blend);
    EXPECT_EQ(a.listBase, b.listBase);
    EXPECT_EQ(a.matrixMode, b.matrixMode);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(a.modelview[i], b.modelview[i]) << "modelview " << i;
        EXPECT_EQ(a.projection[i], b.projection[i]) << "projection " << i;
    }
    EXPECT_EQ(a.vertexArray, b.vertexArray);
    EXPECT_EQ(a.texCoordArray, b.texCoordArray);
    EXPECT_EQ(a.colourArray, b.colourArray);
    EXPECT_EQ(a.vertexPointer, b.vertexPointer);
}

TEST_F(TextPrintTest, CallersStateIsAsItWasAfterTheCall) {
    const struct {
        bool enables; // lighting, texturing, depth test, blending and the vertex, texture
                      // coordinate and colour arrays all on, or all off
        GLenum matrixMode;
        GLfloat colour[4];
        bool centred;
        const char* text;
    } cases[] = {
        {false, GL_MODELVIEW, {1, 1, 1, 1}, true, "120"},
        {true, GL_PROJECTION, {0.25f, 0.5f, 0.75f, 0.5f}, false, "two\nlines"},
        {false, GL_TEXTURE, {1, 0, 0, 0.125f}, true, ""},
        {true, GL_MODELVIEW, {0, 1, 0, 0}, false, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text != nullptr ? c.text : "(null)");
        for (GLenum cap : {GL_LIGHTING, GL_TEXTURE_2D, GL_DEPTH_TEST, GL_BLEND}) {
            c.enables ? glEnable(cap) : glDisable(cap);
        }
        for (GLenum array : {GL_VERTEX_ARRAY, GL_TEXTURE_COORD_ARRAY, GL_COLOR_ARRAY}) {
            c.enables ? glEnableClientState(array) : glDisableClientState(array);
        }
        const GLfloat callersVertices[4] = {};
        glVertexPointer(2, GL_FLOAT, 0, callersVertices);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, 800, 0, 600, -1, 1);
        glScalef(1, 1, 0.5f);
        glBlendFunc(GL_ONE, GL_ZERO);
        glListBase(7);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glTranslatef(30, 40, 0);
        glRasterPos2f(12, 34);
        glColor4fv(c.colour);
        glMatrixMode(c.matrixMode);
        const CallerState before = readCallerState();

        printText(small, c.centred, 200, 300, c.text == nullptr ? nullptr : "%s", c.text);

        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        expectSameState(before, readCallerState());
        GLint source = 0, destination = 0;
        glGetIntegerv(GL_BLEND_SRC, &source);
        glGetIntegerv(GL_BLEND_DST, &destination);
        EXPECT_EQ(source, GL_SRC_ALPHA);
        EXPECT_EQ(destination, GL_ONE_MINUS_SRC_ALPHA);
        // Later colour calls behave as before.
        glColor3f(0.5f, 0.5f, 0.5f);
        GLfloat colour[4];
        glGetFloatv(GL_CURRENT_COLOR, colour);
        EXPECT_EQ(colour[3], 1.0f);
    }
    for (GLenum array : {GL_VERTEX_ARRAY, GL_TEXTURE_COORD_ARRAY, GL_COLOR_ARRAY}) {
        glDisableClientState(array);
    }
}
} // namespace
