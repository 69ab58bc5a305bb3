// The received stream cut into lines: arbitrary bytes, delivered in arbitrary read sizes through a
// pipe standing in for the port, optionally ended by the far end hanging up. Every complete line
// must reach the capture log byte for byte and in order, the latest one must be held, and a line
// of 1024 bytes or more without its line feed must stop the link with one message.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "link/capture_log.h"
#include "link/controller_protocol.h"
#include "link/link_session.h"
#include "link/serial_port.h"
#include "platform/message_box.h"

namespace {
std::vector<std::string> boxes;

void captureBox(const char* text) {
    boxes.emplace_back(text);
}

struct Expected {
    std::string log;
    std::string lastLine; // up to its first NUL
    bool overlong = false;
};

// What the link must make of the bytes, worked out on the whole stream at once.
Expected expectedOf(const std::string& stream) {
    Expected e;
    std::size_t start = 0;
    for (;;) {
        const std::size_t feed = stream.find('\n', start);
        const std::size_t end = feed == std::string::npos ? stream.size() : feed;
        if (end - start >= sizeof lineBuffer) {
            e.overlong = true;
            return e;
        }
        if (feed == std::string::npos) {
            return e;
        }
        std::string line = stream.substr(start, feed - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        e.log += line + "\n";
        e.lastLine = line.substr(0, line.find('\0'));
        start = feed + 1;
    }
}

void fail(const char* what) {
    std::fprintf(stderr, "reply_lines_fuzz: %s\n", what);
    std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const bool hangUp = input.ConsumeBool();

    int ends[2];
    if (pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0) {
        fail("no pipe");
    }
    char* logText = nullptr;
    std::size_t logSize = 0;
    portHandle = ends[0];
    captureLog = open_memstream(&logText, &logSize);
    linkRunning = true;
    lineFill = 0;
    telemetry = Telemetry{};
    boxes.clear();
    setErrorBoxHook(captureBox);

    std::string stream;
    int writeEnd = ends[1];
    while (input.remaining_bytes() > 0 && linkRunning) {
        const std::size_t chunk = input.ConsumeIntegralInRange<std::size_t>(1, 1100);
        const std::string bytes = input.ConsumeBytesAsString(chunk);
        if (write(writeEnd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
            fail("short write into the pipe");
        }
        stream += bytes;
        readReplyLines(); // one read of whatever has arrived, at most the space left
    }
    // Whatever is still in the pipe is read, frame after frame, as the dashboard would.
    for (int round = 0; linkRunning && round < 1000; ++round) {
        readReplyLines();
    }
    if (hangUp) {
        close(writeEnd);
        writeEnd = -1;
        readReplyLines();
    }

    // The port's memory stream only holds its text until it is closed; read it first.
    if (captureLog != nullptr) {
        std::fflush(captureLog);
    }
    const std::string logged(logText != nullptr ? logText : "", logSize);
    const Expected expected = expectedOf(stream);
    if (logged != expected.log) {
        fail("the capture log is not the received lines");
    }
    if (expected.lastLine != telemetry.lastLine) {
        fail("the latest line is not held");
    }
    std::vector<std::string> boxesExpected;
    if (expected.overlong) {
        boxesExpected.emplace_back("Did not find end of line");
    } else if (hangUp) {
        boxesExpected.emplace_back("Input/output error");
    }
    if (boxes != boxesExpected) {
        fail("wrong messages");
    }
    if (linkRunning == (expected.overlong || hangUp)) {
        fail("the link state does not follow the faults");
    }

    closePort();
    linkRunning = false;
    if (writeEnd >= 0) {
        close(writeEnd);
    }
    std::free(logText);
    setErrorBoxHook(nullptr);
    return 0;
}
