// The trip log of a simulated drive against the lines the simulator sent: one row per line, times
// that rise, the quantities of each line and the totals the dashboard held when it arrived.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#include "link/controller_protocol.h"
#include "link/quantities.h"
#include "link/serial_port.h"
#include "link/trip_log.h"
#include "platform/capture_folder.h"
#include "platform/clock.h"
#include "shell/settings.h"
#include "support/link_state.h"
#include "support/simulator.h"

namespace {
long namelessGroup = -1; // a group whose name is hidden from getgrgid, as if it had none
} // namespace

extern "C" {
group* __real_getgrgid(gid_t id);
group* __wrap_getgrgid(gid_t id) {
    return static_cast<long>(id) == namelessGroup ? nullptr : __real_getgrgid(id);
}
}

namespace {
std::vector<std::vector<std::string>> readCsv(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        EXPECT_FALSE(line.empty() || line.back() != '\r') << "rows end in CR LF";
        line.pop_back();
        std::vector<std::string> fields;
        std::istringstream cells(line);
        std::string cell;
        while (std::getline(cells, cell, ',')) {
            fields.push_back(cell);
        }
        rows.push_back(fields);
    }
    return rows;
}

// The wall-clock time of a row ("2026-12-09T17:43:57.123+01:00") as ms since 1970 UTC, or -1
// when it is not written so.
int64_t isoTimeMs(const std::string& text) {
    int year, month, day, hour, minute, second, ms, offsetHours, offsetMinutes, used = 0;
    char sign = 0;
    if (text.size() != 29 ||
        std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d.%3d%c%2d:%2d%n", &year, &month, &day,
                    &hour, &minute, &second, &ms, &sign, &offsetHours, &offsetMinutes,
                    &used) != 10 ||
        used != 29 || (sign != '+' && sign != '-')) {
        return -1;
    }
    std::tm utc{};
    utc.tm_year = year - 1900;
    utc.tm_mon = month - 1;
    utc.tm_mday = day;
    utc.tm_hour = hour;
    utc.tm_min = minute;
    utc.tm_sec = second;
    const int64_t offset = (sign == '-' ? -1 : 1) * (offsetHours * 60 + offsetMinutes) * 60000;
    return static_cast<int64_t>(timegm(&utc)) * 1000 + ms - offset;
}

int64_t wallMsNow() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// Sets the TZ variable for the life of the guard, and puts back what was there.
class TimeZoneGuard {
  public:
    explicit TimeZoneGuard(const char* zone) {
        const char* was = std::getenv("TZ");
        hadZone = was != nullptr;
        previous = hadZone ? was : "";
        setenv("TZ", zone, 1);
        tzset();
    }
    ~TimeZoneGuard() {
        if (hadZone) {
            setenv("TZ", previous.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

  private:
    bool hadZone;
    std::string previous;
};

struct FrameTotals {
    std::size_t rowsAfter; // lines in the file (header included) after this frame's read
    TripTotals totals;     // as they stood during the read
};

class TripLog : public ::testing::Test {
  protected:
    void SetUp() override {
        resetLinkState();
        tripTotals = TripTotals{};
    }
    void TearDown() override { releaseLinkState(); }
};

TEST_F(TripLog, OneRowPerLineWithItsQuantitiesFlagsAndTheDashboardsTotals) {
    SimulatorRun sim = startSimulator({"--rate", "20"});
    WorkingDirectoryGuard here(sim.folder);
    const int64_t beforeStart = wallMsNow();
    startLink();
    const int64_t afterStart = wallMsNow();
    ASSERT_TRUE(linkRunning);
    const std::string capture = noteCaptureLog();
    const std::string trip = noteTripLog();
    // The same number as the capture log beside it.
    ASSERT_EQ(capture.substr(0, 25), "/var/tmp/kestro_original_");
    EXPECT_EQ(trip, "/var/tmp/kestro_trip_" + capture.substr(25, capture.size() - 29) + ".csv");

    // Frames as the main loop runs them: read, then add the frame to the totals.
    std::vector<FrameTotals> frames;
    uint32_t last = tickCount();
    ASSERT_TRUE(waitFor(
        [&] {
            const TripTotals during = tripTotals;
            readReplyLines();
            const std::string text = readFile(trip);
            frames.push_back(
                {static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')), during});
            const uint32_t now = tickCount();
            accumulateFrame(now - last);
            last = now;
            return frames.back().rowsAfter > 40;
        },
        std::chrono::seconds(30)));
    stopLink();
    EXPECT_EQ(tripLog, nullptr) << "closed with the capture log";
    EXPECT_TRUE(errorBoxes.empty());

    const std::vector<std::vector<std::string>> csv = readCsv(readFile(trip));
    const std::vector<std::string> sent = sentLines(sim);
    ASSERT_GT(csv.size(), 40u);
    ASSERT_LE(csv.size() - 1, sent.size());
    ASSERT_EQ(csv[0].size(), 27u);
    EXPECT_EQ(csv[0][0], "time");
    EXPECT_EQ(csv[0][1], "ms");
    EXPECT_EQ(csv[0][26], "distance_km");

    std::size_t frame = 0;
    uint32_t previousMs = 0;
    int64_t linkStarted = isoTimeMs(csv[1][0]) - std::stoll(csv[1][1]);
    EXPECT_GE(linkStarted, beforeStart);
    EXPECT_LE(linkStarted, afterStart);
    for (std::size_t row = 1; row < csv.size(); ++row) {
        ASSERT_EQ(csv[row].size(), 27u) << row;
        const std::vector<std::string> fields(csv[row].begin() + 1, csv[row].end());
        while (frames[frame].rowsAfter <= row) {
            ++frame;
        }
        // Times rise from the start of the link, which spends its first 1.5 s on the sequences.
        const uint32_t ms = static_cast<uint32_t>(std::stoul(fields[0]));
        EXPECT_GE(ms, row == 1 ? 1499u : previousMs) << row;
        previousMs = ms;
        // The wall clock runs with the tick count from the same start.
        const int64_t started = isoTimeMs(csv[row][0]) - ms;
        EXPECT_EQ(started, linkStarted) << csv[row][0];
        linkStarted = row == 1 ? started : linkStarted;

        tripTotals = frames[frame].totals;
        parseReplyLine(sent[row - 1].c_str());
        // Each quantity to the float it was measured as.
        for (int kind = 0; kind <= 12; ++kind) {
            EXPECT_EQ(std::strtof(fields[1 + kind].c_str(), nullptr),
                      static_cast<float>(quantityByKind(kind)))
                << "row " << row << " kind " << kind;
        }
        const StatusFlags& f = telemetry.statusFlags;
        const uint8_t flags[9] = {f.stopped,           f.shifting,     f.mainContactorOn,
                                  f.motorContactorsOn, f.reverse,      f.forward,
                                  f.motorsParallel,    f.motorsSeries, f.voltageDropWarning};
        for (int i = 0; i < 9; ++i) {
            EXPECT_EQ(fields[14 + i], flags[i] != 0 ? "1" : "0") << "row " << row << " flag " << i;
        }
        // The status panel's own factors, to the last bit.
        EXPECT_EQ(std::strtod(fields[23].c_str(), nullptr),
                  tripTotals.chargeAmpMs * 2.7777777777777776e-07);
        EXPECT_EQ(std::strtod(fields[24].c_str(), nullptr),
                  tripTotals.energyWattMs * 2.7777777777777777e-10);
        EXPECT_EQ(std::strtod(fields[25].c_str(), nullptr), tripTotals.distance);
    }
    // The drive moved: the later rows carry totals that grew.
    EXPECT_GT(std::strtod(csv.back()[25].c_str(), nullptr), 0.0);
    EXPECT_GT(std::strtod(csv.back()[24].c_str(), nullptr), 0.0);
    stopSimulator(sim);
}

// The file itself: the header follows the units, and a row holds the local time, the time since
// the start, every kind's value, the flags and the totals, each number as the shortest text that
// reads back the same (the quantities as the floats they were measured as). The values are
// worked out by hand from the calibration table; the zones have offsets of either sign and a
// half hour, written without the zone database.
TEST_F(TripLog, TheHeaderNamesTheUnitsAndARowHoldsTheLinesValuesAndTheTotals) {
    const struct {
        int32_t temperatureUnit, distanceUnit;
        const char* temperature;
        const char* distance[4]; // speed, per distance, per distance now, total
        const char* zone;
        const char* offset;
    } cases[] = {
        {0, 0, "c", {"kmh", "km", "km", "km"}, "UTC0", "+00:00"},
        {1, 0, "f", {"kmh", "km", "km", "km"}, "IST-5:30", "+05:30"},
        {0, 1, "c", {"mph", "mile", "mile", "miles"}, "NST3:30", "-03:30"},
        {2, 2, "c", {"kmh", "km", "km", "km"}, "XST11", "-11:00"}, // only 1 is the other unit
    };
    const ScratchFolder folder("kv-trip");
    int file = 0;
    for (const auto& c : cases) {
        const TimeZoneGuard zone(c.zone);
        settings.temperatureUnit = c.temperatureUnit;
        settings.distanceUnit = c.distanceUnit;
        const std::string name = folder.path + "/trip" + std::to_string(++file) + ".csv";
        const int descriptors = openDescriptorCount();
        const int64_t before = wallMsNow();
        openTripLog(name.c_str(), 4000);
        const int64_t after = wallMsNow();
        const std::string header =
            std::string("time,ms,throttle_pct,motor_rpm,duty_cycle_pct,controller_temp_") +
            c.temperature +
            ",motor_voltage_v,motor_current_a,motor_current_limit_a,battery_voltage_v,speed_" +
            c.distance[0] + ",battery_current_a,battery_power_kw,wh_per_" + c.distance[1] +
            ",wh_per_" + c.distance[2] +
            "_now,stopped,shifting,main_contactor_on,motor_contactors_on,reverse,forward,"
            "motors_parallel,motors_series,voltage_drop_warning,charge_ah,energy_kwh,distance_" +
            c.distance[3] + "\r\n";
        EXPECT_EQ(readFile(name), header) << "written out as soon as the log opens";

        const float raw[9] = {156, 31, 41, 52, 127, 68, 61, 42, 9};
        std::copy(raw, raw + 9, telemetry.rawChannels);
        telemetry.statusFlags = StatusFlags{1, 0, 1, 1, 0, 1, 0, 1, 0};
        tripTotals.chargeAmpMs = 5e6;  // 1.3888888888888888 A.h
        tripTotals.energyWattMs = 5e8; // 0.1388888888888889 kW.h, 138.9 Wh
        tripTotals.distance = 3.42;    // 40.61078622482131 Wh per km
        writeTripRow(4007);
        const std::string written = readFile(name);
        ASSERT_EQ(written.substr(0, header.size()), header);
        const std::string row = written.substr(header.size());
        const std::string time = row.substr(0, row.find(','));
        EXPECT_EQ(time.substr(23), c.offset) << time;
        const int64_t rowMs = isoTimeMs(time);
        EXPECT_GE(rowMs, before + 7) << time;
        EXPECT_LE(rowMs, after + 7) << time;
        EXPECT_EQ(row.substr(time.size()),
                  ",7,60.283688,3100,79.874214,23.030302,106.98828,205,260,119.265625,38.440002,"
                  "163.74214,19.528809,40.610786,508.0335,"
                  "1,0,1,1,0,1,0,1,0,1.3888888888888888,0.1388888888888889,3.42\r\n")
            << "flushed with every row";
        closeTripLog();
        EXPECT_EQ(tripLog, nullptr);
        EXPECT_EQ(openDescriptorCount(), descriptors);
        writeTripRow(4010); // no log open: nothing anywhere
    }

    // A name that is taken is left as it is, and the reason goes to standard error; the log
    // still open from before is closed all the same.
    const std::string taken = folder.path + "/taken.csv";
    std::FILE* earlier = std::fopen(taken.c_str(), "w");
    ASSERT_NE(earlier, nullptr);
    std::fputs("an earlier drive\r\n", earlier);
    std::fclose(earlier);
    const int descriptors = openDescriptorCount();
    openTripLog((folder.path + "/open.csv").c_str(), 0);
    ::testing::internal::CaptureStderr();
    openTripLog(taken.c_str(), 0);
    writeTripRow(5);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "KestroView: cannot write the trip log " + taken + ": File exists\n");
    EXPECT_EQ(tripLog, nullptr);
    EXPECT_EQ(openDescriptorCount(), descriptors);
    EXPECT_EQ(readFile(taken), "an earlier drive\r\n");
}

TEST(TripLogName, PairsWithTheCaptureLogSuffixIncluded) {
    const char* const pairs[][2] = {
        {"/var/tmp/kestro_original_1796710054.log", "/var/tmp/kestro_trip_1796710054.csv"},
        {"/var/tmp/kestro_original_-5_2.log", "/var/tmp/kestro_trip_-5_2.csv"},
    };
    for (const auto& pair : pairs) {
        char name[256];
        tripLogName(pair[0], name, sizeof name);
        EXPECT_STREQ(name, pair[1]);
    }
}

// What a user who is not root is told when COM1, a link to target made depth folders (each of a
// long name) below folder, may not be opened, with the user's name on a line of its own. As root
// every open succeeds, so the open runs in a child that gives up root first; the child makes and
// removes the folders, which only it can reach by name.
std::string refusedOpen(const std::string& folder, const std::string& target, int depth) {
    return runUnprivileged([&] {
        const std::string name(250, 'd');
        int made = 0;
        bool ready = chdir(folder.c_str()) == 0;
        for (; ready && made < depth; ++made) {
            ready = mkdir(name.c_str(), 0755) == 0 && chdir(name.c_str()) == 0;
        }
        ready = ready && symlink(target.c_str(), "COM1") == 0;
        std::string said = std::string("no COM1 in ") + folder;
        if (ready && openDevice("COM1")) {
            said = "opened";
        } else if (ready) {
            const int code = errno;
            char text[8192];
            openFailureText(code, "COM1", text, sizeof text);
            const passwd* user = getpwuid(geteuid());
            said = std::string(text) + "\n" + (user != nullptr ? user->pw_name : "");
        }
        closeDevice();
        unlink("COM1");
        for (; made > 0 && chdir("..") == 0; --made) {
            rmdir(name.c_str());
        }
        return said;
    });
}

std::string permissionHelp(const std::string& device, const std::string& group,
                           const std::string& user) {
    return "Permission denied. " + device + " belongs to the group \"" + group +
           "\": the user may need to join it (sudo adduser " + user + " " + group +
           ") and log in again.";
}

// Serial devices are opened by members of their group, which the message names; the test's own
// terminal, mode 0, may be opened by nobody but root. A device that cannot even be looked at is
// no matter of its group, nor is a device whose group has no name (no members to join); a
// device whose full name is too long to spell out is named as the user chose it.
TEST_F(TripLog, APortThatMayNotBeOpenedNamesItsDeviceAndGroup) {
    TerminalPair pair = openTerminalPair();
    ASSERT_FALSE(pair.slavePath.empty());
    ASSERT_EQ(chmod(pair.slavePath.c_str(), 0), 0);
    struct stat info;
    ASSERT_EQ(stat(pair.slavePath.c_str(), &info), 0);
    const group* owner = getgrgid(info.st_gid);
    ASSERT_NE(owner, nullptr);
    const std::string groupName = owner->gr_name;
    const std::string folder = makeScratchFolder("permission");
    const std::string locked = folder + "/locked";
    ASSERT_EQ(mkdir(locked.c_str(), 0700), 0);
    ASSERT_EQ(symlink(pair.slavePath.c_str(), (locked + "/tty").c_str()), 0);
    ASSERT_EQ(chmod(locked.c_str(), 0), 0);
    ASSERT_EQ(chmod(folder.c_str(), 0777), 0);
    const struct Case {
        const char* what;
        std::string target;
        int depth;
        bool nameless;      // the device's group has no name
        std::string device; // named in the message; empty for the bare system text
    } cases[] = {
        {"the device may not be opened", pair.slavePath, 0, false, pair.slavePath},
        {"a folder on the way is closed", locked + "/tty", 0, false, ""},
        {"the full name is longer than a path may be", pair.slavePath, 20, false, "COM1"},
        {"the device's group has no name", pair.slavePath, 0, true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        namelessGroup = c.nameless ? static_cast<long>(info.st_gid) : -1;
        const std::string reply = refusedOpen(folder, c.target, c.depth);
        namelessGroup = -1;
        const std::string user = reply.substr(reply.find('\n') + 1);
        EXPECT_EQ(reply.substr(0, reply.find('\n')),
                  c.device.empty() ? "Permission denied"
                                   : permissionHelp(c.device, groupName, user));
    }
    closeTerminalPair(pair);
}
} // namespace
