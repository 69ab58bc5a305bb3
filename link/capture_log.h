// The capture log: every line received while the link runs, one file per start of the link
// (named by captureLogName of platform/capture_folder.h). The file itself is opened and closed
// with the port (serial_port.h).
#pragma once
#include <cstddef>

// Writes text verbatim to the open capture log (never as a format); nothing when none is open.
void logText(const char* text);

// Writes length bytes verbatim, NULs included, to the open capture log.
void logBytes(const char* bytes, std::size_t length);
