// Reading a trip log: the header row names the columns (the local time, when the log has it,
// then the milliseconds since the start), and every complete row after it (ended
// by its line feed) becomes one TripRow. A last line without its line end is still being written
// by a running dashboard and is left out. Anything else that does not fit is an error that names
// the line.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The quantities of a row the report uses, indexed by Value.
enum Value {
    Speed,
    BatteryCurrent,
    MotorCurrent,
    BatteryVoltage,
    BatteryPower,
    ControllerTemp,
    WhPerDistanceNow,
    Charge,   // A.h since the dashboard started
    Energy,   // kW.h since the dashboard started
    Distance, // km or miles since the dashboard started
    valueCount
};

// The status flags in the trip log's order: bit i of TripRow::flags.
enum Flag {
    Stopped,
    Shifting,
    MainContactorOn,
    MotorContactorsOn,
    Reverse,
    Forward,
    MotorsParallel,
    MotorsSeries,
    VoltageDropWarning,
    flagCount
};

// A wall-clock time as a trip log writes it: the local date and time, and its offset from UTC.
struct LocalTime {
    int64_t localMs = 0;   // the local date and time as ms since 1970-01-01T00:00 of that clock
    int offsetMinutes = 0; // local = UTC + offset
};

struct TripRow {
    double seconds; // since the start of the link
    double values[valueCount];
    unsigned flags;
    LocalTime time;        // of the "time" column, when the log has one
    const double* columns; // every column's number in the header's order (the time's is 0)
    bool flag(Flag f) const { return (flags >> f & 1u) != 0; }
};

struct TripUnits {
    bool miles = false;      // speed_mph, distance_miles, wh_per_mile_now
    bool fahrenheit = false; // controller_temp_f
};

struct TripReadResult {
    bool ok = false;
    std::string error; // "line N: ..." when not ok
    TripUnits units;
    std::vector<std::string> columns; // the header row's names
    bool hasTime = false;             // a "time" column (trip logs before it have only "ms")
    std::size_t rows = 0;             // complete rows read
    std::size_t partialLine = 0;      // number of a last line left out for want of its line end
};

// Reads the whole trip log from the open file descriptor fd, calling onRow for every row in order.
// Trip logs written before the time column are read as well.
// onHeader, when given, is called with the header row's names before the first row.
TripReadResult
readTripLog(int fd, const std::function<void(const TripRow&)>& onRow,
            const std::function<void(const std::vector<std::string>&)>& onHeader = nullptr);
