// Whether the frame on screen is still the frame the state would draw: the idle loop redraws
// only when it is not, so every input of a frame must count, and nothing else may.
#include <gtest/gtest.h>

#include <cstring>

#include "frame_render.h"

namespace {
int differencesIn(const Image& a, const Image& b, const CellRect& r) {
    int count = 0;
    for (int y = r.y; y < r.y + r.height; ++y) {
        for (int x = r.x; x < r.x + r.width; ++x) {
            count += std::memcmp(a.atGl(x, y), b.atGl(x, y), 3) != 0 ? 1 : 0;
        }
    }
    return count;
}

int differencesFrom(const Image& a, const uint8_t (&colour)[4], const CellRect& r) {
    int count = 0;
    for (int y = r.y; y < r.y + r.height; ++y) {
        for (int x = r.x; x < r.x + r.width; ++x) {
            count += std::memcmp(a.atGl(x, y), colour, 3) != 0 ? 1 : 0;
        }
    }
    return count;
}

bool sharePixels(const CellRect& a, const CellRect& b) {
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height &&
           b.y < a.y + a.height;
}

class FrameChanges : public GlTest {
  protected:
    void SetUp() override {
        GlTest::SetUp();
        resetDashboardState();
        ASSERT_TRUE(initDashboard(window, keys));
        resizeDashboard(800, 600);
    }
    void TearDown() override {
        releaseDashboard();
        resetDashboardState();
        lineFill = 0; // the next test's lines must not start with bytes left here
        GlTest::TearDown();
    }
    GlWindow window{};
    int32_t keys[256]{};
};

TEST_F(FrameChanges, NothingIsDrawnBeforeTheFirstFrame) {
    EXPECT_TRUE(dashboardChangedSinceDrawn());
    drawDashboard();
    EXPECT_FALSE(dashboardChangedSinceDrawn());
    drawDashboard();
    EXPECT_FALSE(dashboardChangedSinceDrawn());
}

// Each change is drawn before and after. One that shows on the screen must count, and one that
// is not counted must leave every pixel as it was: drawing that reads something the list of a
// frame's inputs leaves out fails here. The changes build on each other, from a stopped link to
// a running one with a battery plot and the debug overlay.
//
// Each is also drawn over the frame before it, on a back buffer painted magenta so that what is
// drawn again shows. The cells of the kinds the change is drawn in, the status panel's under the
// debug overlay, and every cell that shares a pixel with one of those must come out as in the
// whole frame; any other must not be drawn at all.
TEST_F(FrameChanges, AChangeCountsExactlyWhenItShows) {
    constexpr uint32_t status = 1;  // the kinds drawn again, one bit each
    constexpr uint32_t whole = ~0u; // the whole frame
    const auto kind = [](int32_t k) { return 2u << k; };
    const uint32_t allButBattery = kind(BatteryModel) - 1; // the status panel and every dial
    struct Change {
        const char* what;
        void (*make)();
        bool shows;
        uint32_t drawnAgain;
        bool countedUnseen = false; // the idle loop's coarser rule counts it
    };
    const Change changes[] = {
        {"link started", [] { linkRunning = true; }, true, whole},
        {"a line arrived", [] { driveLine("b0 1e 30 40 7f 40 38 2a 0 OMFP"); }, true,
         allButBattery},
        {"status flags", [] { telemetry.statusFlags.shifting ^= 1; }, true, status},
        {"distance", [] { tripTotals.distance += 0.25; }, true, kind(Speed)},
        {"battery samples", [] { fillBatterySamples(637); }, true, kind(BatteryModel)},
        {"one battery sample", [] { tripTotals.voltageSamples[599] += 2.0; }, true,
         kind(BatteryModel)},
        // The line, three pixels wide, leaves the cell through its top at a shallow angle; the
        // cell above shares no pixel with it and is not drawn again.
        {"battery line across the cell's top",
         [] {
             for (int i = 0; i < sampleRingSize; ++i) {
                 tripTotals.currentSamples[i] = 300.0 * i / (sampleRingSize - 1);
                 tripTotals.voltageSamples[i] = 135.0 - 0.05 * tripTotals.currentSamples[i];
             }
         },
         true, kind(BatteryModel)},
        {"charge below what shows", [] { tripTotals.chargeAmpMs += 1.0; }, false, 0, true},
        {"debug overlay", [] { debugMode = 1; }, true, whole},
        {"frame time", [] { tripTotals.lastFrameMs += 1; }, true, status},
        {"calibration",
         [] {
             for (ChannelCalibration& channel : channelCalibration) {
                 channel.scale *= 2.0f;
             }
         },
         true, allButBattery},
        {"window narrower", [] { resizeDashboard(640, 600); }, true, whole},
        {"window lower", [] { resizeDashboard(640, 480); }, true, whole},
        {"a dial's scale", [] { gaugeDefs[Throttle].maxValue += 50; }, true, whole},
        {"layout", [] { settings.gaugeLayout ^= 1; }, true, whole},
        {"units applied",
         [] {
             settings.distanceUnit = 1;
             settings.temperatureUnit = 1;
             applyGaugeSettings();
         },
         true, whole},
        {"a key no one acts on", [] { dashboardKeys[0x41] = 1; }, false, 0},
        {"part of a line received",
         [] {
             std::memcpy(lineBuffer, "c4 2a", 5);
             lineFill = 5;
         },
         false, 0},
        {"link stopped", [] { linkRunning = false; }, true, whole},
    };
    settings.gaugeLayout = 1;
    settings.gaugeSlots[10] = BatteryModel;
    settings.gaugeSlots[6] =
        BatteryModel;            // in the middle row too, under a row it shares no pixel with
    settings.gaugeSlots[1] = 99; // a kind without a definition: an empty cell
    const uint8_t magenta[4] = {255, 0, 255, 255};
    for (const Change& change : changes) {
        drawDashboard();
        const Image before = readFrame();
        ASSERT_FALSE(dashboardChangedSinceDrawn()) << "before " << change.what;
        change.make();
        const bool counted = dashboardChangedSinceDrawn();
        glEnable(GL_SCISSOR_TEST); // the dashboard's part of the window, which a frame covers
        glScissor(0, 0, viewWidth, viewHeight);
        glClearColor(1.0f, 0.0f, 1.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
        glDisable(GL_SCISSOR_TEST);
        drawDashboardChanges();
        EXPECT_FALSE(dashboardChangedSinceDrawn()) << change.what << ", drawn over the last";
        const Image over = readFrame();
        drawDashboard();
        const Image after = readFrame();
        const bool shown = countDifferentPixels(before, after, 0) != 0;
        ASSERT_EQ(shown, change.shows)
            << change.what << ": pick a change that " << (change.shows ? "shows" : "does not show");
        EXPECT_EQ(counted, shown || change.countedUnseen)
            << change.what
            << (shown ? " shows but was not counted: the drawing reads something the frame's "
                        "inputs leave out"
                      : " does not show but was counted");

        const int columns = columnCount(settings.gaugeLayout);
        const int cells = cellCount(settings.gaugeLayout);
        CellRect rects[12];
        bool drawn[12];
        for (int cell = 0; cell < cells; ++cell) {
            rects[cell] = cellViewport(cell, columns, viewWidth, viewHeight);
            const int32_t k = cell == cells - 1
                                  ? -1
                                  : settings.gaugeSlots[slotOfCell(cell, settings.gaugeLayout)];
            const uint32_t bit = k == -1 ? status : k >= 0 && k <= BatteryModel ? kind(k) : 0;
            drawn[cell] = change.drawnAgain == whole || (change.drawnAgain & bit) != 0 ||
                          (k == -1 && debugMode != 0);
        }
        for (int pass = 0; pass < cells; ++pass) {
            for (int a = 0; a < cells; ++a) {
                for (int b = 0; b < cells; ++b) {
                    drawn[b] = drawn[b] || (drawn[a] && sharePixels(rects[a], rects[b]));
                }
            }
        }
        for (int cell = 0; cell < cells; ++cell) {
            EXPECT_EQ(drawn[cell] ? differencesIn(over, after, rects[cell])
                                  : differencesFrom(over, magenta, rects[cell]) +
                                        differencesIn(before, after, rects[cell]),
                      0)
                << change.what << ", cell " << cell
                << (drawn[cell] ? " not as in the whole frame" : " drawn again, or changed");
        }
    }
}

// A whole frame takes note of what every cell shows: a value that comes back to what an earlier
// frame drawn over the last showed is drawn again.
TEST_F(FrameChanges, AValueBackWhereItWasAfterAWholeFrameIsDrawnAgain) {
    linkRunning = true;
    drawDashboard();
    const char* const lines[] = {"b0 1e 30 40 7f 40 38 2a 0 OMFP", "c4 2a 48 4c 90 52 3a 2c 0 OMFP",
                                 "b0 1e 30 40 7f 40 38 2a 0 OMFP"};
    for (int i = 0; i < 3; ++i) {
        driveLine(lines[i]);
        if (i == 1) {
            drawDashboard();
        } else {
            drawDashboardChanges();
        }
    }
    const Image over = readFrame();
    drawDashboard();
    EXPECT_EQ(countDifferentPixels(over, readFrame(), 0), 0u);
}

TEST_F(FrameChanges, ANewWindowNeedsItsFirstFrame) {
    drawDashboard();
    releaseDashboard();
    ASSERT_TRUE(initDashboard(window, keys));
    EXPECT_TRUE(dashboardChangedSinceDrawn());
}
} // namespace
