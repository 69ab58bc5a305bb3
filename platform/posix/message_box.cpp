#include "platform/message_box.h"
#include "platform/posix/desktop_error_box.h"

namespace {
ErrorBoxHook desktopErrorBox = nullptr;
} // namespace

void setDesktopErrorBox(ErrorBoxHook box) {
    desktopErrorBox = box;
}

void presentErrorBox(const char* text) {
    if (desktopErrorBox != nullptr) {
        desktopErrorBox(text);
    }
}
