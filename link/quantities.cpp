// Physical values from the raw channels, and the trip totals. Calibration runs in double; the
// intermediates that the dashboard has always rounded to float32 are rounded here too, so the
// dials show the same last digits.
#include "link/quantities.h"

#include "link/telemetry.h"
#include "shell/program_flags.h"
#include "shell/settings.h"

ChannelCalibration channelCalibration[9] = {
    {71, 0.709219873f}, // throttle %: 141 counts above 71 are full travel
    {0, 100.0f},        // motor speed: hundreds of RPM
    {0, 5.0f},          // motor current A
    {0, 5.0f},          // motor current limit A
    {0, 0.628930807f},  // duty cycle %: 159 counts are 100 %
    {0, 1.75390625f},   // battery voltage V
    {0, 1.75390625f},   // motor voltage V
    {2, 0.575757563f},  // controller temperature, degrees Celsius
    {0, 1.0f},          // not used
};

TripTotals tripTotals;

namespace {
// Distance keeps its float32 factor: speed is per hour and dt in milliseconds.
constexpr float hourPerMsFloat = 2.77777787e-7f;

double asFloat(double value) {
    return static_cast<double>(static_cast<float>(value));
}

double batteryCurrent() {
    return calibratedChannel(2) * asFloat(calibratedChannel(4)) * 0.01;
}

double speed() {
    return calibratedChannel(1) * static_cast<double>(settings.rpmToSpeed);
}
} // namespace

double calibratedChannel(int channel) {
    const ChannelCalibration& entry = channelCalibration[channel];
    return (static_cast<double>(telemetry.rawChannels[channel]) - entry.offset) *
           static_cast<double>(entry.scale);
}

double quantityByKind(int32_t kind) {
    switch (kind) {
    case 0:
        return calibratedChannel(0);
    case 1:
        return calibratedChannel(1);
    case 2:
        return calibratedChannel(4);
    case 3:
        return calibratedChannel(7);
    case 4:
        return calibratedChannel(6);
    case 5:
        return calibratedChannel(2);
    case 6:
        return calibratedChannel(3);
    case 7:
        return calibratedChannel(5);
    case 8:
        return speed();
    case 9:
        return batteryCurrent();
    case 10:
        return calibratedChannel(5) * asFloat(batteryCurrent()) * 0.001;
    case 11:
        return tripTotals.distance > 0.0 ? tripTotals.energyWattMs * msToHours / tripTotals.distance
                                         : 0.0;
    case 12: {
        const double roadSpeed = asFloat(speed());
        return roadSpeed > 0.0 ? calibratedChannel(5) * asFloat(batteryCurrent()) / roadSpeed : 0.0;
    }
    default:
        return -999.0;
    }
}

void applyCalibrationOverrides() {
    if (mwMode != 0) {
        channelCalibration[6] = {0, 1.14385188f};
    }
    if (settings.controllerModel == 1) {
        channelCalibration[2] = {0, 10.0f};
        channelCalibration[3] = {0, 10.0f};
    }
    if (settings.temperatureUnit == 1) {
        channelCalibration[7] = {-28, 1.03636360f};
    }
}

void accumulateFrame(uint32_t elapsedMs) {
    const double dt = static_cast<double>(static_cast<float>(elapsedMs));
    const double current = quantityByKind(9);
    const double voltage = quantityByKind(7);
    tripTotals.chargeAmpMs += current * dt;
    tripTotals.energyWattMs += voltage * asFloat(current) * dt;
    tripTotals.distance += quantityByKind(8) * dt * static_cast<double>(hourPerMsFloat);

    // Only pairs with both values non-zero stay in the rings: a zero pair's slot is reused.
    const uint32_t slot = tripTotals.sampleIndex % sampleRingSize;
    tripTotals.currentSamples[slot] = current;
    tripTotals.voltageSamples[slot] = voltage;
    if (current != 0.0 && voltage != 0.0) {
        ++tripTotals.sampleIndex;
    }
    tripTotals.lastFrameMs = elapsedMs;
}
