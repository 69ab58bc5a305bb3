#include "tools/report/trip_figures.h"

#include <algorithm>
#include <cmath>

namespace {
BatteryFit fitSamples(const std::vector<double>& currents, const std::vector<double>& voltages,
                      std::size_t begin, std::size_t end) {
    return fitBatteryLine(currents.data() + begin, voltages.data() + begin,
                          static_cast<int>(end - begin));
}
} // namespace

void TripFigures::add(const TripRow& row) {
    const double* v = row.values;
    if (rows == 0) {
        first = row;
        minuteStart = row;
        topSpeed = v[Speed];
        peakCurrent = v[BatteryCurrent];
        peakPower = v[BatteryPower];
        lowestVoltage = v[BatteryVoltage];
        highestTemp = v[ControllerTemp];
    } else {
        topSpeed = std::max(topSpeed, v[Speed]);
        peakCurrent = std::max(peakCurrent, v[BatteryCurrent]);
        peakPower = std::max(peakPower, v[BatteryPower]);
        lowestVoltage = std::min(lowestVoltage, v[BatteryVoltage]);
        highestTemp = std::max(highestTemp, v[ControllerTemp]);
        if (row.flag(VoltageDropWarning)) {
            warningSeconds += row.seconds - last.seconds;
        }
        const double minute = std::floor((row.seconds - first.seconds) / 60.0);
        if (minute > minuteIndex) {
            closeMinute(row);
            minuteStart = row;
            minuteIndex = minute;
        }
    }
    if (v[BatteryCurrent] != 0 && v[BatteryVoltage] != 0) {
        sampleCurrents.push_back(v[BatteryCurrent]);
        sampleVoltages.push_back(v[BatteryVoltage]);
    }
    last = row;
    ++rows;
}

void TripFigures::closeMinute(const TripRow& end) {
    const std::size_t sampleEnd = sampleCurrents.size();
    minutes.push_back(MinuteFigures{
        first.seconds + 60.0 * minuteIndex, end.values[Distance] - minuteStart.values[Distance],
        end.values[Energy] - minuteStart.values[Energy],
        fitSamples(sampleCurrents, sampleVoltages, minuteSampleStart, sampleEnd),
        sampleEnd - minuteSampleStart});
    minuteSampleStart = sampleEnd;
}

void TripFigures::finish() {
    if (rows == 0) {
        return;
    }
    closeMinute(last);
    fit = fitSamples(sampleCurrents, sampleVoltages, 0, sampleCurrents.size());
}

bool energyPerDistance(double energyKwh, double distance, double& whPerDistance) {
    if (!(distance > 0)) {
        return false;
    }
    whPerDistance = energyKwh * 1000.0 / distance;
    return true;
}

bool bestMinuteEnergy(const TripFigures& figures, double& whPerDistance) {
    bool found = false;
    for (const MinuteFigures& minute : figures.minutes) {
        double wh = 0;
        if (energyPerDistance(minute.energy, minute.distance, wh) &&
            (!found || wh < whPerDistance)) {
            whPerDistance = wh;
            found = true;
        }
    }
    return found;
}
