// The trip log: beside every capture log, a CSV file with one row per parsed line holding the
// local wall-clock time, the time since the start of the link, every gauge quantity, the status
// flags and the trip totals, for the driver's own spreadsheet. It is opened by the link's start and
// closed with the port.
#pragma once
#include <cstdint>
#include <cstdio>

extern std::FILE* tripLog; // open trip log, or nullptr

// Creates the file, never over an existing one and readable by its owner alone, writes the
// header row and notes startTick, and the wall clock now, as the link's start.
// A file that cannot be created is said on standard error; the link runs on without it.
void openTripLog(const char* name, uint32_t startTick);

// One row for the line just parsed, timed at nowTick; nothing when no trip log is open.
void writeTripRow(uint32_t nowTick);

// Closes the trip log; safe when none is open.
void closeTripLog();
