#include "platform/capture_folder.h"

#include <cstdio>
#include <shlobj.h>
#include <windows.h>

namespace {
bool isFolder(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Asked once: the folder of the first start holds every log of the run.
const char* chooseFolder() {
    static char folder[MAX_PATH + 16] = "C:\\TEMP";
    if (isFolder(folder)) {
        return folder;
    }
    char appData[MAX_PATH];
    if (SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, appData) !=
        S_OK) {
        return folder; // nowhere better: the log's open fails silently, as in a missing C:\TEMP
    }
    std::snprintf(folder, sizeof folder, "%s\\KestroView", appData);
    CreateDirectoryA(folder, nullptr); // fails harmlessly when it exists
    return folder;
}
} // namespace

const char* captureFolder() {
    static const char* const folder = chooseFolder();
    return folder;
}

char pathSeparator() {
    return '\\';
}
