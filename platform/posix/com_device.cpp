#include "platform/com_device.h"

#include <climits>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

bool comDevicePath(int comNumber, char* path, std::size_t size) {
    const int index = comNumber - 1;
    char candidates[4][64];
    std::snprintf(candidates[0], sizeof candidates[0], "COM%d", comNumber);
    std::snprintf(candidates[1], sizeof candidates[1], "/dev/ttyUSB%d", index);
    std::snprintf(candidates[2], sizeof candidates[2], "/dev/ttyACM%d", index);
    std::snprintf(candidates[3], sizeof candidates[3], "/dev/ttyS%d", index);
    // Device numbers below zero do not exist; only the COMn link can stand for such a port.
    const int tried = index >= 0 ? 4 : 1;
    for (int i = 0; i < tried; ++i) {
        struct stat info;
        if (stat(candidates[i], &info) == 0) {
            std::snprintf(path, size, "%s", candidates[i]);
            return true;
        }
    }
    std::snprintf(path, size, "%s", candidates[0]);
    return false;
}

void describeDevicePath(const char* path, char* text, std::size_t size) {
    char target[PATH_MAX];
    const ssize_t length = path[0] != '/' ? readlink(path, target, sizeof target - 1) : -1;
    if (length > 0) {
        target[length] = '\0';
        std::snprintf(text, size, "%s -> %s", path, target);
    } else {
        std::snprintf(text, size, "%s", path);
    }
}
