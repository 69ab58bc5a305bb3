// What real frames show, read back from the pixels: needle angles and colours, the start hint,
// the status panel's words and colours, the debug overlay, and what each cell's drawing leaves.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "dashboard/battery_model.h"
#include "dashboard/dial.h"
#include "dashboard/status_panel.h"
#include "frame_render.h"

namespace {
// The value line's band of a dial cell: clear of the caption below, the first tick mark at the
// lower left and a needle pinned at the start of a -135/60 scale.
constexpr double valueU0 = 390, valueU1 = 720, valueV0 = 245, valueV1 = 370;

constexpr int width = 800;
constexpr int height = 600;

class FrameTest : public FrameFixture {
  protected:
    FrameTest() : FrameFixture(800, 600) {}
};

// Cell 0 of the default three-column layout is the throttle dial, 0..100 from -135 to 60.
TEST_F(FrameTest, ThrottleAboveTheScaleIsARedNeedleAtTheEndAndARedValue) {
    const Image image = frame([] {},
                              [] {
                                  linkRunning = true;
                                  telemetry.rawChannels[0] = 283; // 150.4 %
                              });
    const CellMap throttle = cell(0);
    EXPECT_GT(countPixels(
                  image, throttle,
                  [](double u, double v) {
                      const double r = std::hypot(u - 500, v - 500);
                      return r > 40 && r < 140;
                  },
                  isRed),
              5);
    EXPECT_NEAR(needleAngle(image, throttle, 60), 60.0, 2.0);
    EXPECT_EQ(countPixels(
                  image, throttle,
                  [](double u, double v) {
                      const double r = std::hypot(u - 500, v - 500);
                      return r > 40 && r < 140;
                  },
                  [](Rgb8 c) { return isWhite(c) || isBlue(c); }),
              0);

    const Image text = drawTextAlone(gl, throttle.r, red, largeFont, true, 500, 312.5f, "150%");
    EXPECT_GT(countPixels(
                  text, throttle, [](double, double) { return true; }, isRed),
              20);
    EXPECT_EQ(differencesInBand(image, text, throttle, valueU0, valueU1, valueV0, valueV1), 0);
}

TEST_F(FrameTest, ValueBelowTheScaleIsABlueNeedleAtTheStart) {
    const Image image = frame([] {}, [] { linkRunning = true; }); // raw 0: throttle -50 %
    const CellMap throttle = cell(0);
    EXPECT_GT(needlePixels(image, throttle), 3);
    EXPECT_NEAR(needleAngle(image, throttle, -135), -135.0, 2.0);
    EXPECT_EQ(countPixels(
                  image, throttle,
                  [](double u, double v) {
                      const double r = std::hypot(u - 500, v - 500);
                      return r > 40 && r < 140;
                  },
                  [](Rgb8 c) { return isWhite(c) || isRed(c); }),
              0);
    const Image text = drawTextAlone(gl, throttle.r, blue, largeFont, true, 500, 312.5f, "-50%");
    EXPECT_EQ(differencesInBand(image, text, throttle, valueU0, valueU1, valueV0, valueV1), 0);
}

TEST_F(FrameTest, ValueOnTheScaleEndIsWhite) {
    const Image image = frame([] {},
                              [] {
                                  linkRunning = true;
                                  telemetry.rawChannels[4] = 159; // duty cycle 100 %
                              });
    const CellMap duty = cell(5); // slot 6 holds the duty cycle
    EXPECT_NEAR(needleAngle(image, duty, 60), 60.0, 2.0);
    const Image text = drawTextAlone(gl, duty.r, white, largeFont, true, 500, 312.5f, "100%");
    EXPECT_EQ(differencesInBand(image, text, duty, valueU0, valueU1, valueV0, valueV1), 0);
}

TEST_F(FrameTest, NoNeedleWhileTheLinkIsStoppedAndTheHintInTheMiddle) {
    const Image image = frame([] {},
                              [] {
                                  telemetry.rawChannels[0] = 283;
                                  telemetry.rawChannels[5] = 68;
                              });
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(needlePixels(image, cell(i)), 0) << "cell " << i;
    }
    // The value line shows zero in the definition's format, in white.
    const Image text = drawTextAlone(gl, cell(0).r, white, largeFont, true, 500, 312.5f, "0%");
    EXPECT_EQ(differencesInBand(image, text, cell(0), valueU0, valueU1, valueV0, valueV1), 0);

    const CellMap whole{{0, 0, width, height}};
    const Image hint =
        drawTextAlone(gl, whole.r, green, smallFont, true, 500, 500, "Hit s to start/stop");
    EXPECT_GT(countPixels(
                  hint, whole, [](double, double) { return true; }, isGreen),
              50);
    // Where the hint has ink the frame shows the same green.
    int mismatched = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Rgb8 h = pixelAt(hint, x, y);
            if (isGreen(h) && !isGreen(pixelAt(image, x, y))) {
                ++mismatched;
            }
        }
    }
    EXPECT_EQ(mismatched, 0);
}

// Every line of the panel in each of its texts and colours, the figures a hair below where their
// second decimal turns (so a conversion factor off by a thousandth shows), and no warning line
// unless warned.
TEST_F(FrameTest, StatusPanelLinesInTheirColoursAndTheTripsFigures) {
    struct Line {
        float y;
        const char* text;
        const float* colour;
    };
    const struct Case {
        const char* what;
        void (*feed)();
        std::vector<Line> lines;
    } cases[] = {
        {"right after start",
         [] {},
         {{820, "Battery: 0.00 A.hrs used", white},
          {730, "               0.00 kW.hrs used", white},
          {640, "Stopped", red},
          {550, "Not Shifting", green},
          {460, "Main Contactor OFF", red},
          {370, "Motor Contactors OFF", red},
          {280, "No drive", white},
          {190, "Motors uncoupled", red}}},
        {"reverse before forward, parallel before series, and the warning",
         [] { telemetry.statusFlags = StatusFlags{0, 0, 0, 0, 1, 1, 1, 1, 1}; },
         {{640, "Moving", green},
          {280, "Reverse", red},
          {190, "Motors Parallel", green},
          {100, "Main Contactor: Voltage Drop Warning", red}}},
        // The cell before the panel, a battery current above its scale, leaves red.
        {"shifting with both contactors on, forward in series, after a drive",
         [] {
             linkRunning = true;
             telemetry.rawChannels[2] = 100;
             telemetry.rawChannels[4] = 159;
             telemetry.statusFlags = StatusFlags{0, 1, 1, 1, 0, 1, 0, 1, 0};
             tripTotals.chargeAmpMs = 4481640;    // 1.2449 A.h
             tripTotals.energyWattMs = 521640000; // 0.1449 kW.h
         },
         {{820, "Battery: 1.24 A.hrs used", white},
          {730, "               0.14 kW.hrs used", white},
          {640, "Moving", green},
          {550, "Shifting", red},
          {460, "Main Contactor ON", green},
          {370, "Motor Contactors ON", green},
          {280, "Forward", green},
          {190, "Motors Series", white}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Image image = frame([] {}, c.feed);
        const CellMap panel = cell(8);
        bool warned = false;
        for (const Line& line : c.lines) {
            const Image text =
                drawTextAlone(gl, panel.r, line.colour, smallFont, false, 50, line.y, line.text);
            EXPECT_EQ(differencesInBand(image, text, panel, 0, 999, line.y - 12, line.y + 42), 0)
                << line.text;
            warned = warned || line.y == 100;
        }
        if (!warned) {
            EXPECT_EQ(countPixels(
                          image, panel, [](double, double v) { return v > 85 && v < 142; },
                          [](Rgb8 colour) { return !isDark(colour); }),
                      0)
                << "no warning line";
        }
    }
}

// The latest line and the frame time over the bottom of the status panel, in white.
TEST_F(FrameTest, DebugOverlayShowsTheLatestLineAndTheFrameRate) {
    const Image image = frame([] { debugMode = 1; },
                              [] {
                                  linkRunning = true;
                                  telemetry.statusFlags = StatusFlags{0, 0, 1, 1, 0, 1, 0, 0, 0};
                                  driveLine("47 1f 30 32 7f 44 40 2a 0 OMF");
                                  tripTotals.lastFrameMs = 16;
                              });
    const CellMap panel = cell(8);
    const Image line = drawTextAlone(gl, panel.r, white, smallFont, false, 50, 100,
                                     "47 1f 30 32 7f 44 40 2a 0 OMF");
    EXPECT_EQ(differencesInBand(image, line, panel, 0, 999, 92, 142), 0); // clear of "(" below
    const Image rate = drawTextAlone(gl, panel.r, white, smallFont, false, 50, 50, "16 (62.5 fps)");
    EXPECT_EQ(differencesInBand(image, rate, panel, 0, 999, 38, 85), 0);
}

// Each cell's drawing leaves the matrix stack, the matrix and its mode as it found them, no vertex
// array switched on, and the colour it set last exactly as asked (the frame's bytes cannot tell
// 1.0 from 1.001): the panel's last line, the dial's needle, white after the battery model, whose
// line width is that of its fitted line, or 1 when it fitted none.
TEST_F(FrameTest, CellDrawingsLeaveTheMatrixStackAsFoundAndTheirLastColour) {
    frame([] {}, [] { fillBatterySamples(5); });
    const auto wholeBatteryModel = [] {
        drawBatteryModelFace();
        drawBatteryModelLive();
    };
    const struct {
        const char* what;
        void (*set)();
        void (*draw)();
        std::array<float, 3> colour;
        float lineWidth; // 0: any
    } drawings[] = {
        {"panel warned",
         [] { telemetry.statusFlags = StatusFlags{0, 0, 0, 0, 0, 0, 0, 0, 1}; },
         drawStatusPanel,
         {1, 0, 0},
         0},
        {"battery model with a line",
         [] { tripTotals.sampleIndex = 5; },
         wholeBatteryModel,
         {1, 1, 1},
         3},
        {"battery model without",
         [] { tripTotals.sampleIndex = 1; },
         wholeBatteryModel,
         {1, 1, 1},
         1},
        {"throttle above",
         [] { telemetry.rawChannels[0] = 300; },
         [] {
             drawDialFace(Throttle);
             drawDialLive(Throttle);
         },
         {1, 0, 0},
         0},
        {"W.h dial",
         [] { linkRunning = true; },
         [] {
             drawDialFace(WhPerDistance);
             drawDialLive(WhPerDistance);
         },
         {1, 1, 1},
         0},
    };
    linkRunning = true;
    for (const auto& d : drawings) {
        d.set();
        useDashboardCell(0, 0, 200, 200);
        glTranslatef(3, 4, 0);
        glColor3f(0.5f, 0.25f, 0.75f);
        glLineWidth(2);
        GLint depth = 0;
        glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
        d.draw();
        GLint after = 0;
        glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &after);
        EXPECT_EQ(after, depth) << d.what;
        GLfloat matrix[16];
        glGetFloatv(GL_MODELVIEW_MATRIX, matrix);
        EXPECT_EQ(matrix[12], 3.0f) << d.what;
        EXPECT_EQ(matrix[13], 4.0f) << d.what;
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR)) << d.what;
        GLint mode = 0;
        glGetIntegerv(GL_MATRIX_MODE, &mode);
        EXPECT_EQ(mode, GL_MODELVIEW) << d.what;
        EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY)) << d.what;
        GLfloat colour[4];
        glGetFloatv(GL_CURRENT_COLOR, colour);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(colour[i], d.colour[static_cast<std::size_t>(i)]) << d.what << " " << i;
        }
        if (d.lineWidth != 0) {
            GLfloat lineWidth = 0;
            glGetFloatv(GL_LINE_WIDTH, &lineWidth);
            EXPECT_EQ(lineWidth, d.lineWidth) << d.what;
        }
    }
}

} // namespace
