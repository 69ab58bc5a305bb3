// The per-frame step: Escape, F1 and S in both states, one action per key-down, and reading
// while the link runs.
#include <SDL.h>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "dashboard/frame.h"
#include "link/controller_protocol.h"
#include "link/polling.h"
#include "link/quantities.h"
#include "link/serial_port.h"
#include "shell/app.h"
#include "shell/gl_window.h"
#include "shell/settings.h"
#include "support/link_state.h"
#include "support/simulator.h"

namespace {
constexpr int vkEscape = 0x1B;
constexpr int vkF1 = 0x70;
constexpr int vkS = 0x53;

class Polling : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        static AppInfo app{nullptr, "OpenGL"};
        ASSERT_EQ(registerWindowClass(app), 1); // the quit and toggle events exist from here
    }
    void SetUp() override {
        resetLinkState();
        tripTotals = TripTotals{};
        std::memset(keys, 0, sizeof keys);
        window = GlWindow{};
        window.keys = keys;
        dashboardWindow = &window;
        dashboardKeys = keys;
        running = 1;
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
    void TearDown() override { releaseLinkState(); }
    static int pendingEvents(uint32_t type) {
        SDL_PumpEvents();
        return SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, type, type);
    }
    int32_t keys[256];
    GlWindow window;
};

TEST_F(Polling, AStoppedLinkWithoutKeysIdlesAndChangesNothing) {
    EXPECT_FALSE(updateLink(16));
    EXPECT_EQ(tripTotals.lastFrameMs, 0u);
    EXPECT_EQ(pendingEvents(quitEventType), 0);
    EXPECT_TRUE(errorBoxes.empty());
}

TEST_F(Polling, EscapeAndF1ActInBothStatesWithoutStoppingTheLink) {
    TerminalPair pair = openTerminalPair();
    fcntl(pair.master, F_SETFL, O_NONBLOCK);
    for (bool linked : {false, true}) {
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        running = 1;
        if (linked) {
            ASSERT_TRUE(openPortOn(pair));
        }
        keys[vkEscape] = 1;
        keys[vkF1] = 1;
        EXPECT_EQ(updateLink(16), linked);
        EXPECT_EQ(keys[vkEscape], 0);
        EXPECT_EQ(keys[vkF1], 0);
        EXPECT_EQ(running, 0) << linked;
        EXPECT_EQ(pendingEvents(quitEventType), 1) << linked;
        EXPECT_EQ(pendingEvents(toggleEventType), 1) << linked;
        EXPECT_EQ(linkRunning, linked); // quitting does not stop the link
    }
    char sent[16];
    EXPECT_LE(read(pair.master, sent, sizeof sent), 0) << "no stop bytes on quit";
    closeTerminalPair(pair);
}

TEST_F(Polling, AHeldKeyActsOncePerKeyDown) {
    WorkingDirectoryGuard here(makeScratchFolder("kv-nodevice"));
    settings.comPort = 87; // no device: every start fails at once with its message
    keys[vkS] = 1;
    updateLink(16);
    updateLink(16);
    updateLink(16);
    EXPECT_EQ(errorBoxes.size(), 1u);
    keys[vkS] = 1; // auto-repeat delivers another key-down
    updateLink(16);
    EXPECT_EQ(errorBoxes.size(), 2u);
}

// A frame counts its time with the values of the lines it read itself: 200 A for 100 ms. A frame
// whose read fails counts nothing and says the link stopped.
TEST_F(Polling, AFrameCountsItsTimeWithTheLinesItRead) {
    TerminalPair pair = openTerminalPair();
    ASSERT_TRUE(openPortOn(pair));
    writeAll(pair.master, "0 0 28 0 9f 44 0 0 0\r\n"); // 40 x 5 A at a duty of 159 (100 %)
    int queued = 0;
    ASSERT_TRUE(waitFor([&] { return ioctl(portHandle, FIONREAD, &queued) == 0 && queued == 22; },
                        std::chrono::seconds(10)));
    EXPECT_TRUE(updateLink(100));
    EXPECT_EQ(tripTotals.chargeAmpMs, 20000.0);
    closeTerminalPair(pair);
    EXPECT_FALSE(updateLink(100));
    EXPECT_EQ(tripTotals.chargeAmpMs, 20000.0);
    EXPECT_EQ(errorBoxes, std::vector<std::string>{"Input/output error"});
}

TEST_F(Polling, SStartsAndStopsTheLinkAndFramesReadWhileItRuns) {
    SimulatorRun sim = startSimulator({"--start-at", "2"});
    WorkingDirectoryGuard here(sim.folder);
    keys[vkS] = 1;
    EXPECT_TRUE(updateLink(16));
    noteCaptureLog();
    EXPECT_EQ(keys[vkS], 0);
    EXPECT_TRUE(linkRunning);
    ASSERT_TRUE(waitFor([] { return updateLink(20) && tripTotals.sampleIndex >= 3; },
                        std::chrono::seconds(30)));
    EXPECT_EQ(tripTotals.lastFrameMs, 20u);
    EXPECT_GT(tripTotals.chargeAmpMs, 0.0);
    keys[vkS] = 1;
    EXPECT_FALSE(updateLink(16));
    EXPECT_FALSE(linkRunning);
    EXPECT_TRUE(isPortClosed());
    const double charge = tripTotals.chargeAmpMs;
    EXPECT_FALSE(updateLink(16));
    EXPECT_EQ(tripTotals.chargeAmpMs, charge);
    EXPECT_TRUE(errorBoxes.empty());
    stopSimulator(sim);
}
} // namespace
