// Whether the frame on screen is still the frame the state would draw: the idle loop redraws
// only when it is not, so every input of a frame must count, and nothing else may.
#include <gtest/gtest.h>

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

TEST_F(FrameChanges, EveryInputOfAFrameCounts) {
    struct Change {
        const char* what;
        void (*make)();
    };
    const Change changes[] = {
        {"a line arrived", [] { driveLine("b0 1e 30 40 7f 40 38 2a 0 OMFP"); }},
        {"status flags", [] { telemetry.statusFlags.shifting ^= 1; }},
        {"distance", [] { tripTotals.distance += 0.01; }},
        {"a battery sample", [] { tripTotals.voltageSamples[599] += 1.0; }},
        {"frame time", [] { tripTotals.lastFrameMs += 1; }},
        {"link started", [] { linkRunning = !linkRunning; }},
        {"debug overlay", [] { debugMode ^= 1; }},
        {"window size", [] { resizeDashboard(640, 480); }},
        {"layout", [] { settings.gaugeLayout ^= 1; }},
        {"units applied",
         [] {
             settings.distanceUnit = 1;
             applyGaugeSettings();
         }},
    };
    for (const Change& change : changes) {
        drawDashboard();
        ASSERT_FALSE(dashboardChangedSinceDrawn()) << "before " << change.what;
        change.make();
        EXPECT_TRUE(dashboardChangedSinceDrawn()) << change.what;
    }
}

TEST_F(FrameChanges, KeysAndTheLinkPollAloneChangeNothing) {
    drawDashboard();
    keys[0x41] = 1; // a key no one acts on
    EXPECT_FALSE(dashboardChangedSinceDrawn());
}

TEST_F(FrameChanges, ANewWindowNeedsItsFirstFrame) {
    drawDashboard();
    releaseDashboard();
    ASSERT_TRUE(initDashboard(window, keys));
    EXPECT_TRUE(dashboardChangedSinceDrawn());
}
} // namespace
