// Resolving a COM number to the serial device that plays it on this system.
#pragma once
#include <cstddef>

// Writes the device path of COM port n into path: the first that exists of COMn in the working
// directory (a link such as `ln -s /dev/ttyUSB0 COM1`, or the simulator's), /dev/ttyUSB{n-1},
// /dev/ttyACM{n-1}, /dev/ttyS{n-1}. Returns false when none exists; path then holds "COMn", whose
// open fails as a missing device.
bool comDevicePath(int comNumber, char* path, std::size_t size);
