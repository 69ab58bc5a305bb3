// Resolving a COM number to the serial device that plays it on this system.
#pragma once
#include <cstddef>

// Writes the device path of COM port n into path and says whether such a device exists. On
// Windows it is "\\.\COMn". Elsewhere it is the first that exists of COMn in the working
// directory (a link such as `ln -s /dev/ttyUSB0 COM1`, or the simulator's), /dev/ttyUSB{n-1},
// /dev/ttyACM{n-1}, /dev/ttyS{n-1}; when none exists path holds "COMn", whose open fails as a
// missing device.
bool comDevicePath(int comNumber, char* path, std::size_t size);

// path (from comDevicePath) as the user reads it: a COMn link in the working directory is named
// together with what it points at ("COM1 -> /dev/pts/3"); any other path as it is.
void describeDevicePath(const char* path, char* text, std::size_t size);
