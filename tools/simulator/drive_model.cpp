// A drive of 24 s repeated for ever: standing, pulling away, cruising, coasting, braking to a
// stop. The raw counts of each line are chosen near the model's values so that the battery's
// (current, voltage) pair, as the dashboard computes it, lies as closely on V = Voc - Rint x I
// as whole counts allow: the dashboard's battery fit can then be checked against Voc and Rint.
#include "drive_model.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {
constexpr double cycleSeconds = 24.0;
constexpr double maxRpm = 4500.0;
constexpr double stallAmps = 300.0;
constexpr double voltsPerCount = 1.75390625;
constexpr double parallelRpm = 2500.0;

double throttleAt(double t) {
    const double c = std::fmod(t, cycleSeconds);
    if (c < 2.0) {
        return 0.0; // standing
    }
    if (c < 8.0) {
        return 0.15 + 0.75 * (c - 2.0) / 6.0; // pulling away
    }
    if (c < 14.0) {
        return 0.45; // cruising
    }
    return 0.0; // coasting, then braking
}

int roundCount(double value) {
    return static_cast<int>(std::lround(value));
}

struct BatteryCounts {
    int current;
    int duty;
    int voltage;
};

// Tries the counts next to the model's and keeps the pair whose voltage count lands nearest the
// battery line.
BatteryCounts pickBatteryCounts(double motorAmps, double duty, const DriveParameters& p) {
    BatteryCounts best{0, 0, roundCount(p.voc / voltsPerCount)};
    if (motorAmps <= 0.0 || duty <= 0.0) {
        return best; // at rest: no current, the open-circuit voltage
    }
    const int current0 = roundCount(motorAmps / p.ampsPerCount);
    const int duty0 = roundCount(duty * 159.0);
    double bestError = 1e9;
    for (int current = std::max(1, current0 - 2); current <= current0 + 2; ++current) {
        for (int d = std::max(1, duty0 - 2); d <= std::min(159, duty0 + 2); ++d) {
            const double amps = dashboardBatteryCurrent(current, d, p.ampsPerCount);
            const double volts = p.voc - p.rint * amps;
            const int voltage = std::max(0, roundCount(volts / voltsPerCount));
            const double error = std::fabs(voltage * voltsPerCount - volts);
            if (error < bestError) {
                bestError = error;
                best = BatteryCounts{current, d, voltage};
            }
        }
    }
    return best;
}
} // namespace

double dashboardBatteryCurrent(int currentCounts, int dutyCounts, double ampsPerCount) {
    const double duty = static_cast<float>(dutyCounts * static_cast<double>(0.628930807f));
    return currentCounts * ampsPerCount * duty * 0.01;
}

std::string nextDriveLine(DriveState& s, const DriveParameters& p, double dt) {
    s.seconds += dt;
    const double throttle = throttleAt(s.seconds);
    const double c = std::fmod(s.seconds, cycleSeconds);
    if (throttle > 0) {
        s.rpm += (maxRpm * throttle * 1.4 - s.rpm) * std::min(1.0, dt / 3.0);
    } else {
        const double braking = c >= 18.0 ? 900.0 : 250.0; // rpm lost per second
        s.rpm = std::max(0.0, s.rpm - braking * dt);
    }
    s.rpm = std::min(s.rpm, maxRpm);

    // Back-EMF takes current away as the motor speeds up; the duty cycle follows the pedal.
    const double motorAmps =
        throttle > 0 ? stallAmps * throttle * (1.0 - 0.7 * s.rpm / maxRpm) + 10.0 : 0.0;
    const BatteryCounts battery =
        throttle > 0 ? pickBatteryCounts(motorAmps, throttle, p) : pickBatteryCounts(0.0, 0.0, p);
    const double batteryAmps =
        dashboardBatteryCurrent(battery.current, battery.duty, p.ampsPerCount);
    const double batteryVolts = battery.voltage * voltsPerCount;
    s.temperature += (0.004 * batteryAmps - 0.02 * (s.temperature - 25.0)) * dt;

    const bool wasParallel = s.parallel;
    s.parallel = s.rpm > parallelRpm;
    if (s.parallel && !wasParallel) {
        s.shiftingUntil = s.seconds + 0.3; // the contactors regroup the motors
    }
    const bool driving = throttle > 0 || s.rpm > 0;
    const int rpmCounts = roundCount(s.rpm / 100.0);

    std::string letters;
    if (rpmCounts == 0) {
        letters += 'S';
    }
    if (s.seconds < s.shiftingUntil) {
        letters += 'G';
    }
    letters += 'O';
    if (driving) {
        letters += "MF";
        letters += s.parallel ? 'P' : 'S';
    }
    if (batteryVolts < 0.8 * p.voc) {
        letters += 'V';
    }

    char line[160];
    std::snprintf(line, sizeof line, "%x %x %x %x %x %x %x %x %x %s\r\n",
                  71 + roundCount(141.0 * throttle), rpmCounts, battery.current,
                  roundCount(stallAmps * 1.3 / p.ampsPerCount), battery.duty, battery.voltage,
                  roundCount(batteryVolts * battery.duty / 159.0 / voltsPerCount),
                  roundCount(s.temperature * 33.0 / 19.0 + 2.0), 0, letters.c_str());
    return line;
}
