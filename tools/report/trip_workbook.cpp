// A date-time cell is a number of days since 1899-12-30 with a date format: the local wall-clock
// time of the row as the trip log wrote it (a spreadsheet has no time zones, so the header names
// the offset of the first row). Numbers are the very doubles the trip log's text reads as.
#include "tools/report/trip_workbook.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <xlsxwriter.h>

#include "tools/report/report_file.h"
#include "tools/report/trip_reader.h"

struct TripWorkbookFile {
    explicit TripWorkbookFile(const std::string& target, unsigned mode) : place(target, mode) {}
    ReportFile place; // the temporary file the workbook is written to, renamed on commit
    lxw_workbook* book = nullptr;
    lxw_format* headerFormat = nullptr;
    lxw_format* timeFormat = nullptr;
};

namespace {
constexpr double unixEpochInDays = 25569.0; // 1970-01-01 as a spreadsheet day number
constexpr lxw_row_t sheetRows = 1048576;    // rows a sheet holds, the header's included

std::string sheetNameFor(const std::string& path, const std::vector<std::string>& taken) {
    std::string name = path.substr(path.rfind('/') + 1);
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".csv") == 0) {
        name.erase(name.size() - 4);
    }
    for (char& c : name) {
        if (std::string("[]:*?/\\'").find(c) != std::string::npos) {
            c = '_';
        }
    }
    name = name.empty() ? "trip" : name.substr(0, 31);
    const std::string base = name;
    for (int n = 2; std::find(taken.begin(), taken.end(), name) != taken.end(); ++n) {
        const std::string suffix = " (" + std::to_string(n) + ")";
        name = base.substr(0, 31 - suffix.size()) + suffix;
    }
    return name;
}

std::string offsetText(int minutes) {
    char text[16];
    std::snprintf(text, sizeof text, "UTC%c%02d:%02d", minutes < 0 ? '-' : '+',
                  std::abs(minutes) / 60, std::abs(minutes) % 60);
    return text;
}
} // namespace

std::string TripWorkbook::headerText(const std::string& column) {
    static const std::map<std::string, std::string> texts = {
        {"time", "local time"},
        {"ms", "time since the start (ms)"},
        {"throttle_pct", "throttle (%)"},
        {"motor_rpm", "motor speed (rpm)"},
        {"duty_cycle_pct", "duty cycle (%)"},
        {"controller_temp_c", "controller temperature (\u00b0C)"},
        {"controller_temp_f", "controller temperature (\u00b0F)"},
        {"motor_voltage_v", "motor voltage (V)"},
        {"motor_current_a", "motor current (A)"},
        {"motor_current_limit_a", "motor current limit (A)"},
        {"battery_voltage_v", "battery voltage (V)"},
        {"speed_kmh", "speed (km/h)"},
        {"speed_mph", "speed (mph)"},
        {"battery_current_a", "battery current (A)"},
        {"battery_power_kw", "battery power (kW)"},
        {"wh_per_km", "energy per distance (Wh/km)"},
        {"wh_per_mile", "energy per distance (Wh/mile)"},
        {"wh_per_km_now", "energy per distance now (Wh/km)"},
        {"wh_per_mile_now", "energy per distance now (Wh/mile)"},
        {"stopped", "stopped (0/1)"},
        {"shifting", "shifting (0/1)"},
        {"main_contactor_on", "main contactor on (0/1)"},
        {"motor_contactors_on", "motor contactors on (0/1)"},
        {"reverse", "reverse (0/1)"},
        {"forward", "forward (0/1)"},
        {"motors_parallel", "motors in parallel (0/1)"},
        {"motors_series", "motors in series (0/1)"},
        {"voltage_drop_warning", "voltage-drop warning (0/1)"},
        {"charge_ah", "charge since the dashboard started (Ah)"},
        {"energy_kwh", "energy since the dashboard started (kWh)"},
        {"distance_km", "distance since the dashboard started (km)"},
        {"distance_miles", "distance since the dashboard started (miles)"},
    };
    const auto found = texts.find(column);
    return found != texts.end() ? found->second : column;
}

TripWorkbook::TripWorkbook(const std::string& target, unsigned mode)
    : file(std::make_unique<TripWorkbookFile>(target, mode)) {
    if (file->place.stream() == nullptr) {
        problem = file->place.error();
        return;
    }
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE; // rows go to a temporary file as they are written
    file->book = workbook_new_opt(file->place.temporaryPath().c_str(), &options);
    if (file->book == nullptr) {
        problem = "cannot start the workbook " + target;
        return;
    }
    file->headerFormat = workbook_add_format(file->book);
    format_set_bold(file->headerFormat);
    file->timeFormat = workbook_add_format(file->book);
    format_set_num_format(file->timeFormat, "yyyy-mm-dd hh:mm:ss.000");
}

TripWorkbook::~TripWorkbook() {
    if (file && file->book != nullptr) {
        workbook_close(file->book); // frees it; the file it wrote is discarded with the place
    }
}

bool TripWorkbook::ok() const {
    return file->book != nullptr;
}

bool TripWorkbook::addTrip(const std::string& path, int fd) {
    const std::string name = sheetNameFor(path, sheetNames);
    sheetNames.push_back(name);
    lxw_worksheet* sheet = workbook_add_worksheet(file->book, name.c_str());
    std::vector<std::string> columns;
    lxw_row_t row = 0;
    std::size_t tooMany = 0;
    // The header row waits for the first row, whose offset from UTC it names.
    const auto writeHeader = [&](const TripRow* first) {
        for (std::size_t c = 0; c < columns.size(); ++c) {
            std::string text = headerText(columns[c]);
            if (columns[c] == "time" && first != nullptr) {
                text += " (" + offsetText(first->time.offsetMinutes) + ")";
            }
            const lxw_col_t col = static_cast<lxw_col_t>(c);
            worksheet_write_string(sheet, 0, col, text.c_str(), file->headerFormat);
            const double width = columns[c] == "time" ? 24.0 : text.size() * 0.9 + 2.0;
            worksheet_set_column(sheet, col, col, std::max(width, 10.0), nullptr);
        }
        worksheet_freeze_panes(sheet, 1, 0);
        row = 1;
    };
    const TripReadResult read = readTripLog(
        fd,
        [&](const TripRow& r) {
            if (row == 0) {
                writeHeader(&r);
            }
            if (row >= sheetRows) {
                ++tooMany;
                return;
            }
            for (std::size_t c = 0; c < columns.size(); ++c) {
                const lxw_col_t col = static_cast<lxw_col_t>(c);
                if (c == 0 && columns[0] == "time") {
                    worksheet_write_number(sheet, row, col,
                                           unixEpochInDays + r.time.localMs / 86400000.0,
                                           file->timeFormat);
                } else {
                    worksheet_write_number(sheet, row, col, r.columns[c], nullptr);
                }
            }
            ++row;
        },
        [&](const std::vector<std::string>& names) { columns = names; });
    if (!read.ok) {
        problem = path + ", " + read.error;
        return false;
    }
    if (tooMany > 0) {
        problem = path + ": " + std::to_string(read.rows) + " rows, more than a sheet holds (" +
                  std::to_string(sheetRows - 1) + ")";
        return false;
    }
    if (row == 0) {
        writeHeader(nullptr);
        remarks.push_back(path + ": no data was received (a header row only)");
    }
    if (read.partialLine != 0) {
        remarks.push_back(path + ", line " + std::to_string(read.partialLine) +
                          ": no line end yet (a dashboard may still be writing it): left out");
    }
    return true;
}

bool TripWorkbook::commit() {
    const lxw_error closed = workbook_close(file->book);
    file->book = nullptr;
    if (closed != LXW_NO_ERROR) {
        problem = std::string("cannot write the workbook: ") + lxw_strerror(closed);
        return false;
    }
    if (!file->place.commit()) {
        problem = file->place.error();
        return false;
    }
    return true;
}
