// kestroview-report: turns a trip log into one HTML page with the trip's figures and charts, or
// trip logs into a spreadsheet. The output is put in place only once every trip log was read
// whole, so bad input leaves no file behind.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "tools/report/chart_data.h"
#include "tools/report/report_file.h"
#include "tools/report/report_page.h"
#include "tools/report/trip_figures.h"
#include "tools/report/trip_reader.h"
#include "tools/report/trip_workbook.h"

extern char** environ;

namespace {
const char* const tripFolder = "/var/tmp";

const char* const helpText =
    "Usage: kestroview-report [TRIP.csv] [-o REPORT.html] [--open]\n"
    "       kestroview-report --xlsx [TRIP.csv]... [-o TRIP.xlsx]\n"
    "Turns a trip log of the KestroView dashboard into a report: one HTML file that holds\n"
    "everything it shows and fetches nothing, so it opens offline in any browser.\n"
    "\n"
    "  TRIP.csv        the trip log (default: the newest /var/tmp/kestro_trip_T.csv this user\n"
    "                  can read, by its start time T; the one taken is named)\n"
    "  -o REPORT.html  where to write the report (default: beside the trip log, its .csv\n"
    "                  replaced by .html); an existing file there is replaced. The report\n"
    "                  gets the trip log's permissions\n"
    "  --open          show the report with xdg-open once it is written\n"
    "  --xlsx          write the trip logs as a spreadsheet instead, one sheet each (default\n"
    "                  place: beside the first, its .csv replaced by .xlsx): every figure a\n"
    "                  number, the local time a date-time, the units in the frozen header row,\n"
    "                  so that a spreadsheet reads it alike in every locale\n"
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
    std::vector<std::string> trips;
    std::string output;
    bool open = false;
    bool xlsx = false;
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
        } else if (arg == "--xlsx") {
            options.xlsx = true;
        } else if (arg == "-o") {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') {
                return usage("-o needs the report's file name", "");
            }
            options.output = argv[++i];
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usage("unknown option: ", arg.c_str());
        } else if (!arg.empty()) {
            options.trips.push_back(arg);
        } else {
            return usage("an empty trip log name", "");
        }
    }
    if (options.trips.size() > 1 && !options.xlsx) {
        return usage("one trip log at a time (or several with --xlsx): ", options.trips[1].c_str());
    }
    if (options.open && options.xlsx) {
        return usage("--open is for the HTML report, not --xlsx", "");
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

// A trip log opened for reading, with its permission bits.
struct OpenTrip {
    int fd = -1;
    unsigned mode = 0;
};

// A file picked from the shared folder must still be a plain file when it is opened. "" when it
// is open, otherwise what is wrong.
std::string openTrip(const std::string& path, bool chosen, const std::string& output,
                     OpenTrip& trip) {
    trip.fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | (chosen ? O_NOFOLLOW | O_NONBLOCK : 0));
    if (trip.fd < 0) {
        return "cannot open " + path + ": " + std::strerror(errno);
    }
    struct stat info;
    if (fstat(trip.fd, &info) != 0 || S_ISDIR(info.st_mode) || (chosen && !S_ISREG(info.st_mode))) {
        return path + " is not a file";
    }
    trip.mode = info.st_mode;
    if (sameFile(path, output)) {
        return "the report would replace the trip log itself (" + path + "): choose another -o";
    }
    return "";
}

// The trip logs as one workbook, with the permissions that all of them allow.
int writeWorkbook(const Options& options, bool chosen) {
    std::vector<OpenTrip> trips(options.trips.size());
    unsigned mode = 0666;
    std::string problem;
    for (std::size_t i = 0; i < trips.size() && problem.empty(); ++i) {
        problem = openTrip(options.trips[i], chosen, options.output, trips[i]);
        mode &= trips[i].mode;
    }
    if (problem.empty()) {
        TripWorkbook book(options.output, mode);
        problem = book.error();
        for (std::size_t i = 0; i < trips.size() && problem.empty(); ++i) {
            if (!book.addTrip(options.trips[i], trips[i].fd)) {
                problem = book.error();
            }
        }
        for (const std::string& note : book.notes()) {
            std::fprintf(stderr, "kestroview-report: %s\n", note.c_str());
        }
        if (problem.empty() && !book.commit()) {
            problem = book.error();
        }
    }
    for (const OpenTrip& trip : trips) {
        if (trip.fd >= 0) {
            close(trip.fd);
        }
    }
    if (!problem.empty()) {
        return fail(problem);
    }
    std::printf("Workbook: %s\n", options.output.c_str());
    return 0;
}
} // namespace

int main(int argc, char** argv) {
    Options options;
    const int early = parseOptions(argc, argv, options);
    if (early >= 0) {
        return early;
    }
    const bool chosen = options.trips.empty();
    if (chosen) {
        const std::string newest = newestTripLog(tripFolder);
        if (newest.empty()) {
            return fail(std::string("no trip log in ") + tripFolder +
                        " that this user can read (kestro_trip_T.csv); name one");
        }
        std::printf("Trip log: %s (the newest in %s)\n", newest.c_str(), tripFolder);
        options.trips.push_back(newest);
    }
    if (options.output.empty()) {
        options.output = reportPathFor(options.trips[0], options.xlsx ? ".xlsx" : ".html");
    }
    if (options.xlsx) {
        return writeWorkbook(options, chosen);
    }
    OpenTrip trip;
    const std::string problem = openTrip(options.trips[0], chosen, options.output, trip);
    if (!problem.empty()) {
        if (trip.fd >= 0) {
            close(trip.fd);
        }
        return fail(problem);
    }
    const int fd = trip.fd;
    const std::string& tripPath = options.trips[0];

    TripFigures figures;
    ChartData charts;
    ReportSource source{tripPath, {}};
    source.read = readTripLog(fd, [&](const TripRow& row) {
        figures.add(row);
        charts.add(row);
    });
    close(fd);
    if (!source.read.ok) {
        return fail(tripPath + ", " + source.read.error);
    }
    figures.finish();
    if (source.read.partialLine != 0) {
        std::fprintf(stderr,
                     "kestroview-report: %s, line %zu: no line end yet (a dashboard may still "
                     "be writing it): left out\n",
                     tripPath.c_str(), source.read.partialLine);
    }
    if (figures.rows == 0) {
        std::fprintf(stderr, "kestroview-report: %s: no data was received (a header row only)\n",
                     tripPath.c_str());
    }

    ReportFile report(options.output, trip.mode);
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
