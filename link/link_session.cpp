// The port's failures come back to this file as results, and every one of them ends in
// showLinkError: the port itself never decides what the link does about them.
#include "link/link_session.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

#include "link/capture_log.h"
#include "link/serial_port.h"
#include "link/trip_log.h"
#include "platform/capture_folder.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "shell/program_flags.h"

bool linkRunning = false;
LinkStep linkStep = LinkStep::none;
char linkStatusText[256];
uint32_t reconnectDueTick;

namespace {
// A trip log goes beside a capture log file only: a device or a pipe given as the log has no
// folder of records to put it in.
bool captureLogIsFile() {
    struct stat info;
    return captureLog != nullptr && fstat(fileno(captureLog), &info) == 0 && S_ISREG(info.st_mode);
}

void reportPortError(int code) {
    char text[1024];
    portErrorText(code, text, sizeof text);
    linkLost(text);
}
} // namespace

bool openPort(const char* portName, const char* logName) {
    if (!openDevice(portName)) {
        return false;
    }
    if (logName != nullptr) {
        openLogs(logName, tickCount());
    }
    return true;
}

void openLogs(const char* logName, uint32_t startTick) {
    openCaptureLog(logName);
    if (captureLogIsFile()) {
        char tripName[4096];
        tripLogName(captureLogPath, tripName, sizeof tripName);
        openTripLog(tripName, startTick);
    }
}

void closePort() {
    closeDevice();
    closeCaptureLog();
    closeTripLog();
}

int writeText(const char* text) {
    const int length = static_cast<int>(std::strlen(text));
    const PortTransfer sent = writeDevice(text, length);
    if (sent.error != 0) {
        reportPortError(sent.error);
    }
    // A device that vanished is already being tried again: the short count is no news.
    if (sent.count != length && linkStep != LinkStep::reconnecting) {
        showLinkError("Did not write all data");
    }
    return sent.count;
}

int readBytes(char* buffer, int maxCount) {
    const PortTransfer received = readDevice(buffer, maxCount);
    if (received.error != 0) {
        reportPortError(received.error);
    }
    return received.count;
}

void showLinkError(const char* text) {
    closePort();
    // A link without its port is stopped: totals must not grow from stale values, and the
    // dashboard offers the start key again.
    linkRunning = false;
    showErrorBox(text);
}

void linkLost(const char* text) {
    if (reconnectMode == 0 || linkStep == LinkStep::stopping) {
        showLinkError(text);
        return;
    }
    closePort();
    linkRunning = false;
    linkStep = LinkStep::reconnecting;
    reconnectDueTick = tickCount() + reconnectEveryMs;
    std::snprintf(linkStatusText, sizeof linkStatusText, "%.200s - reconnecting", text);
}

void reportSystemError() {
    reportPortError(lastDeviceError());
}

void reportOpenFailure(const char* portName) {
    const int code = lastDeviceError();
    char text[1024 + PATH_MAX];
    openFailureText(code, portName, text, sizeof text);
    showLinkError(text);
}
