// Faults of the link: a missing or held port, a hang-up mid-stream, garbage and an overlong line
// (writes that fail or stall: port_timing_test.cpp). Each shows its message once, leaves the port
// closed and the link stopped, and loses no line received before it.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include "link/capture_log.h"
#include "link/controller_protocol.h"
#include "link/serial_port.h"
#include "shell/settings.h"
#include "support/link_state.h"
#include "support/simulator.h"

namespace {
std::string joinLines(const std::vector<std::string>& lines, std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count && i < lines.size(); ++i) {
        text += lines[i] + "\n";
    }
    return text;
}

class LinkFaults : public ::testing::Test {
  protected:
    void SetUp() override { resetLinkState(); }
    void TearDown() override { releaseLinkState(); }
    // Reads frame by frame until an error box appears (bounded).
    static bool readUntilError() {
        return waitFor(
            [] {
                readReplyLines();
                return !errorBoxes.empty();
            },
            std::chrono::seconds(30));
    }
    static void expectStoppedAndClosed() {
        EXPECT_TRUE(isPortClosed());
        EXPECT_EQ(captureLog, nullptr);
        EXPECT_FALSE(linkRunning);
    }
};

TEST_F(LinkFaults, AComNumberWithoutDeviceCannotBeOpened) {
    const std::string folder = makeScratchFolder("kv-nodevice");
    {
        WorkingDirectoryGuard here(folder);
        settings.comPort = 87; // no COM87 here, and no /dev/ttyUSB86, ttyACM86 or ttyS86
        startLink();
    }
    EXPECT_EQ(errorBoxes, std::vector<std::string>{"The selected COM port could not be opened"});
    expectStoppedAndClosed();
    rmdir(folder.c_str());
}

TEST_F(LinkFaults, APortHeldByAnotherGivesTheSystemsText) {
    SimulatorRun sim = startSimulator({});
    WorkingDirectoryGuard here(sim.folder);
    const int holder = open("COM1", O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
    startLink();
    EXPECT_EQ(errorBoxes, std::vector<std::string>{std::strerror(EWOULDBLOCK)});
    expectStoppedAndClosed();
    close(holder);
    stopSimulator(sim);
}

TEST_F(LinkFaults, AHangUpMidStreamKeepsEveryLineReceivedBeforeIt) {
    SimulatorRun sim = startSimulator({"--hangup-after", "20", "--start-at", "2"});
    WorkingDirectoryGuard here(sim.folder);
    startLink();
    ASSERT_TRUE(linkRunning);
    const std::string created = noteCaptureLog();
    ASSERT_FALSE(created.empty());
    ASSERT_TRUE(readUntilError());
    EXPECT_EQ(errorBoxes, std::vector<std::string>{"Input/output error"});
    expectStoppedAndClosed();
    const std::vector<std::string> sent = sentLines(sim);
    ASSERT_EQ(sent.size(), 20u);
    EXPECT_EQ(readFile(created), joinLines(sent, 20));
    stopSimulator(sim);
}

TEST_F(LinkFaults, GarbageIsLoggedAndParsedWithoutHarm) {
    SimulatorRun sim = startSimulator({"--garbage", "3", "--rate", "25", "--seed", "7"});
    WorkingDirectoryGuard here(sim.folder);
    startLink();
    ASSERT_TRUE(linkRunning);
    const std::string created = noteCaptureLog();
    ASSERT_FALSE(created.empty());
    ASSERT_TRUE(waitFor(
        [&] {
            readReplyLines();
            const std::string logged = readFile(created);
            return std::count(logged.begin(), logged.end(), '\n') >= 30 || !errorBoxes.empty();
        },
        std::chrono::seconds(30)));
    EXPECT_TRUE(errorBoxes.empty());
    EXPECT_TRUE(linkRunning);
    stopLink();
    const std::string logged = readFile(created);
    const auto count = static_cast<std::size_t>(std::count(logged.begin(), logged.end(), '\n'));
    EXPECT_EQ(logged, joinLines(sentLines(sim), count));
    stopSimulator(sim);
}

TEST_F(LinkFaults, AnOverlongLineStopsTheLinkAndTheNextStartBeginsClean) {
    SimulatorRun sim = startSimulator({"--overlong-after", "5"});
    WorkingDirectoryGuard here(sim.folder);
    startLink();
    const std::string created = noteCaptureLog();
    ASSERT_FALSE(created.empty());
    ASSERT_TRUE(readUntilError());
    EXPECT_EQ(errorBoxes, std::vector<std::string>{"Did not find end of line"});
    expectStoppedAndClosed();
    EXPECT_EQ(readFile(created), joinLines(sentLines(sim), 5));

    // The start drains the rest of the long line and begins with an empty buffer.
    errorBoxes.clear();
    startLink();
    noteCaptureLog();
    ASSERT_TRUE(linkRunning);
    ASSERT_TRUE(waitFor(
        [] {
            readReplyLines();
            return telemetry.lastLine[0] == '4'; // a drive line: the throttle field
        },
        std::chrono::seconds(20)));
    EXPECT_TRUE(errorBoxes.empty());
    stopLink();
    stopSimulator(sim);
}

} // namespace
