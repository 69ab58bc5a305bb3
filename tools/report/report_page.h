// The report as one HTML page that needs nothing beyond itself: the summary table, the charts'
// containers and data, and the chart library and page script compiled into the program. Its
// content security policy forbids fetching anything.
#pragma once
#include <cstdio>
#include <string>

#include "tools/report/chart_data.h"
#include "tools/report/trip_figures.h"
#include "tools/report/trip_reader.h"

struct ReportSource {
    std::string path;    // the trip log, as named to the program
    TripReadResult read; // units, rows, a left-out last line
};

// Writes the whole page to out; the caller checks the stream for errors.
void writeReportPage(std::FILE* out, const ReportSource& source, const TripFigures& figures,
                     const ChartData& charts);

// The start of the link from the trip log's name ("kestro_trip_<T>.csv" or
// "kestro_trip_<T>_<n>.csv", T in seconds since 1970); false for any other name.
bool startTimeFromName(const std::string& path, long long& startSeconds);
