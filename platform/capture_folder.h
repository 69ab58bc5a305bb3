// Where capture logs are written.
#pragma once
#include <cstddef>
#include <ctime>

// The fixed capture folder, "/var/tmp": like a Windows C:\TEMP it survives a reboot, where /tmp
// is often emptied at boot, and a drive's record must not vanish with it. Never created here.
const char* captureFolder();

// "<folder>/kestro_original_<t>.log" with t as a signed 32-bit decimal number.
void captureLogName(std::time_t now, char* name, std::size_t size);

// The trip log beside the capture log logName: "kestro_original_" becomes "kestro_trip_" and the
// ".log" end ".csv", so "<folder>/kestro_original_<t>_2.log" pairs with
// "<folder>/kestro_trip_<t>_2.csv".
void tripLogName(const char* logName, char* name, std::size_t size);
