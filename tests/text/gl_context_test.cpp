// The drawing-test context itself: what is drawn into the hidden window can be read back exactly,
// and a frame survives a round trip through a PNG file.
#include <GL/gl.h>
#include <cstdio>
#include <gtest/gtest.h>

#include "support/gl_context.h"
#include "support/process.h"

namespace {
class GlContextTest : public GlTest {
  protected:
    GlContextTest() : GlTest(320, 200) {}

    // A red background with a green 10 x 5 rectangle whose bottom-left pixel is (20, 30).
    void drawMarker() {
        usePixelProjection();
        glClearColor(1, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glColor3f(0, 1, 0);
        glRectf(20, 30, 30, 35);
    }
};

TEST_F(GlContextTest, ReadsBackWhatWasDrawnWithGlCoordinates) {
    drawMarker();
    const Image frame = readFrame();
    ASSERT_EQ(frame.width, 320);
    ASSERT_EQ(frame.height, 200);

    const uint8_t red[3] = {255, 0, 0};
    const InkBox ink = findInk(frame, red);
    ASSERT_FALSE(ink.empty);
    EXPECT_EQ(ink.left, 20);
    EXPECT_EQ(ink.right, 29);
    EXPECT_EQ(ink.bottom, 30);
    EXPECT_EQ(ink.top, 34);
    const uint8_t* p = frame.atGl(25, 32);
    EXPECT_EQ(p[0], 0);
    EXPECT_EQ(p[1], 255);
    EXPECT_EQ(p[3], 255); // no alpha channel reads back as opaque
    // Picture order: the same pixel counted from the top.
    EXPECT_EQ(frame.at(25, 200 - 1 - 32), p);
}

TEST_F(GlContextTest, FrameSurvivesPngRoundTrip) {
    drawMarker();
    const Image frame = readFrame();
    const std::string folder = makeScratchFolder("gl-context");
    const std::string path = folder + "/frame.png";
    std::string why;
    ASSERT_TRUE(savePng(frame, path, &why)) << why;
    Image loaded;
    ASSERT_TRUE(loadPng(path, loaded, &why)) << why;
    EXPECT_EQ(countDifferentPixels(frame, loaded), 0u);

    Image changed = loaded;
    changed.rgba[0] = uint8_t(changed.rgba[0] - 3);
    EXPECT_EQ(countDifferentPixels(frame, changed, 2), 1u);
    EXPECT_EQ(countDifferentPixels(frame, changed, 3), 0u);
    std::remove(path.c_str());
    std::remove(folder.c_str());
}

TEST(GlContextFiles, MissingPngIsReportedNotThrown) {
    Image image;
    std::string why;
    EXPECT_FALSE(loadPng("/nonexistent/frame.png", image, &why));
    EXPECT_FALSE(why.empty());
}
} // namespace
