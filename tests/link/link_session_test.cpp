// Whole sessions against the simulator over a real pseudo-terminal: the exact start and stop
// bytes, every line parsed in order and logged byte for byte, one capture log per start.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "link/capture_log.h"
#include "link/controller_protocol.h"
#include "link/link_session.h"
#include "link/serial_port.h"
#include "link/trip_log.h"
#include "platform/capture_folder.h"
#include "platform/clock.h"
#include "support/link_state.h"
#include "support/simulator.h"

namespace {
class LinkSession : public ::testing::Test {
  protected:
    void SetUp() override { resetLinkState(); }
    void TearDown() override { releaseLinkState(); }
};

// (The waits between the steps: port_timing_test.cpp.)
TEST_F(LinkSession, StartAndStopSendTheirBytesAndEveryLineIsLoggedInOrder) {
    SimulatorRun sim = startSimulator({"--start-at", "2"});
    WorkingDirectoryGuard here(sim.folder);

    const std::time_t before = std::time(nullptr);
    startLink();
    const std::time_t after = std::time(nullptr);
    ASSERT_TRUE(errorBoxes.empty()) << errorBoxes.front();
    ASSERT_TRUE(linkRunning);
    // The log is named by the time of the start.
    const std::string log = noteCaptureLog();
    ASSERT_TRUE(isCaptureLogNameBetween(log, before, after)) << log;

    // Read frame by frame; each frame ends holding the latest line logged so far.
    bool inOrder = true;
    ASSERT_TRUE(waitFor(
        [&] {
            readReplyLines();
            const std::string logged = readFile(log);
            if (!logged.empty()) {
                const std::size_t cut = logged.rfind('\n', logged.size() - 2);
                const std::string last = logged.substr(cut == std::string::npos ? 0 : cut + 1);
                inOrder = inOrder && last == std::string(telemetry.lastLine) + "\n";
            }
            return countLines(logged) >= 15;
        },
        std::chrono::seconds(30)));
    EXPECT_TRUE(inOrder);

    stopLink();
    EXPECT_FALSE(linkRunning);
    EXPECT_TRUE(isPortClosed());
    EXPECT_EQ(captureLog, nullptr);
    EXPECT_TRUE(errorBoxes.empty());

    // The bytes as the controller received them, in order, and nothing else.
    ASSERT_TRUE(waitFor([&] { return simulatorSaid(sim, "silent"); }, std::chrono::seconds(20)));
    std::string wire;
    for (const ReceivedChunk& chunk : receivedChunks(sim)) {
        wire += chunk.bytes;
    }
    EXPECT_EQ(wire, std::string(" \x1b\x1b"
                                "p\r\n"
                                "Q4\r\n"
                                " \x1b\x1b"));

    // Every line the simulator sent before the stop is in the log, byte for byte, in order.
    const std::string logged = readFile(log);
    const std::vector<std::string> sent = sentLines(sim);
    const std::size_t count = countLines(logged);
    ASSERT_GE(count, 15u);
    ASSERT_LE(count, sent.size());
    EXPECT_EQ(logged, joinLines(sent, 0, count));
    stopSimulator(sim);
}

// Whatever another program left on the line (here cooked 7E2 at 4800 with software flow
// control), the link talks raw 9600 8N1; only hardware flow control stays as it was found.
TEST_F(LinkSession, TheLineIsRaw9600EightNoneOneWithHardwareFlowControlAsFound) {
    for (const tcflag_t hardwareFlow : {tcflag_t{0}, tcflag_t{CRTSCTS}}) {
        TerminalPair pair = openTerminalPair();
        termios left;
        ASSERT_EQ(tcgetattr(pair.slave, &left), 0);
        left.c_iflag |= IXON | IXOFF | IXANY | ICRNL | ISTRIP;
        left.c_oflag |= OPOST | ONLCR;
        left.c_lflag |= ECHO | ICANON | ISIG | IEXTEN;
        left.c_cflag &= ~(CSIZE | CLOCAL | CREAD | CRTSCTS);
        left.c_cflag |= CS7 | PARENB | CSTOPB | hardwareFlow;
        cfsetispeed(&left, B4800);
        cfsetospeed(&left, B4800);
        ASSERT_EQ(tcsetattr(pair.slave, TCSANOW, &left), 0);

        ASSERT_TRUE(openPortOn(pair));
        termios line;
        ASSERT_EQ(tcgetattr(portHandle, &line), 0);
        EXPECT_EQ(cfgetispeed(&line), speed_t{B9600});
        EXPECT_EQ(cfgetospeed(&line), speed_t{B9600});
        EXPECT_EQ(line.c_cflag & (CSIZE | PARENB | CSTOPB | CLOCAL | CREAD | CRTSCTS),
                  CS8 | CLOCAL | CREAD | hardwareFlow);
        EXPECT_EQ(line.c_iflag & (IXON | IXOFF | IXANY | ICRNL | ISTRIP), 0u);
        EXPECT_EQ(line.c_oflag & OPOST, 0u);
        EXPECT_EQ(line.c_lflag & (ECHO | ICANON | ISIG | IEXTEN), 0u);
        EXPECT_EQ(line.c_cc[VMIN], 1);
        EXPECT_EQ(line.c_cc[VTIME], 0);
        closePort();
        closeTerminalPair(pair);
    }
}

// The logs' folder is shared by every user of the machine: a drive's logs are their owner's alone.
// A device given as the log's name is opened as it is and keeps its mode, with no trip log beside.
TEST_F(LinkSession, EachStartWritesLogsOfItsOwnThatOnlyItsOwnerMayRead) {
    SimulatorRun sim = startSimulator({});
    WorkingDirectoryGuard here(sim.folder);
    std::vector<std::string> logs;
    const int descriptors = openDescriptorCount();
    for (int run = 0; run < 2; ++run) {
        startLink();
        logs.push_back(noteCaptureLog());
        const std::string trip = noteTripLog();
        for (const std::string& name : {logs.back(), trip}) {
            struct stat info;
            ASSERT_EQ(stat(name.c_str(), &info), 0) << name;
            EXPECT_EQ(info.st_mode & 0777, 0600u) << name;
        }
        ASSERT_TRUE(linkRunning) << run;
        ASSERT_TRUE(waitFor(
            [] {
                readReplyLines();
                return telemetry.lastLine[0] != '\0';
            },
            std::chrono::seconds(20)));
        stopLink();
        telemetry.lastLine[0] = '\0';
    }
    EXPECT_TRUE(errorBoxes.empty());
    EXPECT_EQ(openDescriptorCount(), descriptors) << "port, capture log and trip log closed";
    EXPECT_NE(logs[0], logs[1]);
    for (const std::string& name : logs) {
        EXPECT_FALSE(readFile(name).empty()) << name;
    }

    ASSERT_TRUE(openPort("COM1", "/dev/null"));
    EXPECT_EQ(tripLog, nullptr);
    closePort();
    struct stat device;
    ASSERT_EQ(stat("/dev/null", &device), 0);
    EXPECT_TRUE(S_ISCHR(device.st_mode));
    EXPECT_EQ(device.st_mode & 0777, 0666u);
    stopSimulator(sim);
}

// Two starts in the same second (two programs, or a clock set back after a restart) name the
// same log: the second must not empty the first one's record.
TEST_F(LinkSession, AStartNeverEmptiesAnotherStartsLogOfTheSameName) {
    SimulatorRun sim = startSimulator({});
    WorkingDirectoryGuard here(sim.folder);
    const std::time_t from = std::time(nullptr);
    std::vector<std::string> taken;
    for (std::time_t t = from; t < from + 5; ++t) {
        char name[256];
        captureLogName(t, name, sizeof name);
        std::FILE* file = std::fopen(name, "wx");
        if (file != nullptr) { // a name another run holds right now is left to it
            std::fputs("an earlier drive\n", file);
            std::fclose(file);
            taken.push_back(name);
        }
    }
    startLink();
    const std::time_t to = std::time(nullptr);
    const std::string log = noteCaptureLog();
    ASSERT_TRUE(linkRunning);
    stopLink();
    ASSERT_LT(to, from + 5);
    for (const std::string& name : taken) {
        EXPECT_EQ(readFile(name), "an earlier drive\n") << name;
        std::remove(name.c_str());
    }
    // Beside a taken name ("_2", or further when that one is taken too), never on it.
    EXPECT_TRUE(isCaptureLogNameBetween(log, from, to)) << log;
    for (std::time_t t = from; t <= to; ++t) {
        char name[256];
        captureLogName(t, name, sizeof name);
        EXPECT_NE(log, name);
    }
    stopSimulator(sim);
}
} // namespace
