// kestroview-trip-maker: a trip log of a simulated drive, made in one go. The drive model's lines
// go through the dashboard's own parse, totals and trip log writer, one line per frame at a steady
// rate on a counted clock, so the rows are those a dashboard would write, without the wait.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "drive_model.h"
#include "link/quantities.h"
#include "link/telemetry.h"
#include "link/trip_log.h"
#include "shell/settings.h"

namespace {
const char* const helpText =
    "Usage: kestroview-trip-maker OUT.csv [options]\n"
    "Writes the trip log of a simulated drive (the simulator's drive) through the dashboard's\n"
    "trip log writer: one row per line, lines at a steady rate, no waiting. OUT.csv must not\n"
    "exist.\n"
    "\n"
    "Options:\n"
    "  --rows N        rows to write (default 1800)\n"
    "  --rate R        lines a second (default 30)\n"
    "  --warm-up S     seconds driven before the trip log opens, so its totals start above zero\n"
    "                  as after an earlier start of the link (default 0)\n"
    "  --voc V         battery open-circuit voltage at the start (default 120)\n"
    "  --voc-fall V    volts the open-circuit voltage falls per hour of the trip (default 0)\n"
    "  --rint R        battery internal resistance in ohms (default 0.05)\n"
    "  --miles         miles and mph instead of km and km/h\n"
    "  --fahrenheit    degrees Fahrenheit instead of Celsius\n"
    "  --help          show this text\n";

bool readNumber(int argc, char** argv, int& i, double& value) {
    if (i + 1 >= argc) {
        std::fprintf(stderr, "kestroview-trip-maker: %s needs a value\n", argv[i]);
        return false;
    }
    char* end = nullptr;
    value = std::strtod(argv[++i], &end);
    if (end == argv[i] || *end != '\0') {
        std::fprintf(stderr, "kestroview-trip-maker: %s: not a number: %s\n", argv[i - 1], argv[i]);
        return false;
    }
    return true;
}
} // namespace

int main(int argc, char** argv) {
    const char* out = nullptr;
    double rows = 1800;
    double rate = 30;
    double warmUp = 0;
    double fallPerHour = 0;
    DriveParameters drive{120.0, 0.05, 5.0};
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        bool ok = true;
        if (std::strcmp(arg, "--help") == 0) {
            std::fputs(helpText, stdout);
            return 0;
        } else if (std::strcmp(arg, "--miles") == 0) {
            settings.distanceUnit = 1;
            settings.rpmToSpeed = 0.0077f; // the same wheel as 0.0124 km/h per RPM
        } else if (std::strcmp(arg, "--fahrenheit") == 0) {
            settings.temperatureUnit = 1;
        } else if (std::strcmp(arg, "--rows") == 0) {
            ok = readNumber(argc, argv, i, rows);
        } else if (std::strcmp(arg, "--rate") == 0) {
            ok = readNumber(argc, argv, i, rate) && rate > 0 && rate <= 1000;
        } else if (std::strcmp(arg, "--warm-up") == 0) {
            ok = readNumber(argc, argv, i, warmUp);
        } else if (std::strcmp(arg, "--voc") == 0) {
            ok = readNumber(argc, argv, i, drive.voc);
        } else if (std::strcmp(arg, "--voc-fall") == 0) {
            ok = readNumber(argc, argv, i, fallPerHour);
        } else if (std::strcmp(arg, "--rint") == 0) {
            ok = readNumber(argc, argv, i, drive.rint);
        } else if (arg[0] != '-' && out == nullptr) {
            out = arg;
        } else {
            std::fprintf(stderr, "kestroview-trip-maker: unknown option: %s\n", arg);
            ok = false;
        }
        if (!ok) {
            std::fputs("Try kestroview-trip-maker --help\n", stderr);
            return 2;
        }
    }
    if (out == nullptr) {
        std::fputs(helpText, stderr);
        return 2;
    }
    applyCalibrationOverrides();

    // Frames of whole milliseconds whose sum keeps to the rate.
    DriveState state;
    uint64_t line = 0;
    uint32_t tick = 1000;
    const auto nextFrame = [&] {
        const auto elapsed = static_cast<uint32_t>((line + 1) * 1000 / rate) -
                             static_cast<uint32_t>(line * 1000 / rate);
        ++line;
        tick += elapsed;
        parseReplyLine(nextDriveLine(state, drive, elapsed / 1000.0).c_str());
        return elapsed;
    };
    const double startVoc = drive.voc;
    while (line < warmUp * rate) {
        accumulateFrame(nextFrame());
    }
    openTripLog(out, tick);
    if (tripLog == nullptr) {
        return 1;
    }
    // The link spends its first moments on the start sequences, as a real start does.
    tick += 1500;
    const uint32_t tripStart = tick;
    for (uint64_t row = 0; row < static_cast<uint64_t>(rows); ++row) {
        drive.voc = startVoc - fallPerHour * (tick - tripStart) / 3.6e6;
        const uint32_t elapsed = nextFrame();
        writeTripRow(tick);
        accumulateFrame(elapsed);
    }
    const bool written = std::ferror(tripLog) == 0;
    closeTripLog();
    return written ? 0 : 1;
}
