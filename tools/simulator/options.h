// The simulator's command line.
#pragma once
#include <string>

struct SimOptions {
    int comNumber = 1;          // links COM<n> in the working directory
    double linesPerSecond = 10; // lowered to what 9600 baud can carry
    double voc = 120.0;         // battery open-circuit voltage, V
    double rint = 0.05;         // battery internal resistance, ohm
    double ampsPerCount = 5.0;  // 10 with --k2k
    double startAt = 0;         // seconds into the drive at the first line
    std::string replayPath;     // replay this capture log instead of the drive
    bool loopReplay = false;
    unsigned seed = 1;
    int garbageEvery = 0;          // every Nth line is random bytes; 0 = never
    int overlongAfter = -1;        // after N lines, one line of 1100 bytes; -1 = never
    int hangupAfter = -1;          // after N lines, hang up and exit; -1 = never
    bool neverQuiet = false;       // keep streaming after the stop bytes
    bool hangupMidLine = false;    // with hangupAfter: the last line goes out only half
    int floodAfter = -1;           // after N lines, 64 KiB without a line feed; -1 = never
    bool feedEveryByte = false;    // a line feed after every byte of every line
    int rawBytesEvery = 0;         // every Nth line holds a NUL and bytes 128..255; 0 = never
    bool streamingAtStart = false; // streams from the start, as a controller left running
    int replugAfter = -1;          // every N lines, unplug and plug in again; -1 = never
    int replugs = 2;               // with replugAfter: how many times
    double replugMs = 1500;        // with replugAfter: how long the line stays unplugged
};

// Fills options from argv. Returns -1 to go on, otherwise the exit code to leave with: 0 after
// --help, 2 after a bad option (with a message on standard error).
int parseOptions(int argc, char** argv, SimOptions& options);
