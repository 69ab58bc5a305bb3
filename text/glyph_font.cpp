// Glyph fonts: FreeType renders each code once into an 8-bit coverage bitmap, which becomes a
// luminance-alpha texture and a display list that draws it as a quad and moves both the pen
// (a translation, for the next quad) and the raster position (a glBitmap, so a caller can
// measure a line). Nothing of FreeType outlives init.
#include "text/glyph_font.h"

#include <GL/gl.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_GLYPH_H
#include <algorithm>
#include <cstring>
#include <memory>
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

// Texels (v, v) for coverage v, top row first; (0, 0) right of and below the bitmap.
void fillTexels(const FT_Bitmap* bitmap, const Coverage& size, uint32_t texW, uint32_t texH,
                std::vector<uint8_t>& texels) {
    texels.assign(std::size_t(texW) * texH * 2, 0);
    for (int r = 0; r < size.rows; ++r) {
        for (int c = 0; c < size.width; ++c) {
            const uint8_t v = coverageAt(*bitmap, r, c);
            const std::size_t at = (std::size_t(r) * texW + c) * 2;
            texels[at] = v;
            texels[at + 1] = v;
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

void buildGlyph(FT_Face face, char code, GLuint listBase, int32_t* advances, Ink& ink,
                const uint32_t* textures, std::vector<uint8_t>& texels) {
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
    const int32_t advance = advanceInPixels(face->glyph->advance.x);
    advances[index] = advance;

    // A glyph that cannot be rendered into gray or one-bit coverage draws nothing but still
    // takes its place in the line.
    Coverage size;
    const FT_Bitmap* bitmap = nullptr;
    if (FT_Glyph_To_Bitmap(&copy.glyph, FT_RENDER_MODE_NORMAL, nullptr, 1) == 0 &&
        copy.glyph->format == FT_GLYPH_FORMAT_BITMAP) {
        const auto* rendered = reinterpret_cast<FT_BitmapGlyph>(copy.glyph);
        const unsigned char mode = rendered->bitmap.pixel_mode;
        if (mode == FT_PIXEL_MODE_GRAY || mode == FT_PIXEL_MODE_MONO) {
            bitmap = &rendered->bitmap;
            size = Coverage{int(bitmap->width), int(bitmap->rows), rendered->left, rendered->top};
        }
    }

    ink.above = std::max(ink.above, size.top);
    ink.below = std::max(ink.below, size.rows - size.top);

    const uint32_t texW = nextPowerOfTwo(uint32_t(size.width));
    const uint32_t texH = nextPowerOfTwo(uint32_t(size.rows));
    fillTexels(bitmap, size, texW, texH, texels);
    const GLuint texture = textures[index];
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, GLsizei(texW), GLsizei(texH), 0, GL_LUMINANCE_ALPHA,
                 GL_UNSIGNED_BYTE, texels.data());

    const float width = float(size.width);
    const float rows = float(size.rows);
    const float tx = width / float(texW);
    const float ty = rows / float(texH);
    glNewList(listBase + index, GL_COMPILE);
    glBindTexture(GL_TEXTURE_2D, texture);
    glPushMatrix();
    glTranslatef(float(size.left), 0, 0);
    glTranslatef(0, float(size.top - size.rows), 0);
    // Texture row 0 is the glyph's top row, so it goes to the quad's upper edge.
    glBegin(GL_QUADS);
    glTexCoord2d(0, 0);
    glVertex2f(0, rows);
    glTexCoord2d(0, ty);
    glVertex2f(0, 0);
    glTexCoord2d(tx, ty);
    glVertex2f(width, 0);
    glTexCoord2d(tx, 0);
    glVertex2f(width, rows);
    glEnd();
    glPopMatrix();
    glTranslatef(float(advance), 0, 0);
    glBitmap(0, 0, 0, 0, float(advance), 0, &noPixels);
    glEndList();
}
} // namespace

void GlyphFont::init(const char* fontPath, uint32_t size) {
    std::unique_ptr<uint32_t[]> names(new uint32_t[glyphCount]());

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

    // Without lists of our own, the glyphs would be recorded over lists 1 to 127 of others.
    const GLuint base = glGenLists(glyphCount);
    if (base == 0) {
        throw std::runtime_error("glGenLists failed");
    }
    int32_t pens[glyphCount] = {};
    Ink ink{};
    glGenTextures(glyphCount, names.get());
    // Texture rows of a 1-texel-wide glyph are 2 bytes; the default 4-byte row alignment would
    // read past the texel buffer.
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    try {
        std::vector<uint8_t> texels;
        for (int code = 0; code < glyphCount; ++code) {
            buildGlyph(ft.face, char(code), base, pens, ink, names.get(), texels);
        }
    } catch (...) {
        glPopClientAttrib();
        glDeleteLists(base, glyphCount);
        glDeleteTextures(glyphCount, names.get());
        throw;
    }
    glPopClientAttrib();

    height = float(size);
    textures = names.release();
    listBase = base;
    std::memcpy(advances, pens, sizeof advances);
    inkAbove = ink.above;
    inkBelow = ink.below;
}

void GlyphFont::release() {
    if (textures == nullptr) {
        return;
    }
    glDeleteLists(listBase, glyphCount);
    glDeleteTextures(glyphCount, textures);
    delete[] textures;
    height = 0;
    textures = nullptr;
    listBase = 0;
    std::memset(advances, 0, sizeof advances);
    inkAbove = 0;
    inkBelow = 0;
}
