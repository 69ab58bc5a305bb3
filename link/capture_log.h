// The capture log: every line received while the link runs, one file per start of the link
// (named by captureLogName of platform/capture_folder.h). The link's session opens it with the
// port and closes it with the port (link_session.h).
#pragma once
#include <cstddef>
#include <cstdio>

#include "platform/own_file.h"

extern std::FILE* captureLog;     // open capture log, or nullptr
extern char captureLogPath[4096]; // the name of the capture log last made, "" when none

// Creates the capture log under logName, never over an existing file: when that name is taken
// (another instance started in the same second, or a clock that came back to an earlier time)
// the log is "<name without .log>_2.log", "_3" and so on (createOwnFile); a name that is a
// device or a pipe is opened as it is. A log that cannot be created is silent: captureLog stays
// nullptr and captureLogPath empty. Otherwise captureLogPath holds the name used.
void openCaptureLog(const char* logName);

// Closes the capture log; safe when none is open. captureLogPath keeps the name.
void closeCaptureLog();

// Writes text verbatim to the open capture log (never as a format); nothing when none is open.
void logText(const char* text);

// Writes length bytes verbatim, NULs included, to the open capture log.
void logBytes(const char* bytes, std::size_t length);
