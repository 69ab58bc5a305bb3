// Rows are built in a fixed buffer without allocating, numbers by std::to_chars with a dot
// whatever the locale. A gauge quantity is as precise as the float32 channel it comes from, so it
// is written as the shortest text that reads back as the same float (2.48, not the widened
// 2.4800000712275505); the totals are sums kept in double and written as such. Every row is
// flushed, like the capture log, so a crash loses at most the row being written.
#include "link/trip_log.h"

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <ctime>
#include <initializer_list>

#include "link/capture_log.h"
#include "link/quantities.h"
#include "link/telemetry.h"
#include "platform/clock.h"
#include "shell/settings.h"

std::FILE* tripLog = nullptr;

namespace {
uint32_t linkStartTick;  // set by openTripLog before any row is written
int64_t linkStartWallMs; // the wall clock at linkStartTick, ms since 1970 UTC

// Kinds 0..12 in order; the unit words follow the settings in effect when the log opens.
void writeHeader(std::FILE* file) {
    const bool fahrenheit = settings.temperatureUnit == 1;
    const bool miles = settings.distanceUnit == 1;
    std::fprintf(file,
                 "time,ms,throttle_pct,motor_rpm,duty_cycle_pct,controller_temp_%s,motor_voltage_v,"
                 "motor_current_a,motor_current_limit_a,battery_voltage_v,speed_%s,"
                 "battery_current_a,battery_power_kw,wh_per_%s,wh_per_%s_now,"
                 "stopped,shifting,main_contactor_on,motor_contactors_on,reverse,forward,"
                 "motors_parallel,motors_series,voltage_drop_warning,"
                 "charge_ah,energy_kwh,distance_%s\r\n",
                 fahrenheit ? "f" : "c", miles ? "mph" : "kmh", miles ? "mile" : "km",
                 miles ? "mile" : "km", miles ? "miles" : "km");
}

// A row starts with its local time; every field after it follows a comma.
struct Row {
    char text[1024];
    std::size_t length; // set by the constructor

    // The local wall-clock time of wallMs in ISO 8601 to the millisecond, with the offset from
    // UTC in effect then, so that every row names one instant, across a change of summer time
    // too.
    explicit Row(int64_t wallMs) {
        const LocalTime local = localTimeOf(wallMs / 1000);
        length = std::strftime(text, 32, "%Y-%m-%dT%H:%M:%S", &local.fields);
        const int32_t offset = local.utcOffsetSeconds;
        const int32_t minutes = (offset < 0 ? -offset : offset) / 60;
        length += static_cast<std::size_t>(
            std::snprintf(text + length, 16, ".%03d%c%02d:%02d", static_cast<int>(wallMs % 1000),
                          offset < 0 ? '-' : '+', static_cast<int>(minutes / 60),
                          static_cast<int>(minutes % 60)));
    }

    // A number or a whole number; room for the CR LF stays free.
    template <typename Number> void field(Number value) {
        text[length++] = ',';
        const std::to_chars_result result =
            std::to_chars(text + length, text + sizeof text - 3, value);
        length = static_cast<std::size_t>(result.ptr - text);
    }
};

int64_t wallClockMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}
} // namespace

void openTripLog(const char* name, uint32_t startTick) {
    closeTripLog();
    linkStartTick = startTick;
    linkStartWallMs = wallClockMs();
    tripLog = createOwnFile(name);
    if (tripLog == nullptr) {
        std::fprintf(stderr, "KestroView: cannot write the trip log %s: %s\n", name,
                     std::strerror(errno));
        return;
    }
    writeHeader(tripLog);
    std::fflush(tripLog);
}

void writeTripRow(uint32_t nowTick) {
    if (tripLog == nullptr) {
        return;
    }
    const uint32_t sinceStart = nowTick - linkStartTick;
    Row row(linkStartWallMs + sinceStart);
    row.field(sinceStart);
    for (int32_t kind = 0; kind <= 12; ++kind) {
        row.field(static_cast<float>(quantityByKind(kind)));
    }
    const StatusFlags& f = telemetry.statusFlags;
    for (uint8_t flag : {f.stopped, f.shifting, f.mainContactorOn, f.motorContactorsOn, f.reverse,
                         f.forward, f.motorsParallel, f.motorsSeries, f.voltageDropWarning}) {
        row.field(flag != 0 ? 1 : 0);
    }
    row.field(tripTotals.chargeAmpMs * msToHours);
    row.field(tripTotals.energyWattMs * wattMsToKilowattHours);
    row.field(tripTotals.distance);
    // Every field is a number: nothing needs quoting.
    row.text[row.length++] = '\r';
    row.text[row.length++] = '\n';
    std::fwrite(row.text, 1, row.length, tripLog);
    std::fflush(tripLog);
}

void closeTripLog() {
    if (tripLog != nullptr) {
        std::fclose(tripLog);
        tripLog = nullptr;
    }
}
