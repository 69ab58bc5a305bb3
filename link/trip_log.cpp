// Rows are built in a fixed buffer without allocating, numbers by std::to_chars: the shortest text
// that reads back as the same double, with a dot whatever the locale. Every row is flushed, like
// the capture log, so a crash loses at most the row being written.
#include "link/trip_log.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <initializer_list>

#include "link/capture_log.h"
#include "link/quantities.h"
#include "link/telemetry.h"
#include "shell/settings.h"

std::FILE* tripLog = nullptr;

namespace {
uint32_t linkStartTick; // set by openTripLog before any row is written

// Kinds 0..12 in order; the unit words follow the settings in effect when the log opens.
void writeHeader(std::FILE* file) {
    const bool fahrenheit = settings.temperatureUnit == 1;
    const bool miles = settings.distanceUnit == 1;
    std::fprintf(file,
                 "ms,throttle_pct,motor_rpm,duty_cycle_pct,controller_temp_%s,motor_voltage_v,"
                 "motor_current_a,motor_current_limit_a,battery_voltage_v,speed_%s,"
                 "battery_current_a,battery_power_kw,wh_per_%s,wh_per_%s_now,"
                 "stopped,shifting,main_contactor_on,motor_contactors_on,reverse,forward,"
                 "motors_parallel,motors_series,voltage_drop_warning,"
                 "charge_ah,energy_kwh,distance_%s\r\n",
                 fahrenheit ? "f" : "c", miles ? "mph" : "kmh", miles ? "mile" : "km",
                 miles ? "mile" : "km", miles ? "miles" : "km");
}

struct Row {
    char text[1024];
    std::size_t length = 0;

    // A double or a whole number; room for the CR LF stays free.
    template <typename Number> void field(Number value) {
        if (length > 0) {
            text[length++] = ',';
        }
        const std::to_chars_result result =
            std::to_chars(text + length, text + sizeof text - 3, value);
        length = static_cast<std::size_t>(result.ptr - text);
    }
};
} // namespace

void openTripLog(const char* name, uint32_t startTick) {
    closeTripLog();
    linkStartTick = startTick;
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
    Row row;
    row.field(nowTick - linkStartTick);
    for (int32_t kind = 0; kind <= 12; ++kind) {
        row.field(quantityByKind(kind));
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
