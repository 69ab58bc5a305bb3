// The port's failures come back to this file as results, and every one of them ends in
// showLinkError: the port itself never decides what the link does about them.
#include "link/link_session.h"

#include <climits>
#include <cstring>
#include <sys/stat.h>

#include "link/capture_log.h"
#include "link/serial_port.h"
#include "link/trip_log.h"
#include "platform/capture_folder.h"
#include "platform/clock.h"
#include "platform/message_box.h"

bool linkRunning = false;

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
    showLinkError(text);
}
} // namespace

bool openPort(const char* portName, const char* logName) {
    if (!openDevice(portName)) {
        return false;
    }
    openCaptureLog(logName);
    if (captureLogIsFile()) {
        char tripName[4096];
        tripLogName(captureLogPath, tripName, sizeof tripName);
        openTripLog(tripName, tickCount());
    }
    return true;
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
    if (sent.count != length) {
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

void reportSystemError() {
    reportPortError(lastDeviceError());
}

void reportOpenFailure(const char* portName) {
    const int code = lastDeviceError();
    char text[1024 + PATH_MAX];
    openFailureText(code, portName, text, sizeof text);
    showLinkError(text);
}
