#include "platform/com_device.h"

#include <cstdio>
#include <windows.h>

bool comDevicePath(int comNumber, char* path, std::size_t size) {
    // The device namespace form: COM10 and above exist only under it.
    std::snprintf(path, size, "\\\\.\\COM%d", comNumber);
    char name[16];
    std::snprintf(name, sizeof name, "COM%d", comNumber);
    char target[1024];
    return QueryDosDeviceA(name, target, sizeof target) != 0;
}

void describeDevicePath(const char* path, char* text, std::size_t size) {
    std::snprintf(text, size, "%s", path);
}
