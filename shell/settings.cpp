#include "shell/settings.h"

#include <cstdio>
#include <cstring>

Settings defaultSettings() {
    Settings s{};
    s.comPort = 1;
    s.controllerModel = 0;
    s.temperatureUnit = 0;
    s.batteryVoltsMin = 105;
    s.batteryVoltsMax = 130;
    s.batteryAmpsMin = 0;
    s.batteryAmpsMax = 300;
    s.batteryKwMin = 0;
    s.batteryKwMax = 40;
    s.motorVoltsMin = 0;
    s.motorVoltsMax = 120;
    s.motorAmpsMin = 0;
    s.motorAmpsMax = 600;
    s.distanceUnit = 0;
    s.rpmToSpeed = 0.0124f;
    s.speedMin = 0;
    s.speedMax = 120;
    s.whPerDistanceMin = 0;
    s.whPerDistanceMax = 400;
    s.gaugeLayout = 0;
    const int32_t slots[11] = {0, 1, 3, 8, 4, 5, 2, 11, 7, 9, 10};
    std::memcpy(s.gaugeSlots, slots, sizeof slots);
    s.screenResolution = 1;
    s.colorDepth = 0;
    s.fullScreen = 0;
    return s;
}

Settings settings = defaultSettings();

bool loadSettings(const char* path) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        return false;
    }
    // Read into scratch first: a short file must leave the record exactly as it was.
    unsigned char scratch[sizeof(Settings)];
    const bool whole = std::fread(scratch, sizeof scratch, 1, file) == 1;
    std::fclose(file);
    if (whole) {
        std::memcpy(&settings, scratch, sizeof scratch);
    }
    return whole;
}

bool saveSettings(const char* path) {
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) {
        return false;
    }
    std::fwrite(&settings, sizeof settings, 1, file);
    std::fclose(file);
    return true;
}
