// Measuring a line by its glyphs' advances must give exactly the width the glyph lists' own
// raster moves give: centred text then lands on the same pixels either way, wherever it is put
// and whatever the scale.
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>
#include <string>

#include "reference_glyphs.h"
#include "support/gl_context.h"
#include "support/plain_drawing.h"
#include "text/text_print.h"

namespace {
struct Placement {
    const char* text;
    int viewportX;
    int viewportWidth; // of 1000 units, as a dashboard cell
    float x;
    float y;
};

class LineMeasuring : public GlTest {
  protected:
    LineMeasuring() : GlTest(1024, 768) {}
    void SetUp() override {
        GlTest::SetUp();
        large.init(fontFile("Arial").c_str(), 72);
        small.init(fontFile("Arial:bold").c_str(), 40);
    }
    void TearDown() override {
        large.release();
        small.release();
        GlTest::TearDown();
    }
    Image drawn(const GlyphFont& font, const Placement& p) {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        useDashboardCell(p.viewportX, 0, p.viewportWidth, p.viewportWidth);
        glTranslatef(500, 500, 0);
        glColor3f(1, 0.5f, 0.25f); // each channel of its own: the drawn colour is the one given
        printText(font, true, p.x, p.y, "%s", p.text);
        return readFrame();
    }
    GlyphFont large{};
    GlyphFont small{};
};

TEST_F(LineMeasuring, AdvancesGiveTheWidthTheGlyphListsGive) {
    const Placement placements[] = {
        {"120 km/h", 0, 256, 0, -187.5f},
        {"Cont. Temp.", 256, 256, 0, -315},
        {"w.hrs/mile", 512, 341, 0, -315},
        {"5000", 3, 199, 425 * 0.70710677f, 425 * -0.70710677f},
        {"Hit s to start/stop", 0, 1000, 0, 0},
        {"0.47 miles\nsecond line", 700, 266, 13.7f, -100.3f},
        {"bytes \xC3\xA9 past 127", 100, 300, -3.3f, 42.1f},
        {"", 0, 256, 0, 0},
        {"Wg on the cell's top edge", 0, 300, 0, 499.5f},
    };
    for (const Placement& p : placements) {
        for (const GlyphFont* font : {&large, &small}) {
            const Image byAdvances = drawn(*font, p);
            const TextMeasuredByDrawing measuring;
            const Image byDrawing = drawn(*font, p);
            EXPECT_EQ(countDifferentPixels(byDrawing, byAdvances, 0), 0u)
                << '"' << p.text << "\" in a cell " << p.viewportWidth << " wide at "
                << p.viewportX;
        }
    }
}
} // namespace
