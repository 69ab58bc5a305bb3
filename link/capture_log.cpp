// Every write is flushed at once: a crash or a power cut then loses at most the line being
// written, and the record of a drive is what someone reads after something went wrong.
#include "link/capture_log.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

std::FILE* captureLog = nullptr;
char captureLogPath[4096];

void logBytes(const char* bytes, std::size_t length) {
    if (captureLog == nullptr) {
        return;
    }
    // Write errors are ignored: the log must never stop the link.
    std::fwrite(bytes, 1, length, captureLog);
    std::fflush(captureLog);
}

void logText(const char* text) {
    logBytes(text, std::strlen(text));
}

namespace {
std::FILE* createCaptureLog(const char* logName, char* chosen, std::size_t chosenSize) {
    std::snprintf(chosen, chosenSize, "%s", logName);
    // The open fails on an existing file instead of emptying another drive's record.
    std::FILE* file = createOwnFile(logName);
    if (file != nullptr || errno != EEXIST) {
        return file;
    }
    struct stat existing;
    if (stat(logName, &existing) == 0 && !S_ISREG(existing.st_mode)) {
        // A device or a pipe holds no record to keep: opened as it is, its mode left alone.
        return std::fopen(logName, "wb");
    }
    const std::size_t length = std::strlen(logName);
    const std::size_t stem =
        length >= 4 && std::strcmp(logName + length - 4, ".log") == 0 ? length - 4 : length;
    for (int n = 2; n < 1000; ++n) {
        char name[4096];
        std::snprintf(name, sizeof name, "%.*s_%d.log", static_cast<int>(stem), logName, n);
        file = createOwnFile(name);
        if (file != nullptr || errno != EEXIST) {
            std::snprintf(chosen, chosenSize, "%s", name);
            return file;
        }
    }
    return nullptr;
}
} // namespace

void openCaptureLog(const char* logName) {
    closeCaptureLog();
    captureLog = createCaptureLog(logName, captureLogPath, sizeof captureLogPath);
    if (captureLog == nullptr) {
        captureLogPath[0] = '\0'; // the name of no log of ours
    }
}

void closeCaptureLog() {
    if (captureLog != nullptr) {
        std::fclose(captureLog);
        captureLog = nullptr;
    }
}
