// What the report's charts draw, kept per row while the trip log is read and thinned when it is
// written: over a long trip each pixel column of a chart as wide as a 4K screen gets the first
// and last time of its rows and, for every series, the column's lowest and highest value in the
// order they came, so no peak is lost. The volts-against-amps cloud keeps one sample per cell
// of a fine grid, so its outline and outliers stay.
#pragma once
#include <cstdint>
#include <cstdio>
#include <vector>

#include "tools/report/trip_figures.h"

// Columns of the time charts; trips of at most twice as many rows go out whole.
inline constexpr std::size_t chartColumns = 3840;

// The series of the time charts, in the order of the data's "series" object.
enum ChartSeries {
    SpeedSeries,
    BatteryCurrentSeries,
    MotorCurrentSeries,
    BatteryVoltageSeries,
    BatteryPowerSeries,
    ControllerTempSeries,
    WhNowSeries,
    WhTripSeries, // the trip's energy per distance so far, from its first row
    chartSeriesCount
};

class ChartData {
  public:
    void add(const TripRow& row);

    // Writes the charts' data as one JSON object: "t" (seconds since the link started),
    // "series" and "flags" (arrays beside "t"), "vi" (the battery samples and fit) and
    // "minutes" (the fits of the minutes of driving).
    void writeJson(std::FILE* out, const TripFigures& figures) const;

  private:
    std::vector<double> seconds;
    std::vector<float> series[chartSeriesCount];
    std::vector<uint16_t> flags;
    double firstEnergy = 0;
    double firstDistance = 0;
};
