// Every write is flushed at once: a crash or a power cut then loses at most the line being
// written, and the record of a drive is what someone reads after something went wrong.
#include "link/capture_log.h"

#include <cstring>

#include "link/serial_port.h"

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
