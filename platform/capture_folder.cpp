#include "platform/capture_folder.h"

#include <cstdint>
#include <cstdio>

const char* captureFolder() {
    return "/var/tmp";
}

namespace {
// Names carry the time as the 32-bit value the capture log's name has always used.
int32_t nameSeconds(std::time_t now) {
    return static_cast<int32_t>(static_cast<uint32_t>(now));
}
} // namespace

void captureLogName(std::time_t now, char* name, std::size_t size) {
    std::snprintf(name, size, "%s/kestro_original_%d.log", captureFolder(), nameSeconds(now));
}

void tripLogName(std::time_t now, char* name, std::size_t size) {
    std::snprintf(name, size, "%s/kestro_trip_%d.csv", captureFolder(), nameSeconds(now));
}
