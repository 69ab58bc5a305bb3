// The per-frame step: Escape, F1 and S in both states, one action per key-down, and reading
// while the link runs.
#include <SDL.h>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "dashboard/frame.h"
#include "link/capture_log.h"
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

// A start and a stop run across frames: each frame comes back without waiting for the line to
// fall quiet, the dashboard says what the link is doing, and the logs appear only once the start
// has run.
TEST_F(Polling, SStartsAndStopsTheLinkAcrossFramesAndFramesReadWhileItRuns) {
    SimulatorRun sim = startSimulator({"--start-at", "2"});
    WorkingDirectoryGuard here(sim.folder);
    keys[vkS] = 1;
    EXPECT_TRUE(updateLink(16));
    EXPECT_EQ(keys[vkS], 0);
    EXPECT_FALSE(linkRunning);
    EXPECT_EQ(linkStep, LinkStep::starting);
    EXPECT_STREQ(linkStatusText, "Starting the link...");
    EXPECT_FALSE(isPortClosed());
    EXPECT_EQ(captureLog, nullptr) << "no log before the start has run";
    int startFrames = 1;
    ASSERT_TRUE(waitFor(
        [&] {
            ++startFrames;
            return updateLink(16) && linkRunning;
        },
        std::chrono::seconds(30)));
    noteCaptureLog();
    EXPECT_GT(startFrames, 2) << "the start's quiet times are waited out between frames";
    EXPECT_EQ(linkStep, LinkStep::none);
    EXPECT_STREQ(linkStatusText, "");
    EXPECT_NE(captureLog, nullptr);
    ASSERT_TRUE(waitFor([] { return updateLink(20) && tripTotals.sampleIndex >= 3; },
                        std::chrono::seconds(30)));
    EXPECT_EQ(tripTotals.lastFrameMs, 20u);
    EXPECT_GT(tripTotals.chargeAmpMs, 0.0);
    const double charge = tripTotals.chargeAmpMs;
    keys[vkS] = 1;
    EXPECT_TRUE(updateLink(16));
    EXPECT_FALSE(linkRunning);
    EXPECT_EQ(linkStep, LinkStep::stopping);
    EXPECT_STREQ(linkStatusText, "Stopping the link...");
    EXPECT_EQ(tripTotals.chargeAmpMs, charge) << "a stopping link adds nothing";
    ASSERT_TRUE(waitFor([] { return !updateLink(16); }, std::chrono::seconds(30)));
    EXPECT_FALSE(linkRunning);
    EXPECT_EQ(linkStep, LinkStep::none);
    EXPECT_TRUE(isPortClosed());
    EXPECT_EQ(tripTotals.chargeAmpMs, charge);
    EXPECT_TRUE(errorBoxes.empty());
    EXPECT_TRUE(waitFor([&] { return simulatorSaid(sim, "silent"); }, std::chrono::seconds(10)));
    stopSimulator(sim);
}

// S during a start stops it: the stop bytes follow what the start had sent, the port is closed
// once the line is quiet, and no log is left behind.
TEST_F(Polling, SDuringAStartStopsItAndLeavesNoLogs) {
    SimulatorRun sim = startSimulator({});
    WorkingDirectoryGuard here(sim.folder);
    keys[vkS] = 1;
    EXPECT_TRUE(updateLink(16));
    ASSERT_EQ(linkStep, LinkStep::starting);
    keys[vkS] = 1;
    EXPECT_TRUE(updateLink(16));
    EXPECT_EQ(linkStep, LinkStep::stopping);
    ASSERT_TRUE(waitFor([] { return !updateLink(16); }, std::chrono::seconds(30)));
    EXPECT_TRUE(isPortClosed());
    EXPECT_FALSE(linkRunning);
    EXPECT_EQ(captureLog, nullptr);
    EXPECT_STREQ(captureLogPath, "") << "no capture log was made";
    EXPECT_TRUE(errorBoxes.empty());
    std::string wire;
    ASSERT_TRUE(waitFor(
        [&] {
            wire.clear();
            for (const ReceivedChunk& chunk : receivedChunks(sim)) {
                wire += chunk.bytes;
            }
            return wire.size() >= 6;
        },
        std::chrono::seconds(10)));
    EXPECT_EQ(wire, " \x1b\x1b \x1b\x1b");
    stopSimulator(sim);
}
// With "reconnect", a device that goes away under a running link is tried again until it is
// back, and the link starts again by itself with logs of its own: an unplug and a replug of the
// simulator's terminal under the same COM link, twice in one run. No box, frames all along, the
// totals kept, and every line sent after each replug in that replug's capture log.
TEST_F(Polling, WithReconnectTwoReplugsStartTheLinkAgainWithNewLogsAndNoBox) {
    reconnectMode = 1;
    struct Restore {
        ~Restore() { reconnectMode = 0; }
    } restore;
    constexpr int linesPerPlug = 15;
    SimulatorRun sim =
        startSimulator({"--rate", "20", "--start-at", "2", "--replug-after",
                        std::to_string(linesPerPlug), "--replugs", "2", "--replug-ms", "1200"});
    WorkingDirectoryGuard here(sim.folder);
    std::vector<std::string> logs;
    std::vector<long> replugToLineMs;
    auto replugAt = std::chrono::steady_clock::now();
    int replugsSeen = 0;
    int framesReconnecting = 0;
    double charge = 0.0;
    keys[vkS] = 1;
    ASSERT_TRUE(waitFor(
        [&] {
            const bool busy = updateLink(16);
            if (linkStep == LinkStep::reconnecting) {
                EXPECT_TRUE(busy) << "the window keeps drawing while the device is away";
                ++framesReconnecting;
                EXPECT_STREQ(linkStatusText, "Input/output error - reconnecting");
                EXPECT_EQ(captureLog, nullptr);
                EXPECT_FALSE(linkRunning);
            }
            EXPECT_GE(tripTotals.chargeAmpMs, charge) << "the totals go on from where they were";
            charge = tripTotals.chargeAmpMs;
            const int replugs = countSimulatorSaid(sim, "replugged");
            if (replugs > replugsSeen) {
                replugsSeen = replugs;
                replugAt = std::chrono::steady_clock::now();
            }
            if (captureLog != nullptr) {
                const std::string log = noteCaptureLog();
                if (logs.empty() || logs.back() != log) {
                    logs.push_back(log);
                }
            }
            if (logs.size() >= 2 && replugToLineMs.size() < logs.size() - 1 &&
                countLines(readFile(logs.back())) > 0) {
                replugToLineMs.push_back(
                    static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now() - replugAt)
                                          .count()));
            }
            return logs.size() == 3 && countLines(readFile(logs[2])) >= linesPerPlug;
        },
        std::chrono::seconds(90)))
        << logs.size() << " logs, " << (errorBoxes.empty() ? "" : errorBoxes.front());
    keys[vkS] = 1;
    ASSERT_TRUE(waitFor([] { return !updateLink(16); }, std::chrono::seconds(30)));
    EXPECT_TRUE(errorBoxes.empty()) << errorBoxes.front();
    EXPECT_GT(framesReconnecting, 1) << "frames go on while the device is away";
    EXPECT_EQ(replugsSeen, 2);

    const std::vector<std::string> sent = sentLines(sim);
    ASSERT_EQ(logs.size(), 3u);
    EXPECT_EQ(readFile(logs[0]), joinLines(sent, 0, linesPerPlug));
    EXPECT_EQ(readFile(logs[1]), joinLines(sent, linesPerPlug, 2 * linesPerPlug));
    const std::string last = readFile(logs[2]);
    EXPECT_EQ(last, joinLines(sent, 2 * linesPerPlug, 2 * linesPerPlug + countLines(last)));
    for (std::size_t i = 0; i < replugToLineMs.size(); ++i) {
        std::printf("replug %zu to its first logged line: %ld ms\n", i + 1, replugToLineMs[i]);
        RecordProperty("replug_" + std::to_string(i + 1) + "_to_first_line_ms",
                       static_cast<int>(replugToLineMs[i]));
    }
    stopSimulator(sim);
}
} // namespace
