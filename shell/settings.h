// The settings record: every user choice, and byte for byte the content of "KestroView.ini".
// 136 bytes, little-endian, no header or checksum; never validated on load: each reader falls
// back on its own for values outside its range.
#pragma once
#include <cstddef>
#include <cstdint>

struct Settings {
    int32_t comPort;         // 1..10 offered by the setup dialog
    int32_t controllerModel; // 0 = "K1K", 1 = "K2K"
    int32_t temperatureUnit; // 0 = Celsius, 1 = Fahrenheit
    int32_t batteryVoltsMin;
    int32_t batteryVoltsMax;
    int32_t batteryAmpsMin;
    int32_t batteryAmpsMax;
    int32_t batteryKwMin;
    int32_t batteryKwMax;
    int32_t motorVoltsMin;
    int32_t motorVoltsMax;
    int32_t motorAmpsMin; // also the motor current limit dial
    int32_t motorAmpsMax;
    int32_t distanceUnit; // 0 = km, 1 = miles
    float rpmToSpeed;     // road speed per motor RPM, km/h or mph
    int32_t speedMin;
    int32_t speedMax;
    int32_t whPerDistanceMin; // both energy-per-distance dials
    int32_t whPerDistanceMax;
    int32_t gaugeLayout;      // 0 = 3 x 3 cells, other = 3 x 4
    int32_t gaugeSlots[11];   // gauge kind per slot, reading order of the 3 x 4 grid
    int32_t screenResolution; // 0 = 640 x 480, 1 = 800 x 600, 2 = 1024 x 768
    int32_t colorDepth;       // 0 = 16 bits, 1 = 32 bits
    uint8_t fullScreen;       // full screen only when exactly 1
    uint8_t reserved[3];      // never set; written back as held
};

static_assert(sizeof(Settings) == 136, "the settings file is exactly 136 bytes");
static_assert(offsetof(Settings, comPort) == 0);
static_assert(offsetof(Settings, controllerModel) == 4);
static_assert(offsetof(Settings, temperatureUnit) == 8);
static_assert(offsetof(Settings, batteryVoltsMin) == 12);
static_assert(offsetof(Settings, batteryVoltsMax) == 16);
static_assert(offsetof(Settings, batteryAmpsMin) == 20);
static_assert(offsetof(Settings, batteryAmpsMax) == 24);
static_assert(offsetof(Settings, batteryKwMin) == 28);
static_assert(offsetof(Settings, batteryKwMax) == 32);
static_assert(offsetof(Settings, motorVoltsMin) == 36);
static_assert(offsetof(Settings, motorVoltsMax) == 40);
static_assert(offsetof(Settings, motorAmpsMin) == 44);
static_assert(offsetof(Settings, motorAmpsMax) == 48);
static_assert(offsetof(Settings, distanceUnit) == 52);
static_assert(offsetof(Settings, rpmToSpeed) == 56);
static_assert(offsetof(Settings, speedMin) == 60);
static_assert(offsetof(Settings, speedMax) == 64);
static_assert(offsetof(Settings, whPerDistanceMin) == 68);
static_assert(offsetof(Settings, whPerDistanceMax) == 72);
static_assert(offsetof(Settings, gaugeLayout) == 76);
static_assert(offsetof(Settings, gaugeSlots) == 80);
static_assert(offsetof(Settings, screenResolution) == 124);
static_assert(offsetof(Settings, colorDepth) == 128);
static_assert(offsetof(Settings, fullScreen) == 132);
static_assert(offsetof(Settings, reserved) == 133);

// The file's name, in the working directory.
inline constexpr const char* settingsFileName = "KestroView.ini";

// The one program-wide record, holding the built-in defaults until a file is loaded.
extern Settings settings;

// The built-in defaults: COM1, K1K, Celsius, km, 3 x 3, 800 x 600, 16 bits, windowed.
Settings defaultSettings();

// Replaces `settings` with the file's first 136 bytes when the file holds at least that many;
// otherwise leaves it untouched. Returns true when the record was replaced.
bool loadSettings(const char* path = settingsFileName);

// Writes the 136 bytes of `settings` (file created or truncated). Returns false when the file
// cannot be opened; a short write is not detected.
bool saveSettings(const char* path = settingsFileName);
