// The keys are read from the state the window keeps and cleared once acted on, so one key-down
// acts once; a held key acts again only when auto-repeat delivers another key-down.
#include "link/polling.h"

#include "dashboard/frame.h"
#include "link/controller_protocol.h"
#include "link/quantities.h"
#include "link/serial_port.h"
#include "shell/app.h"

namespace {
constexpr int vkEscape = 0x1B;
constexpr int vkF1 = 0x70;
constexpr int vkS = 0x53;
} // namespace

bool awaitLine(int timeoutMs) {
    if (!linkRunning) {
        return false;
    }
    if (!waitDeviceInput(timeoutMs)) {
        return false;
    }
    return readReplyLines() > 0 || !linkRunning;
}

bool updateLink(uint32_t elapsedMs) {
    int32_t* keys = dashboardKeys;
    if (keys[vkEscape] != 0) {
        requestQuit(*dashboardWindow);
        keys[vkEscape] = 0;
    }
    if (keys[vkF1] != 0) {
        requestFullScreenToggle(*dashboardWindow);
        keys[vkF1] = 0;
    }
    if (keys[vkS] != 0) {
        keys[vkS] = 0;
        toggleLink();
    }
    advanceLink();
    if (!linkRunning) {
        // A start or stop in progress, or a device being tried again, keeps frames coming: the
        // quiet times and the retries are waited out between them, and the dashboard says
        // what the link is doing.
        return linkStep != LinkStep::none;
    }
    readReplyLines();
    if (!linkRunning) {
        // The read failed: the port is closed and its last values are stale; a reconnect
        // keeps the frames coming.
        return linkStep != LinkStep::none;
    }
    accumulateFrame(elapsedMs);
    return true;
}
