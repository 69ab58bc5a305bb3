// Glyph fonts: FreeType renders each code once into an 8-bit coverage bitmap; all of a font's
// bitmaps go into one luminance-alpha texture, so a line of text binds one texture, and each code
// gets a display list that draws its part of the texture as a quad and moves both the pen (a
// translation, for the next quad) and the raster position (a glBitmap, so a caller can measure a
// line). Nothing of FreeType outlives init.
#include "text/glyph_font.h"

#include <GL/gl.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_GLYPH_H
#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <vector>

uint32_t nextPowerOfTwo(uint32_t n) {
    uint32_t side = 1;
    while (side < n && side < 0x80000000u) {
        side <<= 1;
    }
    return side;
}

int32_t advanceInPixels(long advance26dot6) {
    // An arithmetic shift floors: 1250 (19.53 pixels) gives 19, as does 1216.
    return static_cast<int32_t>(advance26dot6 >> 6);
}

namespace {
// The library and face live only while a font is built; closed on every way out of init.
struct FreeTypeFace {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ~FreeTypeFace() {
        if (face != nullptr) {
            FT_Done_Face(face);
        }
        if (library != nullptr) {
            FT_Done_FreeType(library);
        }
    }
};

struct GlyphCopy {
    FT_Glyph glyph = nullptr;
    ~GlyphCopy() {
        if (glyph != nullptr) {
            FT_Done_Glyph(glyph);
        }
    }
};

// The glyph's coverage as the texture wants it; a glyph with no usable bitmap is empty.
struct Coverage {
    int width = 0;
    int rows = 0;
    int left = 0;
    int top = 0;
};

// Coverage 0..255 at row r (top row 0) and column c of a gray or one-bit bitmap.
uint8_t coverageAt(const FT_Bitmap& bitmap, int r, int c) {
    const int pitch = bitmap.pitch;
    // A negative pitch stores the rows bottom-up.
    const unsigned char* row = pitch >= 0 ? bitmap.buffer + r * pitch
                                          : bitmap.buffer + (int(bitmap.rows) - 1 - r) * -pitch;
    if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO) {
        return (row[c >> 3] & (0x80 >> (c & 7))) != 0 ? 255 : 0;
    }
    return row[c];
}

// A glyph as FreeType rendered it, kept until the font's texture is filled.
struct RenderedGlyph {
    Coverage size;
    int32_t advance = 0;
    std::vector<uint8_t> coverage; // rows x width, top row first
    int atX = 0;                   // the glyph's first texel in the font's texture
    int atY = 0;
};

// Each glyph's place in the texture is ringed by one texel more each way: linear filtering
// reads one texel past a quad's edge. The ring holds what a texture of the glyph's own (power of
// two sides, zero right of and below the bitmap, repeating) would give there, so a glyph samples
// the very texels it would from a texture of its own, and no neighbour bleeds in.
constexpr int ringTexels = 1;

// Coverage at row r and column c of the glyph's own texture of texW x texH texels, repeating.
uint8_t paddedCoverage(const RenderedGlyph& g, int texW, int texH, int r, int c) {
    r = (r + texH) % texH;
    c = (c + texW) % texW;
    if (r >= g.size.rows || c >= g.size.width) {
        return 0;
    }
    return g.coverage[std::size_t(r) * g.size.width + c];
}

int cellWidth(const RenderedGlyph& g) {
    return g.size.width + 2 * ringTexels;
}
int cellHeight(const RenderedGlyph& g) {
    return g.size.rows + 2 * ringTexels;
}

// Places the glyphs' cells in rows (shelves) of a texture textureWidth wide, in code order;
// returns the height used, or -1 when a cell is wider than the texture.
int packGlyphs(RenderedGlyph* glyphs, int textureWidth) {
    int x = 0;
    int y = 0;
    int shelf = 0;
    for (int code = 0; code < glyphCount; ++code) {
        RenderedGlyph& g = glyphs[code];
        if (cellWidth(g) > textureWidth) {
            return -1;
        }
        if (x + cellWidth(g) > textureWidth) {
            x = 0;
            y += shelf;
            shelf = 0;
        }
        g.atX = x + ringTexels;
        g.atY = y + ringTexels;
        x += cellWidth(g);
        shelf = std::max(shelf, cellHeight(g));
    }
    return y + shelf;
}

struct TextureSize {
    int width;
    int height;
};

// The power-of-two texture of least area that holds every glyph, the narrower of equals.
TextureSize packFont(RenderedGlyph* glyphs) {
    TextureSize best{0, 0};
    for (int width = 64; width <= 8192; width *= 2) {
        const int used = packGlyphs(glyphs, width);
        if (used < 0) {
            continue;
        }
        const int height = int(nextPowerOfTwo(uint32_t(used)));
        if (best.width == 0 || long(width) * height < long(best.width) * best.height) {
            best = {width, height};
        }
    }
    packGlyphs(glyphs, best.width);
    return best;
}

// Texels (v, v) for coverage v, top row first, every glyph with its ring.
void fillTexels(const RenderedGlyph* glyphs, TextureSize size, std::vector<uint8_t>& texels) {
    texels.assign(std::size_t(size.width) * size.height * 2, 0);
    for (int code = 0; code < glyphCount; ++code) {
        const RenderedGlyph& g = glyphs[code];
        const int texW = int(nextPowerOfTwo(uint32_t(g.size.width)));
        const int texH = int(nextPowerOfTwo(uint32_t(g.size.rows)));
        for (int r = -ringTexels; r < g.size.rows + ringTexels; ++r) {
            for (int c = -ringTexels; c < g.size.width + ringTexels; ++c) {
                const uint8_t v = paddedCoverage(g, texW, texH, r, c);
                const std::size_t at = (std::size_t(g.atY + r) * size.width + g.atX + c) * 2;
                texels[at] = v;
                texels[at + 1] = v;
            }
        }
    }
}

// An empty bitmap, but not a null pointer: Mesa 22 records a listed glBitmap with no pixels as
// out of memory and then never moves the raster position.
const GLubyte noPixels = 0;

// How far the glyphs' quads reach above and below the baseline, in glyph pixels.
struct Ink {
    int32_t above;
    int32_t below;
};

void renderGlyph(FT_Face face, char code, RenderedGlyph& out) {
    const unsigned index = static_cast<unsigned char>(code);
    if (FT_Load_Glyph(face, FT_Get_Char_Index(face, index), FT_LOAD_DEFAULT) != 0) {
        throw std::runtime_error("FT_Load_Glyph failed");
    }
    GlyphCopy copy;
    if (FT_Get_Glyph(face->glyph, &copy.glyph) != 0) {
        copy.glyph = nullptr;
        throw std::runtime_error("FT_Get_Glyph failed");
    }
    // The pen moves by the slot's advance, not the bitmap's.
    out.advance = advanceInPixels(face->glyph->advance.x);

    // A glyph that cannot be rendered into gray or one-bit coverage draws nothing but still
    // takes its place in the line.
    if (FT_Glyph_To_Bitmap(&copy.glyph, FT_RENDER_MODE_NORMAL, nullptr, 1) == 0 &&
        copy.glyph->format == FT_GLYPH_FORMAT_BITMAP) {
        const auto* rendered = reinterpret_cast<FT_BitmapGlyph>(copy.glyph);
        const FT_Bitmap& bitmap = rendered->bitmap;
        if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY || bitmap.pixel_mode == FT_PIXEL_MODE_MONO) {
            out.size = Coverage{int(bitmap.width), int(bitmap.rows), rendered->left, rendered->top};
            out.coverage.resize(std::size_t(out.size.width) * out.size.rows);
            for (int r = 0; r < out.size.rows; ++r) {
                for (int c = 0; c < out.size.width; ++c) {
                    out.coverage[std::size_t(r) * out.size.width + c] = coverageAt(bitmap, r, c);
                }
            }
        }
    }
}

// Where a code's quad lies from the pen and in the font's texture.
GlyphFont::Quad quadOf(const RenderedGlyph& g, TextureSize texture) {
    // Power-of-two sides keep the texture coordinates exact.
    return {float(g.size.left),
            float(g.size.top - g.size.rows),
            float(g.size.width),
            float(g.size.rows),
            float(double(g.atX) / texture.width),
            float(double(g.atY) / texture.height),
            float(double(g.atX + g.size.width) / texture.width),
            float(double(g.atY + g.size.rows) / texture.height)};
}

// The list of one code: the glyph's quad, textured from its place in the font's texture (bound
// by the caller, once for a whole line), then the pen and raster moves.
void recordGlyph(const GlyphFont::Quad& q, int32_t advance, GLuint list) {
    glNewList(list, GL_COMPILE);
    glPushMatrix();
    glTranslatef(q.left, 0, 0);
    glTranslatef(0, q.bottom, 0);
    // Texture row 0 is the glyph's top row, so it goes to the quad's upper edge.
    glBegin(GL_QUADS);
    glTexCoord2f(q.s0, q.t0);
    glVertex2f(0, q.rows);
    glTexCoord2f(q.s0, q.t1);
    glVertex2f(0, 0);
    glTexCoord2f(q.s1, q.t1);
    glVertex2f(q.width, 0);
    glTexCoord2f(q.s1, q.t0);
    glVertex2f(q.width, q.rows);
    glEnd();
    glPopMatrix();
    glTranslatef(float(advance), 0, 0);
    glBitmap(0, 0, 0, 0, float(advance), 0, &noPixels);
    glEndList();
}
} // namespace

void GlyphFont::init(const char* fontPath, uint32_t size) {
    FreeTypeFace ft;
    if (FT_Init_FreeType(&ft.library) != 0) {
        ft.library = nullptr;
        throw std::runtime_error("FT_Init_FreeType failed");
    }
    if (fontPath == nullptr || FT_New_Face(ft.library, fontPath, 0, &ft.face) != 0) {
        ft.face = nullptr;
        throw std::runtime_error(
            "FT_New_Face failed (there is probably a problem with your font file)");
    }
    const FT_F26Dot6 size26dot6 = FT_F26Dot6(size) * 64;
    FT_Set_Char_Size(ft.face, size26dot6, size26dot6, 96, 96);

    // Every glyph is rendered before any GL name is made, so a failure leaves none behind.
    std::vector<RenderedGlyph> glyphs(glyphCount);
    Ink ink{};
    for (int code = 0; code < glyphCount; ++code) {
        renderGlyph(ft.face, char(code), glyphs[code]);
        const Coverage& g = glyphs[code].size;
        ink.above = std::max(ink.above, g.top);
        ink.below = std::max(ink.below, g.rows - g.top);
    }
    const TextureSize textureSize = packFont(glyphs.data());
    GLint largest = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    if (textureSize.width == 0 || textureSize.width > largest || textureSize.height > largest) {
        throw std::runtime_error("the font's glyphs do not fit in one texture");
    }

    // Without lists of our own, the glyphs would be recorded over lists 1 to 127 of others.
    const GLuint base = glGenLists(glyphCount);
    if (base == 0) {
        throw std::runtime_error("glGenLists failed");
    }
    GLuint name = 0;
    glGenTextures(1, &name);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    {
        std::vector<uint8_t> texels;
        fillTexels(glyphs.data(), textureSize, texels);
        // Rows of luminance-alpha pairs need not be a multiple of 4 bytes long.
        glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
        glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, textureSize.width, textureSize.height, 0,
                     GL_LUMINANCE_ALPHA, GL_UNSIGNED_BYTE, texels.data());
        glPopClientAttrib();
    }
    glBindTexture(GL_TEXTURE_2D, GLuint(bound));
    for (int code = 0; code < glyphCount; ++code) {
        quads[code] = quadOf(glyphs[code], textureSize);
        advances[code] = glyphs[code].advance;
        recordGlyph(quads[code], advances[code], base + GLuint(code));
    }

    height = float(size);
    texture = name;
    listBase = base;
    inkAbove = ink.above;
    inkBelow = ink.below;
}

void GlyphFont::release() {
    if (texture == 0) {
        return;
    }
    glDeleteLists(listBase, glyphCount);
    glDeleteTextures(1, &texture);
    height = 0;
    texture = 0;
    listBase = 0;
    std::memset(advances, 0, sizeof advances);
    std::memset(quads, 0, sizeof quads);
    inkAbove = 0;
    inkBelow = 0;
}
