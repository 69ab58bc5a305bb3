// Whether the frame on screen is still the frame the state would draw: the idle loop redraws
// only when it is not, so every input of a frame must count, and nothing else may.
#include <gtest/gtest.h>

#include <cstring>

#include "frame_render.h"

namespace {
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
TEST_F(FrameChanges, AChangeCountsExactlyWhenItShows) {
    struct Change {
        const char* what;
        void (*make)();
        bool shows;
    };
    const Change changes[] = {
        {"link started", [] { linkRunning = true; }, true},
        {"a line arrived", [] { driveLine("b0 1e 30 40 7f 40 38 2a 0 OMFP"); }, true},
        {"status flags", [] { telemetry.statusFlags.shifting ^= 1; }, true},
        {"distance", [] { tripTotals.distance += 0.25; }, true},
        {"battery samples", [] { fillBatterySamples(637); }, true},
        {"one battery sample", [] { tripTotals.voltageSamples[599] += 2.0; }, true},
        {"debug overlay", [] { debugMode = 1; }, true},
        {"frame time", [] { tripTotals.lastFrameMs += 1; }, true},
        {"calibration",
         [] {
             for (ChannelCalibration& channel : channelCalibration) {
                 channel.scale *= 2.0f;
             }
         },
         true},
        {"window narrower", [] { resizeDashboard(640, 600); }, true},
        {"window lower", [] { resizeDashboard(640, 480); }, true},
        {"a dial's scale", [] { gaugeDefs[Throttle].maxValue += 50; }, true},
        {"layout", [] { settings.gaugeLayout ^= 1; }, true},
        {"units applied",
         [] {
             settings.distanceUnit = 1;
             settings.temperatureUnit = 1;
             applyGaugeSettings();
         },
         true},
        {"a key no one acts on", [] { dashboardKeys[0x41] = 1; }, false},
        {"part of a line received",
         [] {
             std::memcpy(lineBuffer, "c4 2a", 5);
             lineFill = 5;
         },
         false},
    };
    settings.gaugeLayout = 1;
    settings.gaugeSlots[10] = BatteryModel;
    for (const Change& change : changes) {
        drawDashboard();
        const Image before = readFrame();
        ASSERT_FALSE(dashboardChangedSinceDrawn()) << "before " << change.what;
        change.make();
        const bool counted = dashboardChangedSinceDrawn();
        drawDashboard();
        const bool shown = countDifferentPixels(before, readFrame(), 0) != 0;
        ASSERT_EQ(shown, change.shows)
            << change.what << ": pick a change that " << (change.shows ? "shows" : "does not show");
        EXPECT_EQ(counted, shown) << change.what
                                  << (shown ? " shows but was not counted: the drawing reads "
                                              "something the frame's inputs leave out"
                                            : " does not show but was counted");
    }
}

TEST_F(FrameChanges, ANewWindowNeedsItsFirstFrame) {
    drawDashboard();
    releaseDashboard();
    ASSERT_TRUE(initDashboard(window, keys));
    EXPECT_TRUE(dashboardChangedSinceDrawn());
}
} // namespace
