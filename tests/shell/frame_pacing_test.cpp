// Frame pacing, played through on a simulated clock: the main loop's wait, the work of a frame
// and a swap that waits for the display's refresh or returns at once, frame after frame. Rates
// come from the display, never from a clock of the machine the test runs on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "shell/frame_pacing.h"

namespace {
struct Screen {
    int reportedHz;  // what the display mode says; 0 when it says nothing
    double actualHz; // when the swap waits: the refresh it waits for; 0 when it returns at once
    bool presented;  // false while minimised: nothing is swapped
    int queued = 0;  // swaps that return at once before they wait (a driver's frame queue)
};

struct Played {
    double framesPerSecond; // over the last 200 frames
    double shortestUs;      // shortest start-to-start time over those frames
};

// Streaming frames as the loop runs them: wait as msUntilDue says (whole milliseconds, as the
// event wait takes them), read and draw for workUs (longer at the frames given), swap, note.
Played play(const Screen& display, double workUs, double slowUs = 0, int slowFrom = 0,
            int slowTo = 0) {
    FramePacing pacing;
    pacing.periodUs = refreshPeriodUs(display.reportedHz);
    constexpr int frames = 400;
    double now = 1e6;
    double starts[frames];
    for (int f = 0; f < frames; ++f) {
        now += 1000.0 * msUntilDue(pacing, now);
        starts[f] = now;
        now += f >= slowFrom && f < slowTo ? slowUs : workUs;
        double swapEnd = -1;
        if (display.presented) {
            if (display.actualHz > 0 && f >= display.queued) {
                const double refresh = 1e6 / display.actualHz;
                now = std::ceil(now / refresh) * refresh;
            }
            swapEnd = now;
        }
        noteFrame(pacing, starts[f], swapEnd, true);
    }
    Played run{199e6 / (starts[frames - 1] - starts[frames - 200]), 1e9};
    for (int f = frames - 199; f < frames; ++f) {
        run.shortestUs = std::min(run.shortestUs, starts[f] - starts[f - 1]);
    }
    return run;
}

TEST(FramePacing, StreamingFramesFollowTheDisplaysRefreshWhateverTheSwapDoes) {
    struct Case {
        const char* what;
        Screen display;
        double workUs;
        double expectedHz; // frames per second in the long run
    };
    const Case cases[] = {
        {"swap returns at once, 60 Hz", {60, 0, true}, 3000, 60},
        {"swap returns at once, rate unknown", {0, 0, true}, 3000, 60},
        {"swap returns at once, 75 Hz", {75, 0, true}, 500, 75},
        {"swap waits, 60 Hz", {60, 60, true}, 3000, 60},
        // Refresh rates come in whole hertz: 59.94 Hz may be reported as 59.
        {"swap waits, 59.94 Hz reported as 59", {59, 59.94, true}, 3000, 59.94},
        {"swap waits once the driver has queued two frames", {59, 59.94, true, 2}, 3000, 59.94},
        {"swap waits, 144 Hz", {144, 144, true}, 3000, 144},
        {"swap waits, 60 Hz, drawing slower than a refresh", {60, 60, true}, 20000, 30},
        {"swap returns at once, drawing slower than a refresh", {60, 0, true}, 25000, 40},
        {"minimised", {60, 0, false}, 300, 60},
        {"minimised, swaps would wait", {60, 60, false}, 300, 60},
    };
    for (const Case& c : cases) {
        const Played run = play(c.display, c.workUs);
        EXPECT_NEAR(run.framesPerSecond, c.expectedHz, c.expectedHz * 0.005) << c.what;
        // Waking a millisecond late shortens the next wait; nothing makes two frames closer.
        EXPECT_GT(run.shortestUs, std::min(1e6 / c.expectedHz, c.workUs) - 1001) << c.what;
    }
}

TEST(FramePacing, SwapsThatReturnWithinThreeQuartersOfARefreshMostOfTheTimeDoNotWait) {
    struct Case {
        const char* what;
        double intervalsMs[pacingSamples];
        bool keepPace;
    };
    const Case cases[] = {
        {"every swap a refresh apart",
         {16.7, 16.6, 16.7, 16.7, 16.6, 16.7, 16.7, 16.6, 16.7, 16.7, 16.6, 16.7, 16.7, 16.6, 16.7},
         true},
        {"every swap at once",
         {2.1, 2.0, 2.2, 2.1, 2.0, 2.1, 2.3, 2.0, 2.1, 2.0, 2.2, 2.1, 2.0, 2.1, 2.2},
         false},
        {"two queued frames, then waits",
         {0.2, 0.3, 16.7, 16.7, 16.6, 16.7, 16.7, 16.6, 16.7, 16.7, 16.6, 16.7, 16.7, 16.6, 16.7},
         true},
        {"quick swaps, some stalled by a busy machine",
         {2.0, 900, 2.1, 2.0, 1500, 2.2, 40, 2.0, 2.1, 33, 2.0, 2.1, 250, 2.0, 70},
         false},
        {"waiting swaps, seven of them quick",
         {16.7, 1.0, 16.6, 1.1, 16.7, 1.0, 16.7, 1.2, 16.7, 1.0, 16.6, 1.1, 16.7, 16.7, 1.0},
         true},
        {"a display refreshing at 75 Hz while it reports 60",
         {13.3, 13.4, 13.3, 13.4, 13.3, 13.3, 13.4, 13.3, 13.3, 13.4, 13.3, 13.3, 13.4, 13.3, 13.3},
         true},
        {"drawing slower than a refresh",
         {25, 26, 25, 24, 25, 27, 25, 25, 26, 25, 24, 25, 25, 26, 25},
         true},
    };
    for (const Case& c : cases) {
        double intervalsUs[pacingSamples];
        for (int i = 0; i < pacingSamples; ++i) {
            intervalsUs[i] = c.intervalsMs[i] * 1000;
        }
        EXPECT_EQ(swapsKeepPace(intervalsUs, refreshPeriodUs(60)), c.keepPace) << c.what;
    }
}

TEST(FramePacing, SlowStretchesAreNeitherMadeUpNorTakenForAWaitingSwap) {
    struct Case {
        const char* what;
        double slowUs;
        int slowFrom, slowTo;
    };
    const Case cases[] = {
        // Starting the link holds one frame for 1.5 s; the frames after it must not hurry.
        {"one frame of 1.5 s among the first", 1.5e6, 5, 6},
        {"one frame of 1.5 s just before the frames looked at", 1.5e6, 199, 200},
        // A busy machine draws slowly at first: the swaps' intervals then look like a refresh,
        // yet once frames are quick they are paced again.
        {"the first 100 frames slow", 20000, 0, 100},
    };
    for (const Case& c : cases) {
        const Played run = play({60, 0, true}, 2000, c.slowUs, c.slowFrom, c.slowTo);
        EXPECT_NEAR(run.framesPerSecond, 60, 0.3) << c.what;
        EXPECT_GT(run.shortestUs, 1e6 / 60 - 1001) << c.what;
    }
}

TEST(FramePacing, AStoppedLinksFramesAreNeverHeldBack) {
    FramePacing pacing;
    for (int f = 0; f < 40; ++f) {
        const double start = 1e6 + f * 1000.0;
        noteFrame(pacing, start, start + 500, true);
    }
    ASSERT_GT(msUntilDue(pacing, 1e6 + 40 * 1000.0), 0); // streaming: paced
    noteFrame(pacing, 1e6 + 41000, 1e6 + 41500, false);
    EXPECT_EQ(msUntilDue(pacing, 1e6 + 41500), 0);
}
} // namespace
