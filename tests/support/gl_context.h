// An OpenGL context for drawing tests, and the pixels it draws.
//
// openGlContext makes a hidden SDL window on the test's X display (tests run under
// tools/with-xvfb.sh, so that is a private Xvfb with Mesa) with a double-buffered legacy
// (compatibility) context like the program's own: 8/8/8 colour, no alpha, 16-bit depth. The
// context is current when it returns. Drawing goes to the back buffer; readPixels reads it back.
//
// Images are RGBA, 4 bytes a pixel, rows top-down as in a picture file. at(x, y) counts y from
// the top; atGl(x, y) counts y from the bottom, as OpenGL window coordinates do.
//
// Reference frames: savePng / loadPng store and read an Image as PNG (gdk-pixbuf), and
// countDifferentPixels compares two frames with a per-channel tolerance, so a test can keep a
// frame under tests/<folder>/frames/ and compare a fresh one against it.
//
// Two ways to use it:
//   - plain functions: GlContext gl; ASSERT_TRUE(openGlContext(gl, 1024, 768, &why)) << why;
//     ... closeGlContext(gl);
//   - the GoogleTest fixture GlTest (800 x 600 unless the subclass passes another size):
//       class DialTest : public GlTest { protected: DialTest() : GlTest(1024, 768) {} };
//       TEST_F(DialTest, Draws) { usePixelProjection(); ...; Image frame = readFrame(); }
#pragma once
#include <SDL.h>
#include <cstdint>
#include <gtest/gtest.h>
#include <string>
#include <vector>

struct GlContext {
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
    int width = 0;
    int height = 0;
};

// Opens the hidden window and its context and makes it current. On failure returns false,
// leaves gl empty and says why in *error (when given).
bool openGlContext(GlContext& gl, int width, int height, std::string* error = nullptr);

// Deletes the context and the window; harmless on a context never opened or closed twice.
void closeGlContext(GlContext& gl);

// Viewport over the whole window, projection gluOrtho2D(0, width, 0, height), identity
// modelview: one unit is one pixel, with (0, 0) the bottom-left corner.
void usePixelProjection(const GlContext& gl);

// A dashboard cell: viewport (x, y, width, height), projection gluOrtho2D(0, 1000, 0, 1000),
// identity modelview.
void useDashboardCell(int x, int y, int width, int height);

struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba; // width * height * 4 bytes, top row first

    const uint8_t* at(int x, int y) const { return &rgba[(std::size_t(y) * width + x) * 4]; }
    const uint8_t* atGl(int x, int y) const { return at(x, height - 1 - y); }
};

// Reads the whole back buffer of the current context (glReadPixels, GL_RGBA, unsigned bytes).
Image readPixels(const GlContext& gl);

// Writes / reads a PNG file. Loading gives RGBA whatever the file holds (alpha 255 if none).
bool savePng(const Image& image, const std::string& path, std::string* error = nullptr);
bool loadPng(const std::string& path, Image& image, std::string* error = nullptr);

// Pixels where any channel differs by more than tolerance; images of different sizes differ
// everywhere (the larger pixel count is returned).
std::size_t countDifferentPixels(const Image& a, const Image& b, int tolerance = 0);

// The bounding box of pixels whose red, green or blue differs from background by more than
// threshold, in OpenGL window coordinates (y up). empty is true when there is no such pixel.
struct InkBox {
    bool empty = true;
    int left = 0, bottom = 0, right = 0, top = 0; // inclusive
};
InkBox findInk(const Image& image, const uint8_t background[3], int threshold = 0);

// GoogleTest fixture: a fresh context per test, current during the test body.
class GlTest : public ::testing::Test {
  protected:
    explicit GlTest(int width = 800, int height = 600) : width_(width), height_(height) {}
    void SetUp() override;
    void TearDown() override;

    void usePixelProjection() const { ::usePixelProjection(gl); }
    Image readFrame() const { return readPixels(gl); }

    GlContext gl;

  private:
    int width_;
    int height_;
};
