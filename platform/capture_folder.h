// Where capture logs are written.
#pragma once
#include <cstddef>
#include <ctime>

// The capture folder. On Windows "C:\TEMP"; a fresh Windows has none, and a drive's record must
// not silently go nowhere, so then the user's local application data folder's "KestroView"
// folder, made when missing. Elsewhere the fixed "/var/tmp", never created here: like C:\TEMP it
// survives a reboot, where /tmp is often emptied at boot.
const char* captureFolder();

// What separates a folder from the name of a file in it: '\\' on Windows, else '/'.
char pathSeparator();

// "<folder>/kestro_original_<t>.log" with t as a signed 32-bit decimal number.
void captureLogName(std::time_t now, char* name, std::size_t size);

// The trip log beside the capture log logName: "kestro_original_" becomes "kestro_trip_" and the
// ".log" end ".csv", so "<folder>/kestro_original_<t>_2.log" pairs with
// "<folder>/kestro_trip_<t>_2.csv".
void tripLogName(const char* logName, char* name, std::size_t size);
