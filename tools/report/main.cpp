// kestroview-report: turns a trip log into one HTML page with the trip's figures and charts.
// The trip log is read whole before anything is written, so bad input leaves no file behind.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "tools/report/chart_data.h"
#include "tools/report/report_file.h"
#include "tools/report/report_page.h"
#include "tools/report/trip_figures.h"
#include "tools/report/trip_reader.h"

extern char** environ;

namespace {
const char* const tripFolder = "/var/tmp";

const char* const helpText =
    "Usage: kestroview-report [TRIP.csv] [-o REPORT.html] [--open]\n"
    "Turns a trip log of the KestroView dashboard into a report: one HTML file that holds\n"
    "everything it shows and fetches nothing, so it opens offline in any browser.\n"
    "\n"
    "  TRIP.csv        the trip log (default: the newest /var/tmp/kestro_trip_T.csv this user\n"
    "                  can read, by its start time T; the one taken is named)\n"
    "  -o REPORT.html  where to write the report (default: beside the trip log, its .csv\n"
    "                  replaced by .html); an existing file there is replaced. The report\n"
    "                  gets the trip log's permissions\n"
    "  --open          show the report with xdg-open once it is written\n"
    "  --help          show this text\n"
    "\n"
    "The report holds a summary of the trip (its start from T in local time, duration,\n"
    "distance, energy and charge used, average energy per distance and that of the best minute,\n"
    "average and top speed, peak battery current and power, lowest battery voltage, highest\n"
    "controller temperature, time with the voltage-drop warning, and the battery's open-circuit\n"
    "voltage and internal resistance from a least-squares line through all its volts-against-\n"
    "amps samples); charts over time with a shared cursor and zoom (speed, battery and motor\n"
    "current, battery voltage and power, controller temperature, energy per distance, the\n"
    "status flags); the volts-against-amps samples with the line; and the line's two figures\n"
    "fitted over each minute of driving. Units are those of the trip log's columns.\n"
    "\n"
    "Distance, energy and charge are differences from the trip log's first row: the dashboard\n"
    "counts them from its own start. A minute is 60 s of the trip counted from its first row; a\n"
    "minute of driving is one in which the distance grew. Battery samples are the rows whose\n"
    "current and voltage are both non-zero, as for the dashboard's battery model.\n"
    "\n"
    "A trip log that a running dashboard is still writing is read up to its last complete row.\n"
    "A trip log with its header row only gives a report that says no data was received.\n"
    "Anything that is not a trip log is refused with the line at fault, and nothing is written.\n"
    "\n"
    "Exit status: 0 when the report was written (and, with --open, handed to xdg-open), 1 when\n"
    "it was not, 2 for a wrong command line.\n";

struct Options {
    std::string trip;
    std::string output;
    bool open = false;
};

int usage(const char* problem, const char* what) {
    std::fprintf(stderr, "kestroview-report: %s%s\nTry kestroview-report --help\n", problem, what);
    return 2;
}

// -1 to go on, otherwise the exit code.
int parseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help") {
            std::fputs(helpText, stdout);
            return 0;
        } else if (arg == "--open") {
            options.open = true;
        } else if (arg == "-o") {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') {
                return usage("-o needs the report's file name", "");
            }
            options.output = argv[++i];
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usage("unknown option: ", arg.c_str());
        } else if (options.trip.empty() && !arg.empty()) {
            options.trip = arg;
        } else {
            return usage("one trip log at a time: ", arg.c_str());
        }
    }
    return -1;
}

int fail(const std::string& what) {
    std::fprintf(stderr, "kestroview-report: %s\n", what.c_str());
    return 1;
}

bool showReport(const std::string& path) {
    const char* argv[] = {"xdg-open", path.c_str(), nullptr};
    pid_t child = 0;
    const int error =
        posix_spawnp(&child, "xdg-open", nullptr, nullptr, const_cast<char* const*>(argv), environ);
    if (error != 0) {
        std::fprintf(stderr, "kestroview-report: cannot run xdg-open (%s): open %s yourself\n",
                     std::strerror(error), path.c_str());
        return false;
    }
    return true;
}
} // namespace

int main(int argc, char** argv) {
    Options options;
    const int early = parseOptions(argc, argv, options);
    if (early >= 0) {
        return early;
    }
    const bool chosen = options.trip.empty();
    if (chosen) {
        options.trip = newestTripLog(tripFolder);
        if (options.trip.empty()) {
            return fail(std::string("no trip log in ") + tripFolder +
                        " that this user can read (kestro_trip_T.csv); name one");
        }
        std::printf("Trip log: %s (the newest in %s)\n", options.trip.c_str(), tripFolder);
    }
    if (options.output.empty()) {
        options.output = reportPathFor(options.trip);
    }
    // A file picked from the shared folder must still be a plain file when it is opened.
    const int fd =
        open(options.trip.c_str(), O_RDONLY | O_CLOEXEC | (chosen ? O_NOFOLLOW | O_NONBLOCK : 0));
    struct stat info;
    if (fd < 0) {
        return fail("cannot open " + options.trip + ": " + std::strerror(errno));
    }
    if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode) || (chosen && !S_ISREG(info.st_mode))) {
        close(fd);
        return fail(options.trip + " is not a file");
    }
    if (sameFile(options.trip, options.output)) {
        close(fd);
        return fail("the report would replace the trip log itself: choose another -o");
    }

    TripFigures figures;
    ChartData charts;
    ReportSource source{options.trip, {}};
    source.read = readTripLog(fd, [&](const TripRow& row) {
        figures.add(row);
        charts.add(row);
    });
    close(fd);
    if (!source.read.ok) {
        return fail(options.trip + ", " + source.read.error);
    }
    figures.finish();
    if (source.read.partialLine != 0) {
        std::fprintf(stderr,
                     "kestroview-report: %s, line %zu: no line end yet (a dashboard may still "
                     "be writing it): left out\n",
                     options.trip.c_str(), source.read.partialLine);
    }
    if (figures.rows == 0) {
        std::fprintf(stderr, "kestroview-report: %s: no data was received (a header row only)\n",
                     options.trip.c_str());
    }

    ReportFile report(options.output, info.st_mode);
    if (report.stream() == nullptr) {
        return fail(report.error());
    }
    writeReportPage(report.stream(), source, figures, charts);
    if (!report.commit()) {
        return fail(report.error());
    }
    std::printf("Report: %s\n", options.output.c_str());
    std::fflush(stdout);
    if (options.open && !showReport(options.output)) {
        return 1;
    }
    return 0;
}
