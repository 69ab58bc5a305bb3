// What a car's wiring does to the stream, played by the simulator over a real pseudo-terminal: a
// hang-up in the middle of a line, a 64 KiB burst without a line feed, a line feed after every
// byte, NULs and bytes 128 to 255 inside lines, and a port held by another program. Each ends
// with its message or carries on, and every line received before it is in the capture log.
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "link/controller_protocol.h"
#include "link/serial_port.h"
#include "support/link_state.h"
#include "support/simulator.h"

namespace {
std::string joinLines(const std::vector<std::string>& lines, std::size_t from, std::size_t to) {
    std::string text;
    for (std::size_t i = from; i < to && i < lines.size(); ++i) {
        text += lines[i] + "\n";
    }
    return text;
}

std::size_t countLines(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

class WireFaults : public ::testing::Test {
  protected:
    void SetUp() override { resetLinkState(); }
    void TearDown() override { releaseLinkState(); }
    // Reads frame by frame until condition holds or an error box appears (bounded).
    static bool readUntil(const std::function<bool()>& condition) {
        return waitFor(
            [&] {
                readReplyLines();
                return condition() || !errorBoxes.empty();
            },
            std::chrono::seconds(30));
    }
    static bool readUntilLogged(const std::string& log, std::size_t lines) {
        return readUntil([&] { return countLines(readFile(log)) >= lines; });
    }
    static void expectStoppedAndClosed() {
        EXPECT_TRUE(isPortClosed());
        EXPECT_EQ(captureLog, nullptr);
        EXPECT_FALSE(linkRunning);
    }
};

TEST_F(WireFaults, AHangUpMidLineKeepsEveryWholeLine) {
    SimulatorRun sim = startSimulator({"--hangup-after", "12", "--hangup-mid-line"});
    WorkingDirectoryGuard here(sim.folder);
    startLink();
    ASSERT_TRUE(linkRunning);
    const std::string log = noteCaptureLog();
    ASSERT_TRUE(readUntil([] { return false; }));
    EXPECT_EQ(errorBoxes, std::vector<std::string>{"Input/output error"});
    expectStoppedAndClosed();
    const std::vector<std::string> sent = sentLines(sim);
    ASSERT_EQ(sent.size(), 12u);
    // The half line never got its line feed: it is not a line, and it is the only thing missing.
    EXPECT_EQ(readFile(log), joinLines(sent, 0, 11));
    EXPECT_EQ(telemetry.lastLine, sent[10]);
    stopSimulator(sim);
}

TEST_F(WireFaults, ABurstOf64KiBWithoutLineFeedStopsTheLinkAndTheNextStartIsClean) {
    SimulatorRun sim = startSimulator({"--flood-after", "5", "--seed", "3", "--rate", "20"});
    WorkingDirectoryGuard here(sim.folder);
    startLink();
    ASSERT_TRUE(linkRunning);
    const std::string first = noteCaptureLog();
    ASSERT_TRUE(readUntil([] { return false; }));
    EXPECT_EQ(errorBoxes, std::vector<std::string>{"Did not find end of line"});
    expectStoppedAndClosed();
    EXPECT_EQ(readFile(first), joinLines(sentLines(sim), 0, 5));

    // The start drains what is left of the burst; then only whole drive lines arrive.
    errorBoxes.clear();
    startLink();
    ASSERT_TRUE(linkRunning);
    const std::string second = noteCaptureLog();
    ASSERT_TRUE(readUntilLogged(second, 10));
    EXPECT_TRUE(errorBoxes.empty()) << errorBoxes.front();
    stopLink();
    const std::vector<std::string> sent = sentLines(sim);
    ASSERT_GT(sent.size(), 6u);
    EXPECT_EQ(sent[5].size(), 65536u); // the whole burst went out
    const std::string logged = readFile(second);
    EXPECT_TRUE(isRunOfSentLines(logged, sent, 6)) << logged;
    stopSimulator(sim);
}

TEST_F(WireFaults, ALineFeedAfterEveryByteMakesALineOfEachByte) {
    SimulatorRun sim = startSimulator({"--feed-every-byte", "--rate", "20", "--start-at", "2"});
    WorkingDirectoryGuard here(sim.folder);
    startLink();
    ASSERT_TRUE(linkRunning);
    const std::string log = noteCaptureLog();
    ASSERT_TRUE(readUntilLogged(log, 300));
    EXPECT_TRUE(errorBoxes.empty()) << errorBoxes.front();
    stopLink();
    const std::string logged = readFile(log);
    const std::vector<std::string> sent = sentLines(sim);
    EXPECT_EQ(logged, joinLines(sent, 0, countLines(logged)));
    // Every line is one byte, or empty where the byte was the CR of the line end.
    for (std::size_t i = 0; i < countLines(logged); ++i) {
        ASSERT_LE(sent[i].size(), 1u) << "line " << i;
    }
    stopSimulator(sim);
}

TEST_F(WireFaults, NulAndBytesFrom128InsideLinesReachTheLogWhole) {
    SimulatorRun sim = startSimulator({"--raw-bytes", "3", "--rate", "20", "--start-at", "2"});
    WorkingDirectoryGuard here(sim.folder);
    startLink();
    ASSERT_TRUE(linkRunning);
    const std::string log = noteCaptureLog();
    // Each frame the held line is the text of the latest logged line up to its first NUL.
    bool held = true;
    ASSERT_TRUE(readUntil([&] {
        const std::string logged = readFile(log);
        if (logged.empty()) {
            return false;
        }
        const std::size_t cut = logged.rfind('\n', logged.size() - 2);
        const std::size_t from = cut == std::string::npos ? 0 : cut + 1;
        const std::string last = logged.substr(from, logged.size() - 1 - from);
        held = held && std::string(telemetry.lastLine) == last.substr(0, last.find('\0'));
        return countLines(logged) >= 15;
    }));
    EXPECT_TRUE(held);
    EXPECT_TRUE(errorBoxes.empty()) << errorBoxes.front();
    stopLink();
    const std::string logged = readFile(log);
    const std::vector<std::string> sent = sentLines(sim);
    EXPECT_EQ(logged, joinLines(sent, 0, countLines(logged)));
    EXPECT_NE(logged.find(std::string("\0\x80\x81", 3)), std::string::npos);
    EXPECT_NE(logged.find("\xfe\xff"), std::string::npos);
    stopSimulator(sim);
}

// Another program holding the port: a child process that opens it, takes its lock, tells the
// test through a pipe, and waits to be killed.
struct Holder {
    pid_t pid = -1;
};

enum class HoldBy { Lock, ExclusiveMode };

Holder holdPort(const char* path, HoldBy how) {
    int ready[2];
    if (pipe(ready) != 0) {
        return {};
    }
    Holder holder;
    holder.pid = fork();
    if (holder.pid == 0) {
        const int fd = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK);
        const bool held = fd >= 0 && (how == HoldBy::Lock ? flock(fd, LOCK_EX | LOCK_NB) == 0
                                                          : ioctl(fd, TIOCEXCL) == 0);
        const char answer = held ? 'y' : 'n';
        if (write(ready[1], &answer, 1) != 1) {
            _exit(1);
        }
        for (;;) {
            pause();
        }
    }
    close(ready[1]);
    char answer = 'n';
    if (holder.pid < 0 || read(ready[0], &answer, 1) != 1 || answer != 'y') {
        ADD_FAILURE() << "the holder could not take the port";
    }
    close(ready[0]);
    return holder;
}

void release(Holder& holder) {
    if (holder.pid > 0) {
        kill(holder.pid, SIGKILL);
        waitpid(holder.pid, nullptr, 0);
        holder.pid = -1;
    }
}

TEST_F(WireFaults, APortHeldByAnotherProgramGivesItsReasonAndIsFreeOnceReleased) {
    struct Case {
        HoldBy how;
        int error;
    };
    const Case cases[] = {{HoldBy::Lock, EWOULDBLOCK}, {HoldBy::ExclusiveMode, EBUSY}};
    SimulatorRun sim = startSimulator({});
    WorkingDirectoryGuard here(sim.folder);
    for (const Case& c : cases) {
        // Exclusive mode does not keep out a process with administrator rights.
        if (c.how == HoldBy::ExclusiveMode && geteuid() == 0) {
            continue;
        }
        SCOPED_TRACE(std::strerror(c.error));
        errorBoxes.clear();
        Holder holder = holdPort("COM1", c.how);
        startLink();
        EXPECT_EQ(errorBoxes, std::vector<std::string>{std::strerror(c.error)});
        expectStoppedAndClosed();
        release(holder);
        startLink();
        noteCaptureLog();
        EXPECT_TRUE(linkRunning);
        EXPECT_TRUE(readUntil([] { return telemetry.lastLine[0] != '\0'; }));
        EXPECT_EQ(errorBoxes.size(), 1u);
        stopLink();
        telemetry.lastLine[0] = '\0';
    }
    stopSimulator(sim);
}
} // namespace
