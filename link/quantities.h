// Calibration of the raw channels, the gauge quantities by kind and the trip totals.
#pragma once
#include <cstdint>

struct ChannelCalibration {
    int32_t offset; // subtracted from the raw value
    float scale;    // applied after the subtraction
};

// Indexed by channel position; overrides applied by applyCalibrationOverrides.
extern ChannelCalibration channelCalibration[9];

inline constexpr int sampleRingSize = 600;

struct TripTotals {
    double chargeAmpMs;  // ampere-milliseconds since program start
    double energyWattMs; // watt-milliseconds since program start
    double distance;     // km or miles, the unit of rpmToSpeed
    double currentSamples[sampleRingSize];
    double voltageSamples[sampleRingSize];
    uint32_t sampleIndex; // accepted pairs; the slot in use is sampleIndex % 600
    uint32_t lastFrameMs; // elapsed ms of the latest accumulated frame
};

extern TripTotals tripTotals;

// The totals in hours, as the dashboard shows them: A.ms into A.h (and W.ms into W.h), and W.ms
// into kW.h. Multiplied by these, not divided by 3.6e6 and 3.6e9, which differs in the last bit:
// whatever shows a total (the status panel, the trip log) must show the same number.
inline constexpr double msToHours = 2.7777777777777776e-07;
inline constexpr double wattMsToKilowattHours = 2.7777777777777777e-10;

// (raw - offset) x scale of channel 0..8.
double calibratedChannel(int channel);

// The value of a gauge kind; -999.0 for kinds without one (13 and anything unknown).
double quantityByKind(int32_t kind);

// Applies the "mwmode", controller-model and temperature-unit replacements; idempotent.
void applyCalibrationOverrides();

// Adds one frame of elapsedMs to the totals and stores a current/voltage sample.
void accumulateFrame(uint32_t elapsedMs);
