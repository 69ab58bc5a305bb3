// The capture log: every line received while the link runs, one file per start of the link
// (named by captureLogName of platform/capture_folder.h). The file itself is opened and closed
// with the port (serial_port.h).
#pragma once
#include <cstddef>
#include <cstdio>

// Creates the capture log under logName, never over an existing file: when that name is taken
// (another instance started in the same second, or a clock that came back to an earlier time)
// the log is "<name without .log>_2.log", "_3" and so on (createOwnFile); a name that is a
// device or a pipe is opened as it is. nullptr when none can be created.
// The name used is written to chosen.
std::FILE* createCaptureLog(const char* logName, char* chosen, std::size_t chosenSize);

// Creates the file name for writing, never over an existing one (nullptr with errno EEXIST), and
// readable by its owner alone: the logs' folder is shared by every user of the machine, and a
// drive's record is nobody else's business.
std::FILE* createOwnFile(const char* name);

// Writes text verbatim to the open capture log (never as a format); nothing when none is open.
void logText(const char* text);

// Writes length bytes verbatim, NULs included, to the open capture log.
void logBytes(const char* bytes, std::size_t length);
