// In-process link tests: error boxes captured instead of shown, the link state reset around each
// test, and a bare pseudo-terminal pair for tests that must place every byte themselves.
#pragma once
#include <string>
#include <sys/types.h>
#include <vector>

// Every error box text since the last resetLinkState, in order.
extern std::vector<std::string> errorBoxes;

// Closes the port, clears linkRunning, the line buffer and the telemetry, restores the default
// settings and the system's write call, and captures error boxes into errorBoxes.
void resetLinkState();

// Stops capturing error boxes, closes the port and removes every log noted since. Logs noted
// are removed at the test's end in any case, also when a failed assertion skips this.
void releaseLinkState();

// The path of the capture log the link has open ("" when none), noted for releaseLinkState to
// remove: tests find their own logs this way, never by scanning a folder other programs share.
// The trip log beside it is noted too.
std::string noteCaptureLog();

// The path of the open trip log ("" when none), noted for removal like the capture log.
std::string noteTripLog();

// The capture log another process (the program under test) holds open, found through its open
// files ("" when none); it and the trip log beside it are noted for removal at the test's end.
std::string noteCaptureLogOf(pid_t pid);

// A pseudo-terminal pair in raw mode: the test writes the controller's bytes to master.
struct TerminalPair {
    int master = -1;
    int slave = -1; // the test's own, never read
    std::string slavePath;
};
TerminalPair openTerminalPair();
void closeTerminalPair(TerminalPair& pair);

// Writes bytes to the pair's master in full.
void writeAll(int fd, const std::string& bytes);

// Opens the pair's slave as the link's port with the link running and no capture log, as a
// start leaves it, without the start's drains.
bool openPortOn(const TerminalPair& pair, const char* logName = "/dev/null");
