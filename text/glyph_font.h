// A font turned into one texture holding all its glyphs and 128 consecutive display lists (codes
// 0 to 127), rasterised once by FreeType when built, with each glyph's advance kept so that a line
// can be measured without drawing it. Needs a current OpenGL context to build and release.
#pragma once
#include <cstdint>

struct GlyphFont {
    float height;          // the size given to init; also sets the line pitch of printText
    uint32_t texture;      // every glyph's texels; 0 while not built. The lists leave binding
                           // it to their caller, once for a whole line
    uint32_t listBase;     // list of code 0; code c is listBase + c
    int32_t advances[128]; // pixels each code's list moves the pen and the raster position
    struct Quad {
        float left;   // the quad's left edge right of the pen, in glyph pixels
        float bottom; // its lower edge above the baseline (below when negative)
        float width;  // its size in glyph pixels; 0 for a glyph with no ink
        float rows;
        float s0, t0; // its place in the texture: left, top
        float s1, t1; // and right, bottom
    };
    Quad quads[128];  // what each code's list draws, for a caller drawing many glyphs at once
    int32_t inkAbove; // glyph pixels the highest quad reaches above the baseline
    int32_t inkBelow; // and the lowest below it

    // Builds the font from the file at fontPath at size height (points at 96 dpi) into the
    // current context; the font must be in its zero state (never built, or released). Throws
    // std::runtime_error with a fixed text on failure, leaving the font in its zero state.
    void init(const char* fontPath, uint32_t height);

    // Deletes the lists and textures; does nothing for a font not built or already released.
    void release();
};

// Number of codes a font holds: 0 to 127.
constexpr int glyphCount = 128;

// The smallest power of two >= n, and 1 for n <= 1: a side of the texture a glyph would have
// to itself, whose edges the glyph's place in the font's texture reproduces.
uint32_t nextPowerOfTwo(uint32_t n);

// A 26.6 fixed-point advance in whole pixels, floored (not rounded).
int32_t advanceInPixels(long advance26dot6);
