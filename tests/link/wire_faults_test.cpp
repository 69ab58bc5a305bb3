// What a car's wiring does to the stream, played by the simulator over a real pseudo-terminal: a
// missing port, a hang-up, a line too long for the buffer, a line feed after every byte, garbage,
// NULs and bytes 128 to 255 inside lines, and a port held by another program (writes that fail or
// stall: port_timing_test.cpp). Each ends with its message once, the port closed and the link
// stopped, or carries on; every line received before it is in the capture log.
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "link/capture_log.h"
#include "link/controller_protocol.h"
#include "link/link_session.h"
#include "link/serial_port.h"
#include "platform/posix/serial_write.h"
#include "shell/settings.h"
#include "support/link_state.h"
#include "support/simulator.h"

// What no terminal does on demand: refuse exclusive mode, or its line settings to be read or
// applied. The link's tests wrap the three calls; the step refused fails with EIO.
namespace {
enum class Refused { nothing, exclusiveMode, settingsRead, settingsApplied };
Refused refused = Refused::nothing;

bool refuse(Refused step) {
    if (refused != step) {
        return false;
    }
    errno = EIO;
    return true;
}
} // namespace

extern "C" {
int __real_ioctl(int fd, unsigned long request, ...);
int __wrap_ioctl(int fd, unsigned long request, ...) {
    va_list rest;
    va_start(rest, request);
    void* argument = va_arg(rest, void*); // unused for requests that take none
    va_end(rest);
    return request == TIOCEXCL && refuse(Refused::exclusiveMode)
               ? -1
               : __real_ioctl(fd, request, argument);
}

int __real_tcgetattr(int fd, termios* line);
int __wrap_tcgetattr(int fd, termios* line) {
    return refuse(Refused::settingsRead) ? -1 : __real_tcgetattr(fd, line);
}

int __real_tcsetattr(int fd, int when, const termios* line);
int __wrap_tcsetattr(int fd, int when, const termios* line) {
    return refuse(Refused::settingsApplied) ? -1 : __real_tcsetattr(fd, when, line);
}
}

namespace {
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

TEST_F(WireFaults, AComNumberWithoutDeviceCannotBeOpened) {
    WorkingDirectoryGuard here(makeScratchFolder("kv-nodevice"));
    settings.comPort = 87; // no COM87 here, and no /dev/ttyUSB86, ttyACM86 or ttyS86
    startLink();
    EXPECT_EQ(errorBoxes, std::vector<std::string>{"The selected COM port could not be opened"});
    expectStoppedAndClosed();
}

// A half line never got its line feed: it is not a line, and it is the only thing missing.
TEST_F(WireFaults, AHangUpKeepsEveryWholeLineReceivedBeforeIt) {
    const struct Case {
        const char* what;
        std::vector<std::string> args;
        std::size_t sent, logged;
    } cases[] = {
        {"after a line", {"--hangup-after", "20", "--start-at", "2"}, 20, 20},
        {"in the middle of a line", {"--hangup-after", "12", "--hangup-mid-line"}, 12, 11},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        resetLinkState();
        SimulatorRun sim = startSimulator(c.args);
        WorkingDirectoryGuard here(sim.folder);
        startLink();
        ASSERT_TRUE(linkRunning);
        const std::string log = noteCaptureLog();
        ASSERT_TRUE(readUntil([] { return false; }));
        EXPECT_EQ(errorBoxes, std::vector<std::string>{"Input/output error"});
        expectStoppedAndClosed();
        const std::vector<std::string> sent = sentLines(sim);
        ASSERT_EQ(sent.size(), c.sent);
        EXPECT_EQ(readFile(log), joinLines(sent, 0, c.logged));
        EXPECT_EQ(telemetry.lastLine, sent[c.logged - 1]);
        stopSimulator(sim);
    }
}

// More than the buffer holds without a line feed stops the link; the next start drains the rest
// (the tail of the long line with its line end, or of the burst) and then only whole drive lines
// arrive.
TEST_F(WireFaults, ALineLongerThanTheBufferStopsTheLinkAndTheNextStartIsClean) {
    const struct Case {
        const char* what;
        std::vector<std::string> args;
        std::size_t length; // of the sixth line sent
    } cases[] = {
        {"1100 bytes and a line end", {"--overlong-after", "5", "--rate", "20"}, 1100},
        {"a burst of 64 KiB", {"--flood-after", "5", "--seed", "3", "--rate", "20"}, 65536},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        resetLinkState();
        SimulatorRun sim = startSimulator(c.args);
        WorkingDirectoryGuard here(sim.folder);
        startLink();
        ASSERT_TRUE(linkRunning);
        const std::string first = noteCaptureLog();
        ASSERT_TRUE(readUntil([] { return false; }));
        EXPECT_EQ(errorBoxes, std::vector<std::string>{"Did not find end of line"});
        expectStoppedAndClosed();
        EXPECT_EQ(readFile(first), joinLines(sentLines(sim), 0, 5));

        errorBoxes.clear();
        startLink();
        ASSERT_TRUE(linkRunning);
        const std::string second = noteCaptureLog();
        ASSERT_TRUE(readUntilLogged(second, 10));
        EXPECT_TRUE(errorBoxes.empty()) << errorBoxes.front();
        stopLink();
        const std::vector<std::string> sent = sentLines(sim);
        ASSERT_GT(sent.size(), 6u);
        EXPECT_EQ(sent[5].size(), c.length); // the whole of it went out
        const std::string logged = readFile(second);
        EXPECT_TRUE(isRunOfSentLines(logged, sent, 6)) << logged;
        stopSimulator(sim);
    }
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

TEST_F(WireFaults, GarbageIsLoggedAndParsedWithoutHarm) {
    SimulatorRun sim = startSimulator({"--garbage", "3", "--rate", "25", "--seed", "7"});
    WorkingDirectoryGuard here(sim.folder);
    startLink();
    ASSERT_TRUE(linkRunning);
    const std::string log = noteCaptureLog();
    ASSERT_TRUE(readUntilLogged(log, 30));
    EXPECT_TRUE(errorBoxes.empty()) << errorBoxes.front();
    EXPECT_TRUE(linkRunning);
    stopLink();
    const std::string logged = readFile(log);
    EXPECT_EQ(logged, joinLines(sentLines(sim), 0, countLines(logged)));
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
// test through a pipe, and holds it until the test lets it go; then it gives the port back as a
// well-behaved program does (exclusive mode is a flag of the device and outlives a descriptor).
struct Holder {
    pid_t pid = -1;
    int letGo = -1; // closed by the test to end the holder
};

enum class HoldBy { Lock, ExclusiveMode, Both };

Holder holdPort(const char* path, HoldBy how) {
    int ready[2];
    int letGo[2];
    if (pipe(ready) != 0 || pipe(letGo) != 0) {
        return {};
    }
    Holder holder;
    holder.pid = fork();
    if (holder.pid == 0) {
        close(letGo[1]);
        const int fd = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK);
        const bool held = fd >= 0 &&
                          (how == HoldBy::ExclusiveMode || flock(fd, LOCK_EX | LOCK_NB) == 0) &&
                          (how == HoldBy::Lock || ioctl(fd, TIOCEXCL) == 0);
        const char answer = held ? 'y' : 'n';
        char end;
        if (write(ready[1], &answer, 1) != 1 || read(letGo[0], &end, 1) != 0) {
            _exit(1);
        }
        ioctl(fd, TIOCNXCL);
        _exit(0);
    }
    close(ready[1]);
    close(letGo[0]);
    holder.letGo = letGo[1];
    char answer = 'n';
    if (holder.pid < 0 || read(ready[0], &answer, 1) != 1 || answer != 'y') {
        ADD_FAILURE() << "the holder could not take the port";
    }
    close(ready[0]);
    return holder;
}

void release(Holder& holder) {
    close(holder.letGo);
    if (holder.pid > 0) {
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

// Exclusive mode outlives our descriptor on a pseudo-terminal: until it is given back, a user's
// next open of the port fails with "Device or resource busy". Root is not kept out by it, so the
// cases run as a user, each on a terminal pair of its own.
bool refusedToOthers(const TerminalPair& pair) {
    const int fd = open(pair.slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd >= 0) {
        close(fd);
        return false;
    }
    return errno == EBUSY;
}

ssize_t failingWrite(int, const void*, std::size_t) {
    errno = EIO;
    return -1;
}

// Opens the port with a step of its set-up refused and reports the failure as a start does.
// True when the open failed, left the device open for the report, and held it exclusively
// meanwhile unless exclusive mode was the step refused.
template <Refused step> bool refusedOpen(const TerminalPair& pair) {
    refused = step;
    const bool opened = openPort(pair.slavePath.c_str(), "/dev/null");
    const int error = errno;
    refused = Refused::nothing;
    const bool leftOpen = !opened && !isPortClosed();
    const bool held = refusedToOthers(pair);
    errno = error;
    reportOpenFailure(pair.slavePath.c_str());
    return leftOpen && held == (step != Refused::exclusiveMode);
}

TEST_F(WireFaults, EveryWayOurDescriptorGoesGivesTheDeviceBackForTheNextOpen) {
    struct Case {
        std::string how;
        // True when the port was open as the case expects: exclusive, unless that was refused.
        bool (*close)(const TerminalPair& pair);
        std::vector<std::string> boxes;
    };
    const Case cases[] = {
        {"stop",
         [](const TerminalPair& pair) {
             const bool held = openPortOn(pair) && refusedToOthers(pair);
             stopLink();
             return held;
         },
         {}},
        {"a failed write",
         [](const TerminalPair& pair) {
             const bool held = openPortOn(pair) && refusedToOthers(pair);
             setPortWriteFunction(failingWrite);
             writeText("p\r\n");
             setPortWriteFunction(nullptr);
             return held;
         },
         {"Input/output error", "Did not write all data"}},
        {"exclusive mode refused", refusedOpen<Refused::exclusiveMode>, {"Input/output error"}},
        {"line settings unreadable", refusedOpen<Refused::settingsRead>, {"Input/output error"}},
        {"line settings refused", refusedOpen<Refused::settingsApplied>, {"Input/output error"}},
        {"the end of the program with the link running",
         [](const TerminalPair& pair) {
             const pid_t program = fork();
             if (program == 0) {
                 if (!openPortOn(pair) || !refusedToOthers(pair)) {
                     _exit(2);
                 }
                 std::exit(0);
             }
             int status = 0;
             return waitpid(program, &status, 0) == program && WIFEXITED(status) &&
                    WEXITSTATUS(status) == 0;
         },
         {}},
    };
    const std::string wrong = runUnprivileged([&] {
        std::string found;
        for (const Case& c : cases) {
            TerminalPair pair = openTerminalPair();
            errorBoxes.clear();
            if (!c.close(pair)) {
                found += c.how + ": the port was not open as expected\n";
            }
            if (errorBoxes != c.boxes) {
                found += c.how + ": boxes";
                for (const std::string& box : errorBoxes) {
                    found += " \"" + box + "\"";
                }
                found += "\n";
            }
            if (refusedToOthers(pair)) {
                found += c.how + ": the next open is refused\n";
            }
            closeTerminalPair(pair);
        }
        return found;
    });
    EXPECT_EQ(wrong, "");
}
// Root gets past another program's exclusive mode; that program's flag must stay set, whatever
// becomes of our open: only what this program took is given back.
TEST_F(WireFaults, AnotherProgramsExclusiveModeIsNeverGivenBackForIt) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "only root gets past another program's exclusive mode";
    }
    TerminalPair pair = openTerminalPair();
    int probe = 0;
    if (ioctl(pair.slave, TIOCGEXCL, &probe) != 0) {
        const int why = errno;
        closeTerminalPair(pair);
        GTEST_SKIP() << "this system does not tell a terminal's exclusive mode (TIOCGEXCL: "
                     << std::strerror(why) << "; qemu's user mode does not pass it on)";
    }
    const char* port = pair.slavePath.c_str();
    const struct {
        bool ownFirst; // a flag of our own taken and given back before
        HoldBy how;
        bool opens; // root passes the exclusive mode, not the lock
    } cases[] = {{false, HoldBy::Both, false},
                 {true, HoldBy::ExclusiveMode, true},
                 {true, HoldBy::Both, false}};
    for (const auto& c : cases) {
        if (c.ownFirst) {
            ASSERT_TRUE(openPort(port, "/dev/null"));
            closePort();
        }
        Holder holder = holdPort(port, c.how);
        EXPECT_EQ(openPort(port, "/dev/null"), c.opens);
        closePort();
        const int fd = open(port, O_RDWR | O_NOCTTY | O_NONBLOCK);
        int held = 0;
        EXPECT_EQ(ioctl(fd, TIOCGEXCL, &held), 0);
        EXPECT_NE(held, 0) << "the other program's exclusive mode was cleared";
        close(fd);
        release(holder);
    }
    closeTerminalPair(pair);
}
} // namespace
