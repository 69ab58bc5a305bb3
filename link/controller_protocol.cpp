// The controller's start and stop sequences, and cutting the received stream into lines that are
// logged and parsed in place in lineBuffer, without allocating.
#include "link/controller_protocol.h"

#include <cstring>
#include <ctime>

#include "link/capture_log.h"
#include "link/serial_port.h"
#include "link/trip_log.h"
#include "platform/capture_folder.h"
#include "platform/clock.h"
#include "platform/com_device.h"
#include "shell/settings.h"

char lineBuffer[1024];
int32_t lineFill; // emptied by every start

namespace {
constexpr uint32_t quietMs = 500;
// A controller that never falls quiet must not hold the program for ever: after this many
// rounds that were not quiet the drain gives up and the sequence goes on.
constexpr int maxDrainRounds = 10;

// Discards what the controller says until it has been quiet for 500 ms (or the port closed).
void drainInput() {
    char scratch[1024];
    for (int round = 0; round < maxDrainRounds; ++round) {
        while (!isPortClosed() && readBytes(scratch, sizeof scratch) > 0) {
        }
        if (isPortClosed()) {
            return;
        }
        sleepMs(quietMs);
        if (readBytes(scratch, sizeof scratch) == 0) {
            return;
        }
    }
}

// Once the port has closed inside a sequence the rest of it is skipped: one fault, one message.
void sendStopSequence() {
    if (isPortClosed()) {
        return;
    }
    writeText(" \x1b\x1b");
    if (!isPortClosed()) {
        drainInput();
    }
}

void sendStartSequence() {
    const char* const commands[] = {"p\r\n", "Q4\r\n"};
    for (const char* command : commands) {
        if (isPortClosed()) {
            return;
        }
        drainInput();
        if (isPortClosed()) {
            return;
        }
        writeText(command);
    }
}
} // namespace

void startLink() {
    char logName[256];
    captureLogName(std::time(nullptr), logName, sizeof logName);
    char portName[256];
    comDevicePath(settings.comPort, portName, sizeof portName);
    if (!openPort(portName, logName)) {
        reportOpenFailure(portName);
        return;
    }
    // A partial line from an earlier run would be glued to this run's first line.
    lineFill = 0;
    sendStopSequence();
    sendStartSequence();
    if (!isPortClosed()) {
        linkRunning = true;
    }
}

void stopLink() {
    linkRunning = false;
    sendStopSequence();
    closePort();
}

void toggleLink() {
    if (linkRunning) {
        stopLink();
    } else {
        startLink();
    }
}

void readReplyLines() {
    if (isPortClosed() || !linkRunning) {
        return;
    }
    int scan = lineFill;
    int end =
        lineFill + readBytes(lineBuffer + lineFill, static_cast<int>(sizeof lineBuffer) - lineFill);
    for (;;) {
        const void* found = std::memchr(lineBuffer + scan, '\n', static_cast<size_t>(end - scan));
        if (found == nullptr) {
            lineFill = end;
            if (lineFill == static_cast<int>(sizeof lineBuffer)) {
                showLinkError("Did not find end of line");
            }
            return;
        }
        const int feed = static_cast<int>(static_cast<const char*>(found) - lineBuffer);
        int length = feed;
        lineBuffer[feed] = '\0';
        if (feed > 0 && lineBuffer[feed - 1] == '\r') {
            lineBuffer[feed - 1] = '\0';
            length = feed - 1;
        }
        // Every byte goes to the log, a NUL inside the line included; the parse and lastLine
        // see the text up to the first NUL.
        logBytes(lineBuffer, static_cast<size_t>(length));
        logText("\n");
        const size_t textLength = strnlen(lineBuffer, static_cast<size_t>(length));
        std::memcpy(telemetry.lastLine, lineBuffer, textLength);
        telemetry.lastLine[textLength] = '\0';
        parseReplyLine(lineBuffer);
        writeTripRow(tickCount());

        const int rest = end - feed - 1;
        std::memmove(lineBuffer, lineBuffer + feed + 1, static_cast<size_t>(rest));
        scan = 0;
        end = rest;
    }
}
