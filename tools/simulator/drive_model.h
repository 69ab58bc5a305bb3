// The simulated vehicle: a repeating drive and the reply line that reports it.
#pragma once
#include <string>

struct DriveState {
    double seconds = 0;      // time into the drive
    double rpm = 0;          // motor speed
    double temperature = 25; // controller temperature, degrees Celsius
    double shiftingUntil = -1;
    bool parallel = false;
};

struct DriveParameters {
    double voc;          // battery open-circuit voltage, V
    double rint;         // battery internal resistance, ohm
    double ampsPerCount; // motor current per count: 5 A, or 10 A for the K2K model
};

// Advances the drive by dt seconds and returns the reply line for that moment, CR LF included.
std::string nextDriveLine(DriveState& state, const DriveParameters& parameters, double dt);

// The battery current the dashboard derives from raw motor current and duty cycle counts.
double dashboardBatteryCurrent(int currentCounts, int dutyCounts, double ampsPerCount);
