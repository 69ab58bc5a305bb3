#include "platform/capture_folder.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

void captureLogName(std::time_t now, char* name, std::size_t size) {
    // The name carries the time as the 32-bit value the format has always used.
    const int32_t seconds = static_cast<int32_t>(static_cast<uint32_t>(now));
    std::snprintf(name, size, "%s%ckestro_original_%d.log", captureFolder(), pathSeparator(),
                  seconds);
}

void tripLogName(const char* logName, char* name, std::size_t size) {
    const char* const prefix = "kestro_original_";
    const char* found = std::strstr(logName, prefix);
    std::size_t length = std::strlen(logName);
    if (length >= 4 && std::strcmp(logName + length - 4, ".log") == 0) {
        length -= 4;
    }
    if (found == nullptr) {
        std::snprintf(name, size, "%.*s.csv", static_cast<int>(length), logName);
        return;
    }
    const int head = static_cast<int>(found - logName);
    const char* tail = found + std::strlen(prefix);
    std::snprintf(name, size, "%.*skestro_trip_%.*s.csv", head, logName,
                  static_cast<int>(logName + length - tail), tail);
}
