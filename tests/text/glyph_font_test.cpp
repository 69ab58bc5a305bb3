// Glyph fonts built from the real font files in a real GL context: every code's texels, quad
// and advance match what FreeType renders, names are the font's own, and failures clean up.
#include <GL/gl.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <stdexcept>

#include "reference_glyphs.h"
#include "support/gl_context.h"
#include "support/process.h"
#include "text/glyph_font.h"

namespace {
TEST(GlyphTextureSide, IsTheSmallestPowerOfTwoThatHoldsTheBitmapSide) {
    const struct {
        uint32_t bitmapSide, textureSide;
    } cases[] = {{0, 1}, {1, 1}, {2, 2}, {3, 4}, {5, 8}, {9, 16}, {16, 16}, {17, 32}, {64, 64}};
    for (const auto& c : cases) {
        EXPECT_EQ(nextPowerOfTwo(c.bitmapSide), c.textureSide) << "side " << c.bitmapSide;
    }
}

TEST(GlyphAdvance, IsFlooredToWholePixels) {
    const struct {
        long advance26dot6;
        int32_t pixels;
    } cases[] = {{1216, 19}, {1250, 19}, {1279, 19}, {1280, 20}, {31, 0}, {0, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(advanceInPixels(c.advance26dot6), c.pixels) << c.advance26dot6;
    }
}

struct FontCase {
    const char* pattern;
    unsigned size;
};
const FontCase dashboardFonts[] = {{"Arial", 72}, {"Arial:bold", 40}};

class GlyphFontTest : public GlTest {
  protected:
    void TearDown() override {
        font.release();
        GlTest::TearDown();
    }
    GlyphFont font{};
};

GLint textureSize(GLuint texture, GLenum which) {
    glBindTexture(GL_TEXTURE_2D, texture);
    GLint value = -1;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, which, &value);
    return value;
}

// How far a code's list moves the raster position, in window pixels.
float rasterMove(const GlyphFont& font, int code) {
    glPushMatrix(); // the list moves the pen too
    GLfloat start[4], end[4];
    glRasterPos2f(10, 10);
    glGetFloatv(GL_CURRENT_RASTER_POSITION, start);
    glCallList(font.listBase + code);
    glGetFloatv(GL_CURRENT_RASTER_POSITION, end);
    glPopMatrix();
    return end[0] - start[0];
}

// How far a code's list moves the pen: the translation it leaves on the modelview.
float penMove(const GlyphFont& font, int code) {
    glPushMatrix();
    glLoadIdentity();
    glCallList(font.listBase + code);
    GLfloat modelview[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    glPopMatrix();
    return modelview[12];
}

TEST_F(GlyphFontTest, EveryCodeHasItsListAndAdvance) {
    for (const FontCase& fc : dashboardFonts) {
        SCOPED_TRACE(fc.pattern);
        const std::string path = fontFile(fc.pattern);
        const std::vector<ReferenceGlyph> glyphs = referenceGlyphs(path, fc.size);
        font.init(path.c_str(), fc.size);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        usePixelProjection();
        ASSERT_TRUE(glIsTexture(font.texture));
        EXPECT_EQ(font.height, float(fc.size));
        for (int code = 0; code < glyphCount; ++code) {
            EXPECT_TRUE(glIsList(font.listBase + code)) << code;
            EXPECT_EQ(rasterMove(font, code), float(glyphs[code].advance())) << code;
            EXPECT_EQ(penMove(font, code), float(glyphs[code].advance())) << code;
        }
        EXPECT_EQ(font.inkAbove, inkAbove(glyphs));
        EXPECT_EQ(font.inkBelow, inkBelow(glyphs));
        font.release();
    }
}

// The font's texture read back as RGBA.
std::vector<uint8_t> texelsOf(GLuint texture, int& width, int& height) {
    width = textureSize(texture, GL_TEXTURE_WIDTH);
    height = textureSize(texture, GL_TEXTURE_HEIGHT);
    std::vector<uint8_t> rgba(std::size_t(width) * height * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    return rgba;
}

// The smallest and largest texture coordinates the code's list gives its quad's corners, as
// OpenGL's feedback mode reports them.
struct TexCoordBox {
    int corners = 0;
    float sLow = 2, sHigh = -1, tLow = 2, tHigh = -1;
};
TexCoordBox texCoordsOf(const GlyphFont& font, int code) {
    GLfloat feedback[256];
    glFeedbackBuffer(256, GL_3D_COLOR_TEXTURE, feedback);
    glRenderMode(GL_FEEDBACK);
    glPushMatrix();
    glLoadIdentity();
    glTranslatef(100, 100, 0);
    glCallList(font.listBase + code);
    glPopMatrix();
    const GLint used = glRenderMode(GL_RENDER);
    // Vertices of x, y, z, RGBA, then s, t, r, q.
    constexpr int vertexFloats = 11;
    TexCoordBox box;
    for (GLint i = 0; i < used;) {
        const auto token = GLint(feedback[i++]);
        if (token == GL_BITMAP_TOKEN) {
            i += vertexFloats;
            continue;
        }
        EXPECT_EQ(token, GLint(GL_POLYGON_TOKEN));
        const auto n = GLint(feedback[i++]);
        for (GLint v = 0; v < n; ++v, i += vertexFloats, ++box.corners) {
            const float s = feedback[i + 7], t = feedback[i + 8];
            box.sLow = std::min(box.sLow, s);
            box.sHigh = std::max(box.sHigh, s);
            box.tLow = std::min(box.tLow, t);
            box.tHigh = std::max(box.tHigh, t);
        }
    }
    return box;
}

// Each glyph's quad is textured from a place of its own in the font's one texture: its coverage,
// top row first, and around it one texel each way as a texture of the glyph's own would give
// it to linear filtering: sides of the next power of two, zero right of and below the bitmap,
// repeating. So the glyph is drawn as from its own texture, and no neighbour bleeds in.
TEST_F(GlyphFontTest, EachGlyphHasItsCoverageAndItsOwnEdgesInTheFontsTexture) {
    const struct {
        const char* pattern;
        unsigned size;
    } cases[] = {
        {"Arial", 72},
        {"Arial:bold", 40},
        {"Arial", 4}, // one pixel wide glyphs: texture rows of 2 bytes, shorter than GL's usual 4
    };
    for (const auto& fc : cases) {
        SCOPED_TRACE(std::string(fc.pattern) + " size " + std::to_string(fc.size));
        const std::string path = fontFile(fc.pattern);
        const std::vector<ReferenceGlyph> glyphs = referenceGlyphs(path, fc.size);
        font.init(path.c_str(), fc.size);
        usePixelProjection();
        int texW = 0, texH = 0;
        const std::vector<uint8_t> rgba = texelsOf(font.texture, texW, texH);
        EXPECT_EQ(nextPowerOfTwo(uint32_t(texW)), uint32_t(texW));
        EXPECT_EQ(nextPowerOfTwo(uint32_t(texH)), uint32_t(texH));
        int inked = 0;
        for (int code = 0; code < glyphCount; ++code) {
            const ReferenceGlyph& g = glyphs[code];
            if (g.width == 0 || g.rows == 0) {
                continue;
            }
            SCOPED_TRACE(std::string("code ") + std::to_string(code));
            ++inked;
            const TexCoordBox box = texCoordsOf(font, code);
            ASSERT_GE(box.corners, 3);
            const int x0 = int(box.sLow * texW), y0 = int(box.tLow * texH);
            EXPECT_EQ(box.sLow * texW, float(x0)); // texel edges, exactly
            EXPECT_EQ(box.tLow * texH, float(y0));
            EXPECT_EQ(box.sHigh * texW, float(x0 + g.width));
            EXPECT_EQ(box.tHigh * texH, float(y0 + g.rows));
            ASSERT_TRUE(x0 >= 1 && y0 >= 1 && x0 + g.width < texW && y0 + g.rows < texH);

            const int ownW = int(nextPowerOfTwo(uint32_t(g.width)));
            const int ownH = int(nextPowerOfTwo(uint32_t(g.rows)));
            int mismatches = 0;
            for (int r = -1; r <= g.rows; ++r) {
                for (int c = -1; c <= g.width; ++c) {
                    const int ownR = (r + ownH) % ownH, ownC = (c + ownW) % ownW;
                    const int v = (ownR < g.rows && ownC < g.width) ? g.at(ownR, ownC) : 0;
                    const uint8_t* t = &rgba[(std::size_t(y0 + r) * texW + x0 + c) * 4];
                    mismatches += (t[0] != v || t[1] != v || t[2] != v || t[3] != v) ? 1 : 0;
                }
            }
            EXPECT_EQ(mismatches, 0);
        }
        EXPECT_GT(inked, 60);
        font.release();
    }
}

TEST_F(GlyphFontTest, SpaceDrawsNothingButTakesItsFullAdvance) {
    const std::string path = fontFile("Arial");
    const std::vector<ReferenceGlyph> glyphs = referenceGlyphs(path, 72);
    ASSERT_EQ(glyphs[' '].width, 0);
    ASSERT_GT(glyphs[' '].advance(), 0);
    font.init(path.c_str(), 72);

    // Untextured white on black: a quad with any area would show.
    usePixelProjection();
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    const Image before = readFrame();
    glColor3f(1, 1, 1);
    glTranslatef(100, 100, 0);
    glCallList(font.listBase + ' ');
    EXPECT_EQ(countDifferentPixels(before, readFrame()), 0u);
    EXPECT_EQ(rasterMove(font, ' '), float(glyphs[' '].advance()));
}

TEST_F(GlyphFontTest, GlyphStandsUprightOnThePenWithItsBearings) {
    const std::string path = fontFile("Arial:bold");
    const std::vector<ReferenceGlyph> glyphs = referenceGlyphs(path, 40);
    font.init(path.c_str(), 40);
    usePixelProjection();
    // White through the glyph's coverage, unblended: each pixel shows the coverage itself.
    glClearColor(0, 0, 0, 1);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, font.texture); // the lists leave binding to their caller
    glColor3f(1, 1, 1);
    const int penX = 100, baseline = 200;
    for (unsigned char code : std::string("AgQ")) {
        SCOPED_TRACE(std::string("code ") + char(code));
        glClear(GL_COLOR_BUFFER_BIT);
        glLoadIdentity();
        glTranslatef(penX, baseline, 0);
        glCallList(font.listBase + code);
        const Image frame = readFrame();
        const ReferenceGlyph& g = glyphs[code];
        int worst = 0;
        for (int r = 0; r < g.rows; ++r) {
            for (int c = 0; c < g.width; ++c) {
                const int shown = frame.atGl(penX + g.left + c, baseline + g.top - 1 - r)[0];
                worst = std::max(worst, std::abs(shown - g.at(r, c)));
            }
        }
        EXPECT_LE(worst, 1);
        const uint8_t black[3] = {0, 0, 0};
        const InkBox ink = findInk(frame, black);
        ASSERT_FALSE(ink.empty);
        EXPECT_GE(ink.left, penX + g.left);
        EXPECT_LE(ink.right, penX + g.left + g.width - 1);
        EXPECT_GE(ink.bottom, baseline + g.top - g.rows);
        EXPECT_LE(ink.top, baseline + g.top - 1);
    }
}

TEST_F(GlyphFontTest, TwoBuildsOfOneFileOwnSeparateNames) {
    const std::string path = fontFile("Arial");
    GlyphFont second{};
    font.init(path.c_str(), 40);
    second.init(path.c_str(), 40);
    const long apart = long(second.listBase) - long(font.listBase);
    EXPECT_GE(std::labs(apart), 128);
    EXPECT_NE(font.texture, second.texture);

    // Releasing one leaves the other whole.
    const GLuint firstBase = font.listBase;
    const GLuint firstTexture = font.texture;
    font.release();
    EXPECT_FALSE(glIsList(firstBase + 'A'));
    EXPECT_FALSE(glIsTexture(firstTexture));
    EXPECT_TRUE(glIsList(second.listBase + 'A'));
    EXPECT_TRUE(glIsTexture(second.texture));
    second.release();
}

TEST_F(GlyphFontTest, ReleaseOfAFontNeverBuiltOrReleasedTwiceDoesNothing) {
    font.release();
    EXPECT_EQ(font.texture, 0u);
    font.init(fontFile("Arial").c_str(), 40);
    font.release();
    font.release();
    EXPECT_EQ(font.texture, 0u);
    EXPECT_EQ(font.listBase, 0u);
    EXPECT_EQ(font.height, 0.0f);
    EXPECT_EQ(font.advances['A'], 0);
    EXPECT_EQ(font.inkAbove, 0);
    EXPECT_EQ(font.inkBelow, 0);
}

TEST_F(GlyphFontTest, FileThatIsNoFontThrowsBeforeAnyNameIsMade) {
    const std::string scratch = makeScratchFolder("glyph-font");
    const std::string notAFont = scratch + "/notes.ttf";
    std::FILE* file = std::fopen(notAFont.c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fputs("this is not a font\n", file);
    std::fclose(file);
    const std::string paths[] = {scratch + "/missing.ttf", notAFont, scratch, ""};

    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        // GL names are handed out upwards; a build that made and dropped its 128 lists would
        // leave the next names at least 128 further on, and its texture one further.
        const GLuint listBefore = glGenLists(1);
        GLuint textureBefore = 0;
        glGenTextures(1, &textureBefore);
        try {
            font.init(path.c_str(), 40);
            ADD_FAILURE() << "init did not throw";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(),
                         "FT_New_Face failed (there is probably a problem with your font file)");
        }
        EXPECT_EQ(font.texture, 0u);
        EXPECT_EQ(font.listBase, 0u);
        const GLuint listAfter = glGenLists(1);
        GLuint textureAfter = 0;
        glGenTextures(1, &textureAfter);
        EXPECT_LT(listAfter - listBefore, 128u);
        EXPECT_EQ(textureAfter - textureBefore, 1u);
        glDeleteLists(listBefore, 1);
        glDeleteLists(listAfter, 1);
        glDeleteTextures(1, &textureBefore);
        glDeleteTextures(1, &textureAfter);
    }
    std::remove(notAFont.c_str());
    std::remove(scratch.c_str());
}
} // namespace
