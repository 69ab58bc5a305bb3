// The byte transport of the controller link: a serial device opened exclusively, raw 9600 8N1,
// reads that never wait, writes bounded by 100 ms + 100 ms per byte. Every failure shows its text
// in the "Error" box and first closes the port and the capture log.
#pragma once
#include <cstddef>
#include <cstdio>
#include <sys/types.h>
#include <termios.h>

// Link state shared with the protocol and the capture log.
extern int portHandle;            // file descriptor of the open port, -1 when none
extern std::FILE* captureLog;     // open capture log, or nullptr
extern char captureLogPath[4096]; // the name of the capture log last made, "" when none

// Opens and configures the device at portName, then creates the capture log under logName (or
// beside it when taken: createCaptureLog); a log that cannot be created is silent. False when the
// port could not be opened or configured (errno tells why; the caller reports it). The device is
// held exclusively until closePort, or the end of the program, which gives it back without
// stopping the link.
bool openPort(const char* portName, const char* logName);

// Closes the port (giving back the exclusive mode it took) and the capture log; safe when nothing
// is open.
void closePort();

// Sends text (without its NUL) with one bounded write. Reports failures; returns the count sent.
int writeText(const char* text);

// One read of at most maxCount bytes that never waits; 0 when nothing has arrived. A failure
// (end of file or an error: the device went away) is reported and reads as 0.
int readBytes(char* buffer, int maxCount);

bool isPortClosed();

// closePort, then the "Error" box with text.
void showLinkError(const char* text);

// showLinkError with "The selected COM port could not be opened" for a missing device, else the
// system's text for errno ("Unknown error N" when it has none).
void reportSystemError();

// reportSystemError for a failed openPort of portName; when the device exists but the user may
// not open it, one more sentence names the device and the group that owns it.
void reportOpenFailure(const char* portName);

// The one seam for faults a real port cannot produce on demand (a write that stalls half way,
// line settings the driver refuses): tests may replace the write call and the call that applies
// the line settings; nullptr restores the system's.
using PortWriteFunction = ssize_t (*)(int fd, const void* bytes, std::size_t count);
void setPortWriteFunction(PortWriteFunction write);
using PortSettingsFunction = int (*)(int fd, int when, const termios* line);
void setPortSettingsFunction(PortSettingsFunction apply);
