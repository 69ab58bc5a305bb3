// What FreeType itself makes of the dashboard's font files, asked directly, so that text tests
// can say where glyphs must land without trusting the code under test.
#pragma once
#include <ft2build.h>
#include FT_FREETYPE_H
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "platform/font_lookup.h"

// The file fontconfig picks for "Arial" or "Arial:bold" (Liberation Sans on these machines).
inline std::string fontFile(const char* pattern) {
    char path[4096] = {};
    EXPECT_TRUE(findFontFile(pattern, path, sizeof path)) << pattern;
    return path;
}

struct ReferenceGlyph {
    int width = 0;
    int rows = 0;
    int left = 0;
    int top = 0;
    long advance26dot6 = 0;
    std::vector<unsigned char> coverage; // rows x width, top row first

    int advance() const { return int(advance26dot6 >> 6); }
    int at(int r, int c) const { return coverage[std::size_t(r) * width + c]; }
};

// Codes 0 to 127 loaded and rendered the way a glyph font is built: default loading, size in
// points at 96 dpi, 8-bit anti-aliased coverage.
inline std::vector<ReferenceGlyph> referenceGlyphs(const std::string& path, unsigned size) {
    std::vector<ReferenceGlyph> glyphs(128);
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    if (FT_Init_FreeType(&library) != 0 || FT_New_Face(library, path.c_str(), 0, &face) != 0) {
        ADD_FAILURE() << "FreeType cannot open " << path;
        return glyphs;
    }
    FT_Set_Char_Size(face, FT_F26Dot6(size) * 64, FT_F26Dot6(size) * 64, 96, 96);
    for (unsigned code = 0; code < 128; ++code) {
        ReferenceGlyph& g = glyphs[code];
        if (FT_Load_Glyph(face, FT_Get_Char_Index(face, code), FT_LOAD_DEFAULT) != 0 ||
            FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) != 0) {
            ADD_FAILURE() << "FreeType cannot render code " << code;
            continue;
        }
        const FT_GlyphSlot slot = face->glyph;
        g.width = int(slot->bitmap.width);
        g.rows = int(slot->bitmap.rows);
        g.left = slot->bitmap_left;
        g.top = slot->bitmap_top;
        g.advance26dot6 = slot->advance.x;
        for (int r = 0; r < g.rows; ++r) {
            const unsigned char* row = slot->bitmap.buffer + r * slot->bitmap.pitch;
            g.coverage.insert(g.coverage.end(), row, row + g.width);
        }
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    return glyphs;
}

// The sum of the advances of a line's glyphs: its width in glyph pixels.
inline int lineAdvance(const std::vector<ReferenceGlyph>& glyphs, const std::string& line) {
    int sum = 0;
    for (unsigned char c : line) {
        sum += glyphs[c].advance();
    }
    return sum;
}

// How far the glyphs' bitmaps reach above and below the baseline, at most.
inline int inkAbove(const std::vector<ReferenceGlyph>& glyphs) {
    int most = 0;
    for (const ReferenceGlyph& g : glyphs) {
        most = g.top > most ? g.top : most;
    }
    return most;
}
inline int inkBelow(const std::vector<ReferenceGlyph>& glyphs) {
    int most = 0;
    for (const ReferenceGlyph& g : glyphs) {
        most = g.rows - g.top > most ? g.rows - g.top : most;
    }
    return most;
}
