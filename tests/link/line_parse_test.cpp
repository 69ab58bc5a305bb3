// Reply lines: the nine base-16 fields with strtol's rules, the status letters, and cutting the
// received stream into lines, over a real pseudo-terminal whose far end the test writes.
#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <unistd.h>

#include "link/capture_log.h"
#include "link/controller_protocol.h"
#include "link/link_session.h"
#include "link/polling.h"
#include "link/serial_port.h"
#include "support/link_state.h"
#include "support/process.h"

namespace {
std::string flagString(const StatusFlags& f) {
    const uint8_t all[] = {f.stopped,           f.shifting,     f.mainContactorOn,
                           f.motorContactorsOn, f.reverse,      f.forward,
                           f.motorsParallel,    f.motorsSeries, f.voltageDropWarning};
    std::string letters;
    for (int i = 0; i < 9; ++i) {
        letters += all[i] != 0 ? "SGOMRFPSV"[i] : '.';
    }
    return letters;
}

struct LineCase {
    const char* line;
    float channels[9];
    const char* flags; // set flags by letter, '.' for clear, in match order
};

TEST(ReplyLine, FieldsAndLettersParseByTheirRules) {
    const float big = 2147483648.0f;
    const LineCase cases[] = {
        {"47 1f 30 32 7f 44 40 2a 0 SOMF", {71, 31, 48, 50, 127, 68, 64, 42, 0}, "S.OM.F..."},
        {"12 34", {18, 52, 0, 0, 0, 0, 0, 0, 0}, "........."},
        {"Q4", {0, 0, 0, 0, 0, 0, 0, 0, 0}, "........."},
        {"", {0, 0, 0, 0, 0, 0, 0, 0, 0}, "........."},
        {"0x1A -5 FFFFFFFF 7fffffff -80000000 -FFFFFFFF 123456789abc +0X10 0x",
         {26, -5, big, big, -big, -big, big, 16, 0},
         "........."},
        {"1 2 3 4 5 6 7 8 9 S GO", {1, 2, 3, 4, 5, 6, 7, 8, 9}, "S........"},
        {"1 2 3 4 5 6 7 8 9 FS", {1, 2, 3, 4, 5, 6, 7, 8, 9}, ".....F.S."},
        {"1 2 3 4 5 6 7 8 9 SS", {1, 2, 3, 4, 5, 6, 7, 8, 9}, "S......S."},
        {"1 2 3 4 5 6 7 8 9   SGOMRFPSV trailing", {1, 2, 3, 4, 5, 6, 7, 8, 9}, "SGOMRFPSV"},
        {"1 2 3 4 5 6 7 8 9 ofm", {1, 2, 3, 4, 5, 6, 7, 8, 9}, "........."},
        {"1 2 3 4 5 6 7 8 9\tSO", {1, 2, 3, 4, 5, 6, 7, 8, 9}, "........."}, // spaces only
        // No digit: the position stays before the blanks, so the letters are looked for there.
        {"5 zz 7 SO", {5, 0, 0, 0, 0, 0, 0, 0, 0}, "........."},
        {"\t1\v2\f3\r4 5 6 7 8 9 MF", {1, 2, 3, 4, 5, 6, 7, 8, 9}, "...M.F..."},
        // "0x" is a prefix only before a digit, the 0 included.
        {"0x5 0x0 12 0xg", {5, 0, 18, 0, 0, 0, 0, 0, 0}, "........."},
    };
    for (const LineCase& c : cases) {
        telemetry = Telemetry{};
        parseReplyLine(c.line);
        for (int i = 0; i < 9; ++i) {
            EXPECT_EQ(telemetry.rawChannels[i], c.channels[i]) << c.line << " channel " << i;
        }
        EXPECT_EQ(flagString(telemetry.statusFlags), c.flags) << c.line;
    }
}

TEST(ReplyLine, AFieldWithoutDigitsLeavesThePositionWhereItWas) {
    const char* text = "  xyz";
    const char* end = nullptr;
    EXPECT_EQ(readHexField(text, &end), 0);
    EXPECT_EQ(end, text);
    const char* prefixOnly = "0xg";
    EXPECT_EQ(readHexField(prefixOnly, &end), 0);
    EXPECT_EQ(end, prefixOnly + 1); // the 0 is the number, the x is not part of it
}

class LineStream : public ::testing::Test {
  protected:
    void SetUp() override {
        resetLinkState();
        pair = openTerminalPair();
        ASSERT_GE(pair.master, 0);
        logName = makeScratchFolder("kv-log") + "/capture.log";
        ASSERT_TRUE(openPortOn(pair, logName.c_str()));
    }
    void TearDown() override {
        releaseLinkState();
        closeTerminalPair(pair);
    }
    // Reads frame by frame until condition holds (bounded).
    bool readUntil(const std::function<bool()>& condition) {
        return waitFor(
            [&] {
                readReplyLines();
                return condition();
            },
            std::chrono::seconds(10));
    }
    std::string log() {
        std::fflush(captureLog);
        return readFile(logName);
    }
    TerminalPair pair;
    std::string logName;
};

TEST_F(LineStream, ALineSplitOverTwoReadsIsParsedWhenItsLineFeedArrives) {
    const std::string first = "1 2 3 4 5 6 7 8 9 a b c SO\n3 4 F\n";
    writeAll(pair.master, "1 2 3 4 5 6 7 8 9 a b c SO\r\n3 4 F\r\n47 1f 30 32");
    ASSERT_TRUE(readUntil([] { return lineFill == 11; }));
    EXPECT_EQ(telemetry.rawChannels[0], 3.0f);
    EXPECT_EQ(log(), first);
    // A copy of the second line's feed still lies behind the held part in the buffer: only
    // what arrived since is searched.
    writeAll(pair.master, " 7f");
    ASSERT_TRUE(readUntil([] { return lineFill == 14; }));
    EXPECT_EQ(log(), first);
    writeAll(pair.master, " 44 40 2a 0 SOMF\r\n");
    ASSERT_TRUE(readUntil([] { return lineFill == 0; }));
    EXPECT_STREQ(telemetry.lastLine, "47 1f 30 32 7f 44 40 2a 0 SOMF");
    EXPECT_EQ(telemetry.rawChannels[7], 42.0f);
    EXPECT_EQ(log(), first + "47 1f 30 32 7f 44 40 2a 0 SOMF\n");
}

TEST_F(LineStream, EveryLineOfOneReadIsLoggedAndTheLastOneHeld) {
    writeAll(pair.master, "1 2 SO\r\n\r\n3 4 F\n5 6 SS\r\n7");
    ASSERT_TRUE(readUntil([] { return lineFill == 1; }));
    EXPECT_STREQ(telemetry.lastLine, "5 6 SS");
    EXPECT_EQ(telemetry.rawChannels[0], 5.0f);
    EXPECT_EQ(flagString(telemetry.statusFlags), "S......S.");
    EXPECT_EQ(log(), "1 2 SO\n\n3 4 F\n5 6 SS\n");
    EXPECT_TRUE(errorBoxes.empty());

    // An empty line right behind another one ends the read: it is the one held.
    writeAll(pair.master, "8 9\n\n");
    ASSERT_TRUE(readUntil([] { return lineFill == 0; }));
    EXPECT_STREQ(telemetry.lastLine, "");
    EXPECT_EQ(log(), "1 2 SO\n\n3 4 F\n5 6 SS\n78 9\n\n");
}

// The main loop's wait for its next frame ends when a whole line has come in, and only then; a
// part of a line is taken in and held.
TEST_F(LineStream, AWaitForALineEndsWhenAWholeLineIsIn) {
    writeAll(pair.master, "1 2");
    EXPECT_FALSE(awaitLine(5000)); // the part arrived, no line feed
    EXPECT_EQ(lineFill, 3);
    EXPECT_FALSE(awaitLine(1)); // nothing more
    // The wait is under way when the rest of the line comes.
    std::thread writer([&] {
        usleep(100000);
        writeAll(pair.master, " 3\r\n6"); // one line, and a part of the next
    });
    const bool arrived = awaitLine(60000);
    writer.join();
    EXPECT_TRUE(arrived);
    EXPECT_STREQ(telemetry.lastLine, "1 2 3");
    EXPECT_EQ(lineFill, 1);
    EXPECT_EQ(log(), "1 2 3\n");
}

TEST_F(LineStream, NothingIsReadWhileTheLinkIsNotRunning) {
    linkRunning = false;
    writeAll(pair.master, "1 2\r\n");
    usleep(100000);
    readReplyLines();
    EXPECT_FALSE(awaitLine(0));
    EXPECT_EQ(lineFill, 0);
    EXPECT_STREQ(telemetry.lastLine, "");
    linkRunning = true;
    ASSERT_TRUE(readUntil([] { return std::string(telemetry.lastLine) == "1 2"; }));
}

// A program started with its standard input closed gets descriptor 0 for the port.
TEST(SerialPort, APortOnDescriptorZeroIsAPortLikeAnyOther) {
    resetLinkState();
    TerminalPair pair = openTerminalPair();
    const int input = dup(0);
    close(0);
    ASSERT_TRUE(openPortOn(pair));
    EXPECT_EQ(portHandle, 0);
    EXPECT_FALSE(isPortClosed());
    writeAll(pair.master, "3 4\r\n");
    EXPECT_TRUE(waitFor(
        [] {
            readReplyLines();
            return std::string(telemetry.lastLine) == "3 4";
        },
        std::chrono::seconds(10)));
    closePort();
    EXPECT_TRUE(isPortClosed());
    EXPECT_EQ(fcntl(0, F_GETFD), -1) << "descriptor 0 closed with the port";
    dup2(input, 0);
    close(input);
    releaseLinkState();
    closeTerminalPair(pair);
}

// The texts of the errors the system reports: a missing device in words of its own, any other
// code in the system's words, and a code the system has no words for by its number.
TEST(SerialPort, SystemErrorsAreReportedInTheSystemsWords) {
    const struct {
        int code;
        const char* text;
    } cases[] = {{ENOENT, "The selected COM port could not be opened"},
                 {EIO, "Input/output error"},
                 {4242, "Unknown error 4242"}};
    for (const auto& c : cases) {
        resetLinkState();
        errno = c.code;
        reportSystemError();
        EXPECT_EQ(errorBoxes, std::vector<std::string>{c.text});
        releaseLinkState();
    }
}

TEST_F(LineStream, ANulInsideALineReachesTheLogWhole) {
    writeAll(pair.master, std::string("12 34\0 56 % bytes\r\n", 19));
    ASSERT_TRUE(readUntil([] { return std::string(telemetry.lastLine) == "12 34"; }));
    EXPECT_EQ(log(), std::string("12 34\0 56 % bytes\n", 18));
    EXPECT_EQ(telemetry.rawChannels[1], 52.0f);
    EXPECT_EQ(telemetry.rawChannels[2], 0.0f);
}

TEST_F(LineStream, ALineOf1023BytesWithoutLineFeedWaitsForMore) {
    writeAll(pair.master, std::string(1023, 'a'));
    ASSERT_TRUE(readUntil([] { return lineFill == 1023; }));
    EXPECT_FALSE(isPortClosed());
    EXPECT_TRUE(errorBoxes.empty());
    writeAll(pair.master, "\n");
    ASSERT_TRUE(readUntil([] { return lineFill == 0; }));
    EXPECT_EQ(std::string(telemetry.lastLine).size(), 1023u);
    EXPECT_EQ(log(), std::string(1023, 'a') + "\n");
}

TEST_F(LineStream, ALineOf1024BytesWithoutLineFeedStopsTheLink) {
    // Held bytes first, then more than the buffer has room for: a read takes only the room left.
    writeAll(pair.master, std::string(10, 'b'));
    ASSERT_TRUE(readUntil([] { return lineFill == 10; }));
    writeAll(pair.master, std::string(2000, 'b'));
    ASSERT_TRUE(readUntil([] { return !errorBoxes.empty(); }));
    EXPECT_EQ(errorBoxes, std::vector<std::string>{"Did not find end of line"});
    EXPECT_TRUE(isPortClosed());
    EXPECT_EQ(captureLog, nullptr);
    EXPECT_FALSE(linkRunning);
    EXPECT_EQ(lineFill, 1024);
    // A read after the close fails like any other, and is reported the same way.
    char byte;
    EXPECT_EQ(readBytes(&byte, 1), 0);
    EXPECT_EQ(errorBoxes,
              (std::vector<std::string>{"Did not find end of line", "Bad file descriptor"}));
}
} // namespace
