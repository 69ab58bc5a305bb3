// The pseudo-terminal that stands in for the controller's serial line.
#pragma once
#include <string>

struct Terminal {
    int master = -1;    // the controller's end: non-blocking
    int slave = -1;     // held open so the line survives the dashboard closing its end
    std::string device; // the slave's device path
    std::string link;   // COM<n> in the working directory
};

// Opens the pair in raw mode and links COM<n> to the slave. False with a message on standard
// error when it cannot.
bool openTerminal(int comNumber, Terminal& terminal);

// Bytes the dashboard's end has not read yet.
int unreadBytes(const Terminal& terminal);

// Closes both ends (the dashboard's end then reads a hang-up) and removes the link.
void closeTerminal(Terminal& terminal);
