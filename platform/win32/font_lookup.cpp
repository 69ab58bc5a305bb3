#include "platform/font_lookup.h"

#include <cstdio>
#include <cstring>
#include <windows.h>

bool findFontFile(const char* pattern, char* path, std::size_t size) {
    char windows[1024];
    if (GetWindowsDirectoryA(windows, sizeof windows) == 0) {
        return false;
    }
    const bool bold = std::strstr(pattern, ":bold") != nullptr;
    std::snprintf(path, size, bold ? "%s\\Fonts\\arialbd.ttf" : "%s\\Fonts\\arial.ttf", windows);
    return true;
}
