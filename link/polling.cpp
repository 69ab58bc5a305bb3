#include "link/polling.h"

#include "dashboard/frame.h"
#include "shell/app.h"

namespace {
constexpr int vkEscape = 0x1B;
constexpr int vkF1 = 0x70;
} // namespace

bool updateLink(uint32_t /*elapsedMs*/) {
    int32_t* keys = dashboardKeys;
    if (keys[vkEscape] != 0) {
        requestQuit(*dashboardWindow);
        keys[vkEscape] = 0;
    }
    if (keys[vkF1] != 0) {
        requestFullScreenToggle(*dashboardWindow);
        keys[vkF1] = 0;
    }
    return false;
}
