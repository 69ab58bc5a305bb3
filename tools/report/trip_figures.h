// The figures of a trip, from every row: the totals as differences from the first row (the
// dashboard's totals run from its own start, which may be before this start of the link), the
// peaks, the time with the voltage-drop warning, and the battery line fitted over the whole trip
// and over each minute.
#pragma once
#include <cstddef>
#include <vector>

#include "dashboard/battery_fit.h"
#include "tools/report/trip_reader.h"

// A minute of the trip: the 60 s from startSeconds, counted from the first row. Its distance and
// energy run from its first row's totals to those of the next minute's first row (or the last
// row), so the minutes add up to the trip.
struct MinuteFigures {
    double startSeconds;
    double distance;
    double energy; // kW.h
    BatteryFit fit;
    std::size_t samples;
    // A minute of driving: the car covered some distance in it.
    bool driven() const { return distance > 0; }
};

struct TripFigures {
    std::size_t rows = 0;
    TripRow first{};
    TripRow last{};
    double topSpeed = 0;
    double peakCurrent = 0;
    double peakPower = 0;
    double lowestVoltage = 0;
    double highestTemp = 0;
    double warningSeconds = 0; // rows with the warning, each for the time since the row before
    // The battery samples: rows whose current and voltage are both non-zero, as the dashboard
    // keeps them for its battery model.
    std::vector<double> sampleCurrents;
    std::vector<double> sampleVoltages;
    BatteryFit fit{false, 0, 0};
    std::vector<MinuteFigures> minutes;

    double seconds() const { return last.seconds - first.seconds; }
    double total(Value v) const { return last.values[v] - first.values[v]; }

    void add(const TripRow& row);
    // Closes the last minute and fits the battery lines; call once, after the last row.
    void finish();

  private:
    void closeMinute(const TripRow& end);
    TripRow minuteStart{};  // the first row of the minute being gathered
    double minuteIndex = 0; // its number, from 0
    std::size_t minuteSampleStart = 0;
};

// Energy per distance in W.h per km or mile; false when no distance was covered.
bool energyPerDistance(double energyKwh, double distance, double& whPerDistance);

// The lowest energy per distance of a minute of driving; false when there was none.
bool bestMinuteEnergy(const TripFigures& figures, double& whPerDistance);
