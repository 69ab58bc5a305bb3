// The link's times, asked of the system and not measured: how long a write may wait for the line
// (100 ms + 100 ms per byte), and how each drain waits for half a second of quiet, round after
// round, up to ten. The clock, the sleep, poll and read are the system's own, wrapped at link
// time (tests/CMakeLists.txt); a test may switch them to a clock of its own that moves only when
// the link sleeps or waits, so that every wait is seen exactly and costs no real time, and may cut
// the port's reads to a byte, which a real line gives when the bytes trickle in. The controller
// is the test, writing to a pseudo-terminal while the link sleeps.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <ctime>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <string>
#include <sys/ioctl.h>
#include <unistd.h>
#include <vector>

#include "link/capture_log.h"
#include "link/controller_protocol.h"
#include "link/link_session.h"
#include "link/serial_port.h"
#include "platform/posix/serial_write.h"
#include "shell/app.h"
#include "support/link_state.h"
#include "support/process.h"
#include "support/simulator.h"

namespace {
struct PollCall {
    int fd;
    short events;
    nfds_t count;
    int timeout;
};

// While `on`, time is `now` and moves only by what the link sleeps or waits in poll.
struct TestClock {
    bool on = false;
    uint32_t now = 0;
    std::vector<uint32_t> sleeps;
    std::vector<PollCall> polls;
    bool lineFull = false;         // poll waits its whole time for a line that takes nothing
    int controller = -1;           // the far end, which may talk while the link sleeps
    int talkingSleeps = 0;         // sleeps still to talk in; -1 for ever
    std::string words = "1 2\r\n"; // what the controller says each time
    bool byteReads = false;        // each read of the port takes one byte of what waits
};
TestClock testClock;

// Bytes written to the far end are in the port's input queue when this returns, so that a read
// of the link takes them all at once, as a real line that has been quiet would give them.
void controllerSays(int master, const std::string& bytes) {
    writeAll(master, bytes);
    int queued = 0;
    for (int tries = 0; tries < 5000; ++tries) {
        if (ioctl(portHandle, FIONREAD, &queued) == 0 && queued >= static_cast<int>(bytes.size())) {
            return;
        }
        usleep(1000);
    }
    ADD_FAILURE() << "the far end's bytes did not reach the port";
}
} // namespace

extern "C" {
int __real_clock_gettime(clockid_t clock, timespec* now);
int __real_nanosleep(const timespec* wanted, timespec* left);
int __real_poll(pollfd* fds, nfds_t count, int timeout);
ssize_t __real_read(int fd, void* buffer, std::size_t count);

ssize_t __wrap_read(int fd, void* buffer, std::size_t count) {
    const bool cut = testClock.on && testClock.byteReads && fd == portHandle;
    return __real_read(fd, buffer, cut ? std::min<std::size_t>(count, 1) : count);
}

int __wrap_clock_gettime(clockid_t clock, timespec* now) {
    // The link's clock is the monotonic one; the tests' own file times stay real.
    if (!testClock.on || clock != CLOCK_MONOTONIC) {
        return __real_clock_gettime(clock, now);
    }
    *now = timespec{static_cast<time_t>(testClock.now / 1000u),
                    static_cast<long>(testClock.now % 1000u) * 1000000L};
    return 0;
}

int __wrap_nanosleep(const timespec* wanted, timespec* left) {
    if (!testClock.on) {
        return __real_nanosleep(wanted, left);
    }
    const auto ms = static_cast<uint32_t>(wanted->tv_sec * 1000 + wanted->tv_nsec / 1000000);
    testClock.sleeps.push_back(ms);
    testClock.now += ms;
    if (testClock.talkingSleeps != 0 && testClock.controller >= 0 && !isPortClosed()) {
        controllerSays(testClock.controller, testClock.words);
        if (testClock.talkingSleeps > 0) {
            --testClock.talkingSleeps;
        }
    }
    return 0;
}

int __wrap_poll(pollfd* fds, nfds_t count, int timeout) {
    if (!testClock.on) {
        return __real_poll(fds, count, timeout);
    }
    testClock.polls.push_back({fds[0].fd, fds[0].events, count, timeout});
    if (testClock.lineFull) {
        testClock.now += static_cast<uint32_t>(timeout);
        fds[0].revents = 0;
        return 0;
    }
    fds[0].revents = POLLOUT;
    return 1;
}
}

namespace {
class PortTiming : public ::testing::Test {
  protected:
    void SetUp() override {
        resetLinkState();
        testClock = TestClock{};
        testClock.on = true;
        testClock.now = 5000;
        pair = openTerminalPair();
        ASSERT_GE(pair.master, 0);
        fcntl(pair.master, F_SETFL, O_NONBLOCK);
        testClock.controller = pair.master;
    }
    void TearDown() override {
        testClock = TestClock{};
        releaseLinkState();
        closeTerminalPair(pair);
    }
    // What reached the far end, once at least `expected` bytes have (a pseudo-terminal passes
    // them on a moment later).
    std::string wire(std::size_t expected = 0) const {
        int queued = 0;
        for (int tries = 0; tries < 5000; ++tries) {
            if (ioctl(pair.master, FIONREAD, &queued) == 0 &&
                queued >= static_cast<int>(expected)) {
                break;
            }
            usleep(1000);
        }
        std::string bytes;
        char buffer[256];
        for (ssize_t n; (n = read(pair.master, buffer, sizeof buffer)) > 0;) {
            bytes.append(buffer, static_cast<std::size_t>(n));
        }
        return bytes;
    }
    TerminalPair pair;
};

// One write call of the line: bytes passed on (all, at most `bytes`; 0 takes nothing and says so),
// or an error, taking some milliseconds. A write past the script fails after a second, so that
// no loop can go on for ever.
struct WriteStep {
    int bytes;
    int error;
    uint32_t takesMs;
};
constexpr int all = 1 << 20;
std::vector<WriteStep> writeScript;
std::size_t nextWrite = 0;

ssize_t scriptedWrite(int fd, const void* bytes, std::size_t count) {
    if (nextWrite >= writeScript.size()) {
        testClock.now += 1000;
        errno = EIO;
        return -1;
    }
    const WriteStep step = writeScript[nextWrite++];
    testClock.now += step.takesMs;
    testClock.lineFull = step.error == EAGAIN;
    if (step.error != 0) {
        errno = step.error;
        return -1;
    }
    errno = EIO; // what a write that succeeds leaves in errno is no report of a failure
    return ::write(fd, bytes, std::min(count, static_cast<std::size_t>(step.bytes)));
}

TEST_F(PortTiming, AWriteWaitsAHundredMillisecondsAndAHundredPerByteForTheLine) {
    const struct Case {
        const char* what;
        const char* text;
        std::vector<WriteStep> script;
        int sent;
        std::vector<std::string> boxes;
        std::string wire;
        std::vector<int> pollTimeouts;
        uint32_t elapsedMs;
    } cases[] = {
        {"whole at once", "Q4\r\n", {{all, 0, 0}}, 4, {}, "Q4\r\n", {}, 0},
        {"a byte a call, then the rest",
         "Q4\r\n",
         {{1, 0, 0}, {1, 0, 0}, {all, 0, 0}},
         4,
         {},
         "Q4\r\n",
         {},
         0},
        {"takes nothing, then whole",
         "Q4\r\n",
         {{0, 0, 0}, {all, 0, 0}},
         4,
         {},
         "Q4\r\n",
         {500},
         0},
        {"interrupted, then whole",
         "Q4\r\n",
         {{0, EINTR, 0}, {all, 0, 0}},
         4,
         {},
         "Q4\r\n",
         {500},
         0},
        {"four bytes stall",
         "Q4\r\n",
         {{0, EAGAIN, 0}, {0, EAGAIN, 0}},
         0,
         {"Did not write all data"},
         "",
         {500},
         500},
        {"three bytes stall",
         " \x1b\x1b",
         {{0, EAGAIN, 0}, {0, EAGAIN, 0}},
         0,
         {"Did not write all data"},
         "",
         {400},
         400},
        {"half in 30 ms, then a stall",
         "Q4\r\n",
         {{2, 0, 30}, {0, EAGAIN, 0}, {0, EAGAIN, 0}},
         2,
         {"Did not write all data"},
         "Q4",
         {470},
         500},
        {"fails",
         "Q4\r\n",
         {{0, EIO, 0}},
         0,
         {"Input/output error", "Did not write all data"},
         "",
         {},
         0},
        {"half, then fails",
         "Q4\r\n",
         {{2, 0, 0}, {0, EIO, 0}},
         2,
         {"Input/output error", "Did not write all data"},
         "Q4",
         {},
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(openPortOn(pair));
        errorBoxes.clear();
        testClock.polls.clear();
        writeScript = c.script;
        nextWrite = 0;
        setPortWriteFunction(scriptedWrite);
        const int port = portHandle;
        const uint32_t begin = testClock.now;
        EXPECT_EQ(writeText(c.text), c.sent);
        EXPECT_EQ(testClock.now - begin, c.elapsedMs);
        EXPECT_EQ(errorBoxes, c.boxes);
        EXPECT_EQ(isPortClosed(), !c.boxes.empty());
        EXPECT_EQ(wire(c.wire.size()), c.wire);
        ASSERT_EQ(testClock.polls.size(), c.pollTimeouts.size());
        for (std::size_t i = 0; i < c.pollTimeouts.size(); ++i) {
            EXPECT_EQ(testClock.polls[i].timeout, c.pollTimeouts[i]);
            EXPECT_EQ(testClock.polls[i].fd, port);
            EXPECT_EQ(testClock.polls[i].events, POLLOUT);
            EXPECT_EQ(testClock.polls[i].count, nfds_t{1});
        }
        setPortWriteFunction(nullptr);
        closePort();
    }
}

// A stop sends its bytes and drains: it reads until nothing comes, sleeps half a second, and
// starts again if the controller said anything meanwhile; after ten rounds it gives up.
TEST_F(PortTiming, EachDrainWaitsForHalfASecondOfQuietAndGivesUpAfterTenRounds) {
    const struct Case {
        const char* what;
        std::string waiting; // in the input when the stop begins
        int talkingSleeps;
        std::size_t rounds;
        bool byteReads = false;
    } cases[] = {
        {"quiet", "", 0, 1},
        {"three lines waiting", std::string(3000, 'x') + "\r\n", 0, 1},
        {"talks during one sleep", "", 1, 2},
        {"talks during three sleeps, read a byte at a time", "1 2\r\n", 3, 4, true},
        {"talks during nine sleeps, then quiet", "", 9, 10},
        {"never quiet", "", -1, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(openPortOn(pair));
        if (!c.waiting.empty()) {
            controllerSays(pair.master, c.waiting);
        }
        testClock.sleeps.clear();
        testClock.talkingSleeps = c.talkingSleeps;
        testClock.byteReads = c.byteReads;
        const uint32_t begin = testClock.now;
        stopLink();
        EXPECT_EQ(testClock.sleeps, std::vector<uint32_t>(c.rounds, 500));
        EXPECT_EQ(testClock.now - begin, 500 * c.rounds);
        EXPECT_TRUE(isPortClosed());
        EXPECT_FALSE(linkRunning);
        EXPECT_TRUE(errorBoxes.empty());
        EXPECT_EQ(wire(3), " \x1b\x1b");
        testClock.talkingSleeps = 0;
        testClock.byteReads = false;
    }
}

struct TimedWrite {
    uint32_t tick;
    std::string bytes;
};
std::vector<TimedWrite> timedWrites;

ssize_t timedWrite(int fd, const void* bytes, std::size_t count) {
    const ssize_t written = ::write(fd, bytes, count);
    if (written > 0) {
        timedWrites.push_back({testClock.now, std::string(static_cast<const char*>(bytes),
                                                          static_cast<std::size_t>(written))});
    }
    return written;
}

// The controller answers while the drain after the write sleeps.
ssize_t answeredWrite(int fd, const void* bytes, std::size_t count) {
    testClock.talkingSleeps = 1;
    return timedWrite(fd, bytes, count);
}

// A start sends the stop bytes and drains, drains and sends "p", drains and sends "Q4"; a
// controller that answers each step, or never falls quiet, only makes the drains longer, and the
// link runs after it all the same.
TEST_F(PortTiming, AStartSendsEachCommandAfterItsDrains) {
    const struct Case {
        const char* what;
        int talkingSleeps;
        bool answersEachStep; // talks during the first sleep of every drain
        uint32_t pAt, q4At;
        std::size_t sleeps;
    } cases[] = {
        {"quiet", 0, false, 1000, 1500, 3},
        {"answers each step", 0, true, 1500, 2500, 5},
        {"never quiet", -1, false, 10000, 15000, 30},
    };
    const ScratchFolder folder("kv-timing");
    ASSERT_EQ(symlink(pair.slavePath.c_str(), (folder.path + "/COM1").c_str()), 0);
    WorkingDirectoryGuard here(folder.path);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        timedWrites.clear();
        testClock.sleeps.clear();
        testClock.talkingSleeps = c.talkingSleeps;
        setPortWriteFunction(c.answersEachStep ? answeredWrite : timedWrite);
        const uint32_t begin = testClock.now;
        startLink();
        const std::string log = noteCaptureLog();
        ASSERT_TRUE(linkRunning);
        ASSERT_EQ(timedWrites.size(), 3u);
        EXPECT_EQ(timedWrites[0].bytes, " \x1b\x1b");
        EXPECT_EQ(timedWrites[0].tick - begin, 0u);
        EXPECT_EQ(timedWrites[1].bytes, "p\r\n");
        EXPECT_EQ(timedWrites[1].tick - begin, c.pAt);
        EXPECT_EQ(timedWrites[2].bytes, "Q4\r\n");
        EXPECT_EQ(timedWrites[2].tick - begin, c.q4At);
        EXPECT_EQ(testClock.sleeps, std::vector<uint32_t>(c.sleeps, 500));

        // Nothing follows "Q4": what the controller says next is read as lines, and only that
        // is logged, nothing the drains threw away.
        testClock.talkingSleeps = 0;
        controllerSays(pair.master, "5 6\r\n");
        readReplyLines();
        EXPECT_STREQ(telemetry.lastLine, "5 6");
        std::fflush(captureLog);
        EXPECT_EQ(readFile(log), "5 6\n");
        EXPECT_TRUE(errorBoxes.empty());
        setPortWriteFunction(nullptr);
        closePort();
        linkRunning = false;
        wire();
    }
}

// The same start and a stop run as the dashboard runs them, a step each frame of 16 ms: nothing
// sleeps, and every byte goes out as in the start above, each half second of quiet waited out to
// the end of the frame in which it ran out, so at most a frame late for each drain round.
TEST_F(PortTiming,
       AStartAndStopRunAcrossFramesSendTheSameBytesNeverSleepingAtMostAFrameLatePerRound) {
    constexpr uint32_t frameMs = 16;
    const struct Case {
        const char* what;
        bool neverQuiet;
        uint32_t pAt, q4At;
        uint32_t roundsBeforeP, roundsBeforeQ4;
    } cases[] = {
        {"quiet", false, 1000, 1500, 2, 3},
        {"never quiet", true, 10000, 15000, 20, 30},
    };
    const ScratchFolder folder("kv-timing");
    ASSERT_EQ(symlink(pair.slavePath.c_str(), (folder.path + "/COM1").c_str()), 0);
    WorkingDirectoryGuard here(folder.path);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        timedWrites.clear();
        testClock.sleeps.clear();
        setPortWriteFunction(timedWrite);
        const uint32_t begin = testClock.now;
        beginStart();
        int frames = 0;
        while (linkStep == LinkStep::starting && frames < 10000) {
            testClock.now += frameMs;
            if (c.neverQuiet) {
                controllerSays(pair.master, testClock.words);
            }
            advanceLink();
            ++frames;
        }
        const std::string log = noteCaptureLog();
        ASSERT_TRUE(linkRunning);
        EXPECT_TRUE(testClock.sleeps.empty());
        ASSERT_EQ(timedWrites.size(), 3u);
        EXPECT_EQ(timedWrites[0].bytes, " \x1b\x1b");
        EXPECT_EQ(timedWrites[0].tick - begin, 0u);
        EXPECT_EQ(timedWrites[1].bytes, "p\r\n");
        EXPECT_GE(timedWrites[1].tick - begin, c.pAt);
        EXPECT_LE(timedWrites[1].tick - begin, c.pAt + c.roundsBeforeP * frameMs);
        EXPECT_EQ(timedWrites[2].bytes, "Q4\r\n");
        EXPECT_GE(timedWrites[2].tick - begin, c.q4At);
        EXPECT_LE(timedWrites[2].tick - begin, c.q4At + c.roundsBeforeQ4 * frameMs);
        // Only what follows "Q4" is logged.
        EXPECT_TRUE(readFile(log).empty());

        // The stop: its bytes go out in the frame of the key, the port closes once its quiet
        // time has run out.
        const uint32_t stopBegin = testClock.now;
        beginStop();
        ASSERT_EQ(timedWrites.size(), 4u);
        EXPECT_EQ(timedWrites[3].bytes, " \x1b\x1b");
        EXPECT_EQ(timedWrites[3].tick, stopBegin);
        while (linkStep == LinkStep::stopping && frames < 20000) {
            testClock.now += frameMs;
            if (c.neverQuiet) {
                controllerSays(pair.master, testClock.words);
            }
            advanceLink();
            ++frames;
            EXPECT_EQ(isPortClosed(), linkStep == LinkStep::none);
        }
        const uint32_t stopRounds = c.neverQuiet ? 10 : 1;
        EXPECT_GE(testClock.now - stopBegin, 500 * stopRounds);
        EXPECT_LE(testClock.now - stopBegin, (500 + frameMs) * stopRounds);
        EXPECT_TRUE(testClock.sleeps.empty());
        EXPECT_TRUE(errorBoxes.empty());
        setPortWriteFunction(nullptr);
        wire();
    }
}

// With "reconnect", a device that fails under the running link gives no box: the same COM name
// is tried again once a second until it opens, and then the start runs again, logs of its own
// following it.
TEST_F(PortTiming, WithReconnectTheSameComNameIsTriedEverySecondUntilItOpensAndStartsAgain) {
    reconnectMode = 1;
    struct Restore {
        ~Restore() { reconnectMode = 0; }
    } restore;
    const ScratchFolder folder("kv-timing");
    const std::string com = folder.path + "/COM1";
    ASSERT_EQ(symlink(pair.slavePath.c_str(), com.c_str()), 0);
    WorkingDirectoryGuard here(folder.path);
    startLink();
    const std::string firstLog = noteCaptureLog();
    ASSERT_TRUE(linkRunning);
    wire(10);

    // Unplugged: the line goes, and its name with it.
    ASSERT_EQ(unlink(com.c_str()), 0);
    closeTerminalPair(pair);
    const uint32_t lost = testClock.now;
    readReplyLines();
    EXPECT_EQ(linkStep, LinkStep::reconnecting);
    EXPECT_STREQ(linkStatusText, "Input/output error - reconnecting");
    EXPECT_TRUE(errorBoxes.empty());
    EXPECT_TRUE(isPortClosed());
    EXPECT_EQ(captureLog, nullptr);
    EXPECT_FALSE(linkRunning);

    // Plugged in again under the same name 2.5 s later: the try at 3 s opens it.
    uint32_t openedAfter = 0;
    for (int frame = 0; frame < 500 && openedAfter == 0; ++frame) {
        testClock.now += 10;
        if (testClock.now - lost == 2500) {
            pair = openTerminalPair();
            fcntl(pair.master, F_SETFL, O_NONBLOCK);
            testClock.controller = pair.master;
            ASSERT_EQ(symlink(pair.slavePath.c_str(), com.c_str()), 0);
        }
        advanceLink();
        if (!isPortClosed()) {
            openedAfter = testClock.now - lost;
        }
    }
    EXPECT_EQ(openedAfter, 3000u);
    EXPECT_EQ(linkStep, LinkStep::starting);
    EXPECT_EQ(wire(3), " \x1b\x1b");
    for (int frame = 0; frame < 500 && linkStep == LinkStep::starting; ++frame) {
        testClock.now += 10;
        advanceLink();
    }
    EXPECT_TRUE(linkRunning);
    EXPECT_EQ(wire(7), "p\r\nQ4\r\n");
    const std::string secondLog = noteCaptureLog();
    EXPECT_NE(secondLog, "");
    EXPECT_NE(secondLog, firstLog);
    EXPECT_TRUE(errorBoxes.empty());
}

// A write that stalls or fails ends the start at once: one report, nothing more on the line, no
// drain, the link stopped.
TEST_F(PortTiming, AWriteFaultEndsTheStartWithOneReport) {
    const struct Case {
        const char* what;
        std::vector<WriteStep> script;
        std::vector<std::string> boxes;
        std::string wire;
    } cases[] = {
        {"the stop bytes stall after one",
         {{1, 0, 0}, {0, EAGAIN, 0}, {0, EAGAIN, 0}},
         {"Did not write all data"},
         " "},
        {"the stop bytes fail",
         {{0, EIO, 0}},
         {"Input/output error", "Did not write all data"},
         ""},
    };
    const ScratchFolder folder("kv-timing");
    ASSERT_EQ(symlink(pair.slavePath.c_str(), (folder.path + "/COM1").c_str()), 0);
    WorkingDirectoryGuard here(folder.path);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        errorBoxes.clear();
        testClock.sleeps.clear();
        writeScript = c.script;
        nextWrite = 0;
        setPortWriteFunction(scriptedWrite);
        startLink();
        noteCaptureLog();
        EXPECT_EQ(errorBoxes, c.boxes);
        EXPECT_EQ(wire(c.wire.size()), c.wire);
        EXPECT_TRUE(testClock.sleeps.empty());
        EXPECT_TRUE(isPortClosed());
        EXPECT_FALSE(linkRunning);
    }
    setPortWriteFunction(nullptr);
}
} // namespace
