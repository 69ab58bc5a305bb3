#include "platform/message_box.h"

#include <windows.h>

void presentErrorBox(const char* text) {
    // No owner window: the box stands on its own, above the others, while the loop waits.
    MessageBoxA(nullptr, text, "Error", MB_OK | MB_ICONWARNING | MB_TOPMOST);
}
