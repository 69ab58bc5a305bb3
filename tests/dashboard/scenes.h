// Fixed dashboard states for the frame tests: settings, telemetry, trip totals and the link and
// debug flags, each set from scratch so that a scene draws the same frame whatever ran before.
#pragma once
#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "dashboard/gauges.h"
#include "link/controller_protocol.h"
#include "link/quantities.h"
#include "shell/app.h"
#include "shell/settings.h"

// The tables as the program starts with them, before any unit setting has touched them.
inline const struct PristineTables {
    GaugeDef defs[gaugeDefCount];
    ChannelCalibration calibration[9];
    PristineTables() {
        std::memcpy(defs, gaugeDefs, sizeof defs);
        std::memcpy(calibration, channelCalibration, sizeof calibration);
    }
} pristineTables;

// Puts every table, record and flag the dashboard reads back to the program's start.
inline void resetDashboardState() {
    std::memcpy(gaugeDefs, pristineTables.defs, sizeof gaugeDefs);
    std::memcpy(channelCalibration, pristineTables.calibration, sizeof channelCalibration);
    settings = defaultSettings();
    telemetry = Telemetry{};
    tripTotals = TripTotals{};
    linkRunning = false;
    debugMode = 0;
    mwMode = 0;
}

// What a scene sets after initDashboard (which marks the telemetry "INIT" and stopped).
struct Scene {
    std::string name;
    int32_t width;
    int32_t height;
    void (*configure)(); // settings and command-line flags, before initDashboard
    void (*feed)();      // telemetry, totals and link state, after initDashboard
};

// Test names and failure messages show a scene by its name.
inline void PrintTo(const Scene& scene, std::ostream* out) {
    *out << scene.name;
}

// 600 samples scattered around V = 125 - 0.04 x I by a fixed pseudo-random sequence.
inline void fillBatterySamples(uint32_t accepted) {
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return static_cast<double>((seed >> 8) & 0xFFFF) / 65535.0;
    };
    for (int i = 0; i < sampleRingSize; ++i) {
        const double amps = 20.0 + 260.0 * next();
        tripTotals.currentSamples[i] = amps;
        tripTotals.voltageSamples[i] = 125.0 - 0.04 * amps + (next() - 0.5) * 1.5;
    }
    tripTotals.sampleIndex = accepted;
}

inline void driveLine(const char* line) {
    std::snprintf(telemetry.lastLine, sizeof telemetry.lastLine, "%s", line);
    parseReplyLine(line);
}

inline const std::vector<Scene>& referenceScenes() {
    static const std::vector<Scene> scenes = {
        {"stopped_3x3_km", 800, 600, [] {}, [] {}},
        {"running_3x4_km", 800, 600, [] { settings.gaugeLayout = 1; },
         [] {
             linkRunning = true;
             driveLine("b0 1e 30 40 7f 40 38 2a 0 OMFP");
             tripTotals.chargeAmpMs = 1.25 * 3.6e6;
             tripTotals.energyWattMs = 0.15 * 3.6e9;
             tripTotals.distance = 3.42;
             tripTotals.lastFrameMs = 16;
         }},
        {"running_3x4_miles_fahrenheit_debug", 800, 600,
         [] {
             settings.gaugeLayout = 1;
             settings.distanceUnit = 1;
             settings.temperatureUnit = 1;
             settings.rpmToSpeed = 0.0077f;
             debugMode = 1;
         },
         [] {
             linkRunning = true;
             driveLine("60 14 20 40 50 44 30 40 0 GORSV");
             tripTotals.chargeAmpMs = 0.5 * 3.6e6;
             tripTotals.energyWattMs = 0.06 * 3.6e9;
             tripTotals.distance = 1.27;
             tripTotals.lastFrameMs = 16;
         }},
        {"running_3x3_off_scale", 1024, 768, [] { settings.motorVoltsMin = 20; },
         [] {
             // Throttle and duty cycle above their scales, motor voltage below.
             linkRunning = true;
             driveLine("160 3c 10 40 c0 40 8 60 0 SMS");
         }},
        {"battery_model_600_3x4", 800, 600,
         [] {
             settings.gaugeLayout = 1;
             settings.gaugeSlots[10] = BatteryModel;
         },
         [] {
             linkRunning = true;
             driveLine("b0 28 30 40 7f 44 40 2a 0 OMFP");
             fillBatterySamples(637);
         }},
        {"stopped_3x4_debug_zero_ms", 640, 480,
         [] {
             settings.gaugeLayout = 1;
             settings.gaugeSlots[0] = BatteryModel;
             settings.gaugeSlots[5] = 42; // no such kind: an empty cell
             debugMode = 1;
         },
         [] {}},
    };
    return scenes;
}
