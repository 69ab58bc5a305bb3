// Drawing whole dashboard frames in a hidden GL window for the frame tests, and drawing single
// texts the way the dashboard places them, to compare a frame's text with the text it should be.
#pragma once
#include <GL/gl.h>
#include <GL/glu.h>
#include <cstdarg>
#include <string>

#include "dashboard/frame.h"
#include "pixels.h"
#include "scenes.h"
#include "shell/gl_window.h"
#include "support/gl_context.h"
#include "text/text_print.h"

// Sets the scene up as the program would (settings, then initDashboard, then what arrived) and
// draws one frame (with drawDashboard unless told otherwise). The context must be current and of
// the scene's size. Leaves the fonts built (releaseDashboard is the caller's) so that texts can be
// drawn for comparison afterwards.
inline Image drawSceneFrame(const GlContext& gl, const Scene& scene, std::string* error,
                            void (*draw)() = drawDashboard) {
    resetDashboardState();
    scene.configure();
    static GlWindow window{};
    static int32_t keys[256]{};
    if (!initDashboard(window, keys)) {
        *error = "initDashboard found no font";
        return {};
    }
    scene.feed();
    resizeDashboard(scene.width, scene.height);
    draw();
    glFinish();
    return readPixels(gl);
}

// Clears the frame and draws only one text in a cell, as a dashboard cell would (viewport of
// the cell, 0..1000 square, identity modelview, colour set with glColor3f).
inline Image drawTextAlone(const GlContext& gl, const CellRect& cell, const float rgb[3],
                           const GlyphFont& font, bool centred, float x, float y,
                           const char* text) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    useDashboardCell(cell.x, cell.y, cell.width, cell.height);
    glColor3f(rgb[0], rgb[1], rgb[2]);
    printText(font, centred, x, y, "%s", text);
    glFinish();
    return readPixels(gl);
}

// Pixels that differ between two frames inside a band of cell coordinates.
inline int differencesInBand(const Image& a, const Image& b, const CellMap& cell, double u0,
                             double u1, double v0, double v1) {
    int count = 0;
    for (int y = cell.py(v0); y <= cell.py(v1) && y < a.height; ++y) {
        for (int x = cell.px(u0); x <= cell.px(u1) && x < a.width; ++x) {
            const uint8_t* p = a.atGl(x, y);
            const uint8_t* q = b.atGl(x, y);
            if (p[0] != q[0] || p[1] != q[1] || p[2] != q[2]) {
                ++count;
            }
        }
    }
    return count;
}

// A hidden window of a fixed size for tests that read whole frames back; the dashboard's state
// is back to the program's start after each test.
class FrameFixture : public ::testing::Test {
  protected:
    FrameFixture(int width, int height) : width_(width), height_(height) {}
    void SetUp() override {
        std::string why;
        ASSERT_TRUE(openGlContext(gl, width_, height_, &why)) << why;
    }
    void TearDown() override {
        releaseDashboard();
        closeGlContext(gl);
        resetDashboardState();
    }

    // One frame set up by configure (before initDashboard) and feed (after). A test may draw
    // several: the fonts of the one before are released first, as the program does.
    Image frame(void (*configure)(), void (*feed)()) {
        releaseDashboard();
        std::string why;
        Image image = drawSceneFrame(gl, Scene{"test", width_, height_, configure, feed}, &why);
        EXPECT_EQ(image.width, width_) << why;
        return image;
    }

    CellMap cell(int i, int columns = 3) const {
        return {cellViewport(i, columns, width_, height_)};
    }

    GlContext gl;

  private:
    int width_;
    int height_;
};

inline const float white[3] = {1, 1, 1};
inline const float red[3] = {1, 0, 0};
inline const float green[3] = {0, 1, 0};
inline const float blue[3] = {0, 0, 1};
