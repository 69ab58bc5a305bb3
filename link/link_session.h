// The link's session: the serial port with the capture log and the trip log, which are opened
// with it and closed with it, and the one answer to every error of the link: close all three,
// stop the link, show the "Error" box. The protocol reads and writes the port only through
// writeText and readBytes, so no failure of the port goes unanswered.
#pragma once

#include <cstdint>

// Set by startLink once the start sequence has been sent; cleared by stopLink and by every error.
extern bool linkRunning;

// What the link is doing between frames besides streaming: a start or a stop runs as steps across
// frames, and with the "reconnect" word a vanished device is tried again about once a second.
enum class LinkStep : uint8_t { none, starting, stopping, reconnecting };
extern LinkStep linkStep;

// What the dashboard says about the link under the start hint; "" when there is nothing to say.
extern char linkStatusText[256];

// When the next try to open a vanished device is due (tick), while reconnecting; the tries come
// this often.
extern uint32_t reconnectDueTick;
constexpr uint32_t reconnectEveryMs = 1000;

// Opens and configures the device at portName, then, unless logName is nullptr, the logs
// (openLogs). False when the port could not be opened or configured (lastDeviceError tells
// why; the caller reports it with reportOpenFailure, which gives the device back).
bool openPort(const char* portName, const char* logName);

// Creates the capture log under logName (or beside it when taken) and, when that is a file, the
// trip log beside it, its times counted from startTick; a log that cannot be created is silent.
void openLogs(const char* logName, uint32_t startTick);

// Closes the port (giving back the exclusive mode it took) and both logs; safe when nothing is
// open.
void closePort();

// Sends text (without its NUL) with one bounded write. A write that fails shows the system's
// text; one that sent less than all (failed or timed out) then shows "Did not write all data".
// Returns the count sent.
int writeText(const char* text);

// One read of at most maxCount bytes that never waits; 0 when nothing has arrived. A failure
// (end of file or an error: the device went away) is reported and reads as 0.
int readBytes(char* buffer, int maxCount);

// What every error of the link comes to: closePort, linkRunning cleared, then the "Error" box
// with text.
void showLinkError(const char* text);

// The device failed under the link (hang-up, read or write failure). With the "reconnect" word,
// unless the user is stopping the link: closePort, linkRunning cleared, no box, the text on the
// dashboard and the device tried again in a second. Otherwise showLinkError.
void linkLost(const char* text);

// showLinkError with "The selected COM port could not be opened" for a missing device, else the
// system's text for the last error ("Unknown error N" when it has none).
void reportSystemError();

// reportSystemError for a failed openPort of portName; when the device exists but the user may
// not open it, one more sentence names the device and the group that owns it.
void reportOpenFailure(const char* portName);
