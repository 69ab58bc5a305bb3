#include "platform/capture_folder.h"

#include <cstdint>
#include <cstdio>

const char* captureFolder() {
    return "/var/tmp";
}

void captureLogName(std::time_t now, char* name, std::size_t size) {
    // The name carries the time as the 32-bit value the format has always used.
    const int32_t seconds = static_cast<int32_t>(static_cast<uint32_t>(now));
    std::snprintf(name, size, "%s/kestro_original_%d.log", captureFolder(), seconds);
}
