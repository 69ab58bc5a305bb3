// The controller's start and stop sequences, and cutting the received stream into lines that are
// logged and parsed in place in lineBuffer, without allocating.
#include "link/controller_protocol.h"

#include <cstdio>
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
// A controller that never falls quiet must not hold the link for ever: after this many rounds
// that were not quiet the drain gives up and the sequence goes on.
constexpr int maxDrainRounds = 10;

// A sequence is a list of writes and drains, run as far as it can go without waiting each time
// the link is advanced; a drain's half second of quiet is waited out between frames.
struct Action {
    const char* text; // written; nullptr for a drain
};
constexpr Action drain{nullptr};
constexpr Action stopBytes{" \x1b\x1b"};
// The stop sequence first (a controller left streaming by an earlier run falls quiet), then the
// start sequence: no drain follows "Q4", whose answer is the stream.
constexpr Action startActions[] = {stopBytes, drain, drain, {"p\r\n"}, drain, {"Q4\r\n"}};
constexpr Action stopActions[] = {stopBytes, drain};

struct Sequence {
    const Action* actions = nullptr;
    int count = 0;
    int next = 0;
    bool quietWait = false; // the drain at next waits until quietAt
    uint32_t quietAt = 0;
    int round = 0; // drain rounds that were not quiet
};
Sequence sequence;
char startLogName[256]; // the capture log of the start in progress, made once it has run
uint32_t startTick;     // when it began: the trip log's times count from there
bool startAfterStop;    // S came during a stop: start once it is through
char portName[256];     // the device of the last start, tried again by a reconnect

template <int Count> void beginSequence(const Action (&actions)[Count]) {
    sequence = Sequence{};
    sequence.actions = actions;
    sequence.count = Count;
}

// Reads whatever has come, all of it, and throws it away. False when the port closed meanwhile.
bool discardInput() {
    char scratch[1024];
    while (!isPortClosed() && readBytes(scratch, sizeof scratch) > 0) {
    }
    return !isPortClosed();
}

// Runs the sequence from where it stands until it must wait or has ended. True when it ended,
// run through or cut short by the port closing (an error, which has been dealt with).
bool runSequence() {
    while (sequence.next < sequence.count) {
        if (isPortClosed()) {
            return true;
        }
        const Action& action = sequence.actions[sequence.next];
        if (action.text != nullptr) {
            writeText(action.text);
            ++sequence.next;
            continue;
        }
        if (!sequence.quietWait) {
            if (!discardInput()) {
                return true;
            }
            sequence.quietWait = true;
            sequence.quietAt = tickCount() + quietMs;
        }
        if (static_cast<int32_t>(tickCount() - sequence.quietAt) < 0) {
            return false;
        }
        char scratch[1024];
        const bool quiet = readBytes(scratch, sizeof scratch) == 0;
        sequence.quietWait = false;
        if (quiet || ++sequence.round >= maxDrainRounds) {
            ++sequence.next;
            sequence.round = 0;
        }
    }
    return true;
}

void finishStart() {
    linkStep = LinkStep::none;
    linkStatusText[0] = '\0';
    if (!isPortClosed()) {
        openLogs(startLogName, startTick);
        linkRunning = true;
    }
}

void finishStop() {
    linkStep = LinkStep::none;
    linkStatusText[0] = '\0';
    closePort();
    if (startAfterStop) {
        startAfterStop = false;
        beginStart();
    }
}

// The port is open: the start sequence goes on from the next frames, its logs named now.
void beginStartSequence() {
    captureLogName(std::time(nullptr), startLogName, sizeof startLogName);
    startTick = tickCount();
    // A partial line from an earlier run would be glued to this run's first line.
    lineFill = 0;
    linkStep = LinkStep::starting;
    std::snprintf(linkStatusText, sizeof linkStatusText, "%s", "Starting the link...");
    beginSequence(startActions);
    advanceLink();
}

void tryReconnect() {
    const uint32_t now = tickCount();
    if (static_cast<int32_t>(now - reconnectDueTick) < 0) {
        return;
    }
    if (!openDevice(portName)) {
        closeDevice(); // held only to report why, and nobody is told while it is away
        reconnectDueTick = now + reconnectEveryMs;
        return;
    }
    beginStartSequence();
}

// Runs the start or stop in progress to its end, sleeping through its quiet times.
void runToEnd() {
    while (linkStep == LinkStep::starting || linkStep == LinkStep::stopping) {
        advanceLink();
        if ((linkStep == LinkStep::starting || linkStep == LinkStep::stopping) &&
            sequence.quietWait) {
            const int32_t left = static_cast<int32_t>(sequence.quietAt - tickCount());
            if (left > 0) {
                sleepMs(static_cast<uint32_t>(left));
            }
        }
    }
}
} // namespace

void beginStart() {
    comDevicePath(settings.comPort, portName, sizeof portName);
    // The logs are made when the start has run: a start cut short leaves none behind.
    if (!openPort(portName, nullptr)) {
        reportOpenFailure(portName);
        return;
    }
    beginStartSequence();
}

void beginStop() {
    startAfterStop = false;
    linkRunning = false;
    linkStep = LinkStep::stopping;
    std::snprintf(linkStatusText, sizeof linkStatusText, "%s", "Stopping the link...");
    beginSequence(stopActions);
    advanceLink();
}

void advanceLink() {
    switch (linkStep) {
    case LinkStep::starting:
        if (runSequence() && linkStep == LinkStep::starting) {
            finishStart();
        }
        break;
    case LinkStep::stopping:
        if (runSequence() && linkStep == LinkStep::stopping) {
            finishStop();
        }
        break;
    case LinkStep::reconnecting:
        tryReconnect();
        break;
    case LinkStep::none:
        break;
    }
}

void startLink() {
    beginStart();
    runToEnd();
}

void stopLink() {
    beginStop();
    runToEnd();
}

void toggleLink() {
    switch (linkStep) {
    case LinkStep::starting: // a start cut short still leaves the controller quiet
        beginStop();
        break;
    case LinkStep::stopping: // the stop goes on; a start follows it, unless S comes again
        startAfterStop = !startAfterStop;
        break;
    case LinkStep::reconnecting:
        linkStep = LinkStep::none;
        linkStatusText[0] = '\0';
        break;
    case LinkStep::none:
        if (linkRunning) {
            beginStop();
        } else {
            beginStart();
        }
        break;
    }
}

int readReplyLines() {
    if (isPortClosed() || !linkRunning) {
        return 0;
    }
    int lines = 0;
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
            return lines;
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
        ++lines;

        const int rest = end - feed - 1;
        std::memmove(lineBuffer, lineBuffer + feed + 1, static_cast<size_t>(rest));
        scan = 0;
        end = rest;
    }
}
