// What the report does with trip logs that are not whole and sound: a clear message that names
// the line, and no file left behind; a trip log with no rows, or one still being written, still
// gives a report. And with no trip log named, the newest readable one of /var/tmp is taken.
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "support/process.h"

namespace {

const std::string header =
    "time,ms,throttle_pct,motor_rpm,duty_cycle_pct,controller_temp_c,motor_voltage_v,"
    "motor_current_a,motor_current_limit_a,battery_voltage_v,speed_kmh,battery_current_a,"
    "battery_power_kw,wh_per_km,wh_per_km_now,stopped,shifting,main_contactor_on,"
    "motor_contactors_on,reverse,forward,motors_parallel,motors_series,voltage_drop_warning,"
    "charge_ah,energy_kwh,distance_km\r\n";

// A row as the dashboard writes it, with one field replaced when asked.
std::string row(long long ms, int field = -1, const std::string& value = "") {
    std::vector<std::string> fields = {"2026-12-09T17:43:57.123+01:00",
                                       std::to_string(ms),
                                       "53.19149",
                                       "1500",
                                       "54.08805",
                                       "25.333334",
                                       "63.140625",
                                       "140",
                                       "390",
                                       "115.75781",
                                       "18.6",
                                       "75.72327",
                                       "8.765561",
                                       "496.5051",
                                       "471.2667",
                                       "0",
                                       "0",
                                       "1",
                                       "1",
                                       "0",
                                       "1",
                                       "0",
                                       "1",
                                       "0",
                                       "0.0294",
                                       "0.0034",
                                       "0.0069"};
    if (field >= 0) {
        fields[field] = value;
    }
    std::string text;
    for (const std::string& f : fields) {
        text += (text.empty() ? "" : ",") + f;
    }
    return text + "\r\n";
}

std::string without(const std::string& text, const std::string& part) {
    std::string out = text;
    out.erase(out.find(part), part.size());
    return out;
}

std::vector<std::string> filesIn(const std::string& folder) {
    std::vector<std::string> names;
    std::string listing = runCommand("ls -A '" + folder + "'") + "\n";
    for (std::size_t at = 0, end; (end = listing.find('\n', at)) != std::string::npos;
         at = end + 1) {
        if (end > at) {
            names.push_back(listing.substr(at, end - at));
        }
    }
    return names;
}

struct Case {
    const char* what;
    std::string content;
    std::string output; // -o, relative to the scratch folder ("" for the default place)
    int exitCode;
    std::string said;        // in what the program wrote to standard error
    std::string reportHolds; // when a report is written
};

TEST(ReportInput, BadTripLogsAreRefusedByLineAndLeaveNothingHalfWritten) {
    const ScratchFolder scratch("kv-report-input");
    const std::string& folder = scratch.path;
    ASSERT_FALSE(folder.empty());
    const std::string good = header + row(1533) + row(1566);
    const Case cases[] = {
        {"empty", "", "", 1, "trip.csv, the file is empty: not a trip log", ""},
        {"a capture log", "47 0 0 4e 0 44 0 1c 0 SO\r\n", "", 1,
         "trip.csv, line 1: not a trip log: its first column is \"47 0 0 4e 0 44 0 1c 0 SO\", "
         "not \"time\"",
         ""},
        {"a missing column", without(header, "battery_voltage_v,") + "1533\r\n", "", 1,
         "trip.csv, line 1: no column \"battery_voltage_v\"", ""},
        {"a malformed number", header + row(1533) + row(1566, 10, "18.6x"), "", 1,
         "trip.csv, line 3, column \"speed_kmh\": not a number: \"18.6x\"", ""},
        {"a number in another locale", header + row(1533, 9, "115,75"), "", 1,
         "trip.csv, line 2: 28 fields, the header row has 27", ""},
        {"a time without its offset", header + row(1533, 0, "2026-12-09T17:43:57.123"), "", 1,
         "trip.csv, line 2, column \"time\": not a local time like "
         "2026-12-09T17:43:57.123+01:00: \"2026-12-09T17:43:57.123\"",
         ""},
        {"a day no month has", header + row(1533, 0, "2026-02-29T17:43:57.123+01:00"), "", 1,
         "line 2, column \"time\": not a local time", ""},
        {"a count of milliseconds with a fraction", header + row(1533) + row(1566, 1, "1566.5"), "",
         1, "line 3, column \"ms\": not a count of milliseconds: \"1566.5\"", ""},
        {"a trip log written before its time column",
         header.substr(5) + row(1533).substr(30) + row(61600).substr(30), "", 0, "",
         "data-figure=\"duration_s\" data-value=\"60.067"},
        {"a flag that is not 0 or 1", header + row(1533, 19, "2"), "", 1,
         "trip.csv, line 2, column \"reverse\": a flag must be 0 or 1, not \"2\"", ""},
        {"time running back", header + row(1533) + row(1500), "", 1,
         "trip.csv, line 3: the time goes back, from 1533 ms to 1500 ms", ""},
        {"the header row only", header, "", 0, "no data was received",
         "No data was received: the trip log holds its header row only."},
        {"a row still being written", good + row(1599).substr(0, 40), "", 0,
         "trip.csv, line 4: no line end yet", "<td data-figure=\"rows\" data-value=\"2\">2</td>"},
        {"a car that never moved", good, "", 0, "", "none: no distance covered"},
        {"a trip of less than a minute", header + row(1533) + row(61532, 26, "0.2"), "", 0, "",
         "<td data-figure=\"minutes_driving\" class=\"none\">none: the trip lasted less than "
         "a minute</td>"},
        {"the millisecond count wrapping after 49.7 days", header + row(4294967000) + row(200), "",
         0, "", "data-figure=\"duration_s\" data-value=\"0.49"},
        {"its own trip log as the report", good, "trip.csv", 1,
         "the report would replace the trip log itself", ""},
        {"a folder that does not exist", good, "missing/report.html", 1,
         "cannot write in " + folder + "/missing: No such file or directory", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string trip = folder + "/trip.csv";
        {
            FILE* file = std::fopen(trip.c_str(), "wb");
            ASSERT_NE(file, nullptr);
            std::fwrite(c.content.data(), 1, c.content.size(), file);
            std::fclose(file);
        }
        const std::string report = folder + "/" + (c.output.empty() ? "trip.html" : c.output);
        int code = -1;
        const std::string said =
            runCommand("cd '" + folder + "' && '" KV_REPORT_PATH "' trip.csv -o '" + report +
                           "' 2>&1 >/dev/null",
                       &code);
        EXPECT_EQ(code, c.exitCode) << said;
        EXPECT_NE(said.find(c.said), std::string::npos) << said;
        EXPECT_EQ(readFile(trip), c.content) << "the trip log is left as it was";
        const std::vector<std::string> left = filesIn(folder);
        if (c.exitCode == 0) {
            EXPECT_EQ(left, (std::vector<std::string>{"trip.csv", "trip.html"}));
            EXPECT_NE(readFile(report).find(c.reportHolds), std::string::npos);
        } else {
            EXPECT_EQ(left, std::vector<std::string>{"trip.csv"});
        }
        runCommand("rm -f '" + folder + "/trip.csv' '" + folder + "/trip.html'");
    }
}

// Times that no clock shows are refused by line and column; the edges of the calendar are not.
TEST(ReportInput, TheTimeColumnHoldsOnlyDaysOfTheCalendarAndOffsetsOfTheWorld) {
    const ScratchFolder scratch("kv-report-time");
    const std::string trip = scratch.path + "/trip.csv";
    const struct {
        const char* time;
        bool taken;
    } cases[] = {
        {"2024-02-29T23:59:59.999+14:00", true},  {"2000-02-29T00:00:00.000-12:00", true},
        {"1970-01-01T00:00:00.000+00:00", true},  {"2026-12-31T23:59:59.999+05:45", true},
        {"2025-02-29T12:00:00.000+01:00", false}, {"1900-02-29T12:00:00.000+01:00", false},
        {"2026-04-31T12:00:00.000+01:00", false}, {"2026-09-31T12:00:00.000+01:00", false},
        {"2026-13-01T12:00:00.000+01:00", false}, {"2026-00-10T12:00:00.000+01:00", false},
        {"2026-12-00T12:00:00.000+01:00", false}, {"2026-12-09T24:00:00.000+01:00", false},
        {"2026-12-09T23:60:00.000+01:00", false}, {"2026-12-09T23:59:60.000+01:00", false},
        {"2026-12-09T12:00:00.000+15:00", false}, {"2026-12-09T12:00:00.000+01:60", false},
        {"1969-12-31T23:59:59.999-01:00", false}, {"2026-12-09 12:00:00.000+01:00", false},
        {"2026-12-09T12:00:00.00+01:00", false},  {"2026-12-09T12:00:00.000+01:0a", false},
        {"2026-12-09T12:00:00.000Z+1:00", false},
    };
    // And every month's last day, and the day after it, in 2026.
    const int lastDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    std::vector<std::pair<std::string, bool>> times;
    for (const auto& c : cases) {
        times.emplace_back(c.time, c.taken);
    }
    for (int month = 1; month <= 12; ++month) {
        for (const int day : {lastDays[month - 1], lastDays[month - 1] + 1}) {
            char time[40];
            std::snprintf(time, sizeof time, "2026-%02d-%02dT12:00:00.000+01:00", month, day);
            times.emplace_back(time, day == lastDays[month - 1]);
        }
    }
    for (const auto& [time, taken] : times) {
        SCOPED_TRACE(time);
        FILE* file = std::fopen(trip.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fputs((header + row(1533, 0, time)).c_str(), file);
        std::fclose(file);
        int code = -1;
        const std::string said = runCommand(
            "'" KV_REPORT_PATH "' '" + trip + "' -o '" + scratch.path + "/trip.html' 2>&1", &code);
        EXPECT_EQ(code, taken ? 0 : 1) << said;
        if (!taken) {
            EXPECT_NE(said.find("line 2, column \"time\": not a local time"), std::string::npos)
                << said;
        }
        runCommand("rm -f '" + trip + "' '" + scratch.path + "/trip.html'");
    }
}

// A report tells as much as its trip log: it is given the log's permissions, whatever the umask.
TEST(ReportInput, TheReportHasItsTripLogsPermissions) {
    const ScratchFolder scratch("kv-report-mode");
    const std::string trip = scratch.path + "/trip.csv";
    const std::string report = scratch.path + "/trip.html";
    for (const mode_t mode : {0600, 0640, 0644, 0400}) {
        SCOPED_TRACE(mode);
        FILE* file = std::fopen(trip.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fputs((header + row(1533)).c_str(), file);
        std::fclose(file);
        ASSERT_EQ(chmod(trip.c_str(), mode), 0);
        int code = -1;
        const std::string said = runCommand(
            "umask 022 && '" KV_REPORT_PATH "' '" + trip + "' -o '" + report + "' 2>&1", &code);
        EXPECT_EQ(code, 0) << said;
        struct stat info;
        ASSERT_EQ(stat(report.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, mode);
        runCommand("rm -f '" + trip + "' '" + report + "'");
    }
}

// /var/tmp is shared: the test's own names lie beyond any start time a dashboard writes today,
// carry the test's process id, and are removed however the test ends.
TEST(ReportInput, WithoutATripLogTakesTheNewestReadableOneOfVarTmp) {
    const std::string base = "/var/tmp/kestro_trip_2147483000_" + std::to_string(getpid());
    const std::string older = "/var/tmp/kestro_trip_2147482999_" + std::to_string(getpid());
    const std::string fifo = "/var/tmp/kestro_trip_2147483001_" + std::to_string(getpid());
    struct Cleanup {
        std::vector<std::string> paths;
        ~Cleanup() {
            for (const std::string& path : paths) {
                unlink(path.c_str());
            }
        }
    } cleanup{{base + ".csv", base + ".html", older + ".csv", fifo + ".csv"}};
    for (const std::string& path : {base + ".csv", older + ".csv"}) {
        FILE* file = std::fopen(path.c_str(), "wbx");
        ASSERT_NE(file, nullptr) << path;
        std::fputs((header + row(1533)).c_str(), file);
        std::fclose(file);
    }
    // Newer by its name, but no plain file: reading it would wait for ever.
    ASSERT_EQ(mkfifo((fifo + ".csv").c_str(), 0644), 0);

    const ScratchFolder folder("kv-report-newest");
    int code = -1;
    const std::string said =
        runCommand("cd '" + folder.path + "' && timeout 60 '" KV_REPORT_PATH "' 2>&1", &code);
    EXPECT_EQ(code, 0) << said;
    EXPECT_EQ(said,
              "Trip log: " + base + ".csv (the newest in /var/tmp)\nReport: " + base + ".html");
    EXPECT_NE(readFile(base + ".html").find("<td data-figure=\"rows\" data-value=\"1\">1</td>"),
              std::string::npos);
}

} // namespace
