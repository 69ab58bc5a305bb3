// Arial from the Windows directory's Fonts folder; where a system has none (Wine has no Arial),
// the metric-compatible Liberation Sans the installer puts in the program's own fonts folder.
#include "platform/font_lookup.h"

#include <cstdio>
#include <cstring>
#include <windows.h>

namespace {
bool isFile(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The program's own fonts folder's face, when there is one.
bool fallbackFont(bool bold, char* path, std::size_t size) {
    char program[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, program, sizeof program);
    if (length == 0 || length >= sizeof program) {
        return false;
    }
    char* folderEnd = std::strrchr(program, '\\');
    if (folderEnd == nullptr) {
        return false;
    }
    *folderEnd = '\0';
    char fallback[MAX_PATH + 64];
    std::snprintf(fallback, sizeof fallback, "%s\\fonts\\LiberationSans-%s.ttf", program,
                  bold ? "Bold" : "Regular");
    if (!isFile(fallback)) {
        return false;
    }
    std::snprintf(path, size, "%s", fallback);
    return true;
}
} // namespace

bool findFontFile(const char* pattern, char* path, std::size_t size) {
    char windows[1024];
    if (GetWindowsDirectoryA(windows, sizeof windows) == 0) {
        return false;
    }
    const bool bold = std::strstr(pattern, ":bold") != nullptr;
    std::snprintf(path, size, bold ? "%s\\Fonts\\arialbd.ttf" : "%s\\Fonts\\arial.ttf", windows);
    if (!isFile(path)) {
        fallbackFont(bold, path, size); // else the font's builder says which file is missing
    }
    return true;
}
