// Whether the frame on screen is still the frame the state would draw: the idle loop redraws
// only when it is not, so every input of a frame must count, and nothing else may.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "frame_render.h"
#include "text/identity_matrices.h"

namespace {
bool contains(const CellRect& r, int x, int y) {
    return x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height;
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
// debug overlay, and the cells named as drawn along must come out as in the whole frame; every
// other pixel must not be drawn at all, nor change in the whole frame. Rows 1 and 2 of cells
// share a row of pixels at 600 high: a cell drawn again puts its faces back there, so a
// neighbour whose live part reaches it must be drawn along, and only then.
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
        uint32_t alsoCells = 0;     // cells drawn along, one bit each
    };
    const Change changes[] = {
        {"link started", [] { linkRunning = true; }, true, whole},
        // Every dial changes. None of them puts faces back on the row of pixels it shares with
        // a plot (whose dots may lie anywhere in its cell), so neither plot is drawn along.
        {"a line arrived", [] { driveLine("b0 1e 30 40 7f 40 38 2a 0 OMFP"); }, true,
         allButBattery},
        {"status flags", [] { telemetry.statusFlags.shifting ^= 1; }, true, status},
        // Neither dial under or over a battery plot reaches the row of pixels they share.
        {"battery samples", [] { fillBatterySamples(637); }, true, kind(BatteryModel)},
        {"one battery sample", [] { tripTotals.voltageSamples[599] += 2.0; }, true,
         kind(BatteryModel)},
        // The line, three pixels wide, leaves both cells through their tops at a shallow angle:
        // the middle row's into a row it shares no pixel with, which is not drawn again.
        {"battery line across the cell's top",
         [] {
             for (int i = 0; i < sampleRingSize; ++i) {
                 tripTotals.currentSamples[i] = 300.0 * i / (sampleRingSize - 1);
                 tripTotals.voltageSamples[i] = 135.0 - 0.05 * tripTotals.currentSamples[i];
             }
         },
         true, kind(BatteryModel)},
        // The speed dial under the plot in cell 5: its needle and lines stay well below the
        // row of pixels they share.
        {"distance", [] { tripTotals.distance += 0.25; }, true, kind(Speed)},
        {"charge below what shows", [] { tripTotals.chargeAmpMs += 1.0; }, false, 0, true},
        // In cells 10 pixels high the throttle dial's caption and the panel's first line both
        // reach the row of pixels they share, so either takes the other along.
        {"window tiny", [] { resizeDashboard(120, 30); }, true, whole},
        {"status flags in a tiny window", [] { telemetry.statusFlags.shifting ^= 1; }, true, status,
         false, 1u << 7},
        {"throttle in a tiny window", [] { telemetry.rawChannels[0] += 16.0f; }, true,
         kind(Throttle), false, 1u << 11},
        // The speed dial's needle can reach the row it shares with the plot over it.
        {"battery samples in a tiny window", [] { fillBatterySamples(211); }, true,
         kind(BatteryModel), false, 1u << 9},
        {"window as before", [] { resizeDashboard(800, 600); }, true, whole},
        // A plot over the status panel with dots on the row of pixels the two share (a battery
        // voltage of 101.875 V lies 100 units under the 105 V axis, at the cell's bottom): the
        // panel's faces put back cover them, so the plot is drawn along.
        {"a plot over the status panel",
         [] {
             settings.gaugeSlots[7] = BatteryModel;
             for (int i = 0; i < sampleRingSize; i += 7) {
                 tripTotals.currentSamples[i] = 150.0;
                 tripTotals.voltageSamples[i] = 101.875;
             }
         },
         true, whole},
        {"status flags under the plot", [] { telemetry.statusFlags.shifting ^= 1; }, true, status,
         false, 1u << 7},
        {"throttle over the status panel again", [] { settings.gaugeSlots[7] = Throttle; }, true,
         whole},
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
    settings.gaugeSlots[5] =
        BatteryModel; // in the middle row too, under a row it shares no pixel with
    settings.gaugeSlots[9] = Speed;
    settings.gaugeSlots[7] = Throttle; // over the status panel
    settings.gaugeSlots[6] = 99;       // a kind without a definition: an empty cell
    const uint8_t magenta[4] = {255, 0, 255, 255};
    for (const Change& change : changes) {
        drawDashboard();
        const Image before = readFrame();
        ASSERT_FALSE(dashboardChangedSinceDrawn()) << "before " << change.what;
        change.make();
        const bool counted = dashboardChangedSinceDrawn();
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
                          (k == -1 && debugMode != 0) || (change.alsoCells >> cell & 1) != 0;
        }
        const auto inDrawn = [&](int x, int y) {
            bool in = false;
            for (int c = 0; c < cells; ++c) {
                in = in || (drawn[c] && contains(rects[c], x, y));
            }
            return in;
        };
        // A dial drawn again over the last frame puts back only the faces under its needles and
        // its lines: the top left corner of its cell (black in every frame) is left as it was.
        const auto dialCorner = [&](int x, int y) {
            if (change.drawnAgain == whole) {
                return false;
            }
            for (int c = 0; c < cells; ++c) {
                const CellRect& r = rects[c];
                const int32_t k =
                    c == cells - 1 ? -1 : settings.gaugeSlots[slotOfCell(c, settings.gaugeLayout)];
                if (drawn[c] && k >= 0 && k < BatteryModel && r.height >= 100 &&
                    contains(r, x, y) && (x - r.x + 0.5) * 1000.0 / r.width < 60.0 &&
                    (y - r.y + 0.5) * 1000.0 / r.height > 940.0 &&
                    (y - r.y + 0.5) * 1000.0 / r.height < 990.0) {
                    return true;
                }
            }
            return false;
        };
        // The back buffer holds the last frame, as the program's does, except that the cells not
        // to be drawn again, and the corners above, are magenta: a frame over the last must leave
        // them so, and turn what it draws again into the whole frame.
        std::vector<uint8_t> start(before.rgba.size());
        for (int y = 0; y < before.height; ++y) {
            for (int x = 0; x < before.width; ++x) {
                const bool dashboard = x < viewWidth && y < viewHeight; // what a frame covers
                const bool keep = dashboard && (!inDrawn(x, y) || dialCorner(x, y));
                std::memcpy(&start[(std::size_t(y) * before.width + x) * 4],
                            keep ? magenta : before.atGl(x, y), 4);
            }
        }
        glViewport(0, 0, before.width, before.height);
        {
            const IdentityMatrices clipSpace;
            glRasterPos2f(-1.0f, -1.0f);
            glDrawPixels(before.width, before.height, GL_RGBA, GL_UNSIGNED_BYTE, start.data());
        }
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

        for (int cell = 0; cell < cells; ++cell) {
            int wrong = 0;
            const CellRect& r = rects[cell];
            for (int y = r.y; y < r.y + r.height; ++y) {
                for (int x = r.x; x < r.x + r.width; ++x) {
                    wrong += inDrawn(x, y) && !dialCorner(x, y)
                                 ? std::memcmp(over.atGl(x, y), after.atGl(x, y), 3) != 0
                                 : std::memcmp(over.atGl(x, y), magenta, 3) != 0 ||
                                       std::memcmp(before.atGl(x, y), after.atGl(x, y), 3) != 0;
                }
            }
            EXPECT_EQ(wrong, 0)
                << change.what << ", cell " << cell
                << (drawn[cell] ? " not as in the whole frame, or a dial's corner drawn over"
                                : " drawn again, or changed");
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
