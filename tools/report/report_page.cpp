// Figures are printed in the C locale (the program never sets another), so a dot is the decimal
// mark. Each summary cell also carries its figure in full as data-value, for whoever reads the
// page with a program.
#include "tools/report/report_page.h"

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <regex>
#include <vector>

#include "tools/report/report_assets.h"

namespace {

std::string escapeHtml(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string format(const char* pattern, double value) {
    char text[64];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

std::string clock(double seconds) {
    const long long s = std::llround(seconds);
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
    return text;
}

struct Units {
    const char* distance;
    const char* speed;
    const char* energy; // per distance
    const char* temperature;
};

Units unitsOf(const TripUnits& units) {
    return Units{units.miles ? "miles" : "km", units.miles ? "mph" : "km/h",
                 units.miles ? "W.h/mile" : "W.h/km", units.fahrenheit ? "\u00b0F" : "\u00b0C"};
}

class SummaryTable {
  public:
    explicit SummaryTable(std::FILE* out) : out(out) {}
    void figure(const char* key, const char* label, double value, const std::string& text) {
        std::fprintf(out,
                     "<tr><th>%s</th><td data-figure=\"%s\" data-value=\"%.17g\">%s</td></tr>\n",
                     label, key, value, escapeHtml(text).c_str());
    }
    // A figure the trip does not define: said, with no value.
    void none(const char* key, const char* label, const char* why) {
        std::fprintf(out, "<tr><th>%s</th><td data-figure=\"%s\" class=\"none\">%s</td></tr>\n",
                     label, key, why);
    }

  private:
    std::FILE* out;
};

void writeSummary(std::FILE* out, const ReportSource& source, const TripFigures& f) {
    const Units u = unitsOf(source.read.units);
    SummaryTable table(out);
    std::fputs("<table id=\"summary\">\n", out);
    long long start = 0;
    if (startTimeFromName(source.path, start)) {
        const std::time_t t = static_cast<std::time_t>(start);
        std::tm local{};
        char text[64] = "";
        localtime_r(&t, &local);
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S %Z", &local);
        table.figure("start", "Start", static_cast<double>(start), text);
    } else {
        table.none("start", "Start", "unknown: the file's name holds no start time");
    }
    if (f.rows == 0) {
        std::fputs("</table>\n", out);
        return;
    }
    const double distance = f.total(Distance);
    table.figure("duration_s", "Duration", f.seconds(), clock(f.seconds()));
    table.figure("distance", "Distance", distance, format("%.2f ", distance) + u.distance);
    table.figure("energy_kwh", "Energy used", f.total(Energy),
                 format("%.3f kW.h", f.total(Energy)));
    table.figure("charge_ah", "Charge used", f.total(Charge), format("%.2f A.h", f.total(Charge)));
    double wh = 0;
    if (energyPerDistance(f.total(Energy), distance, wh)) {
        table.figure("wh_per_distance_average", "Energy per distance, average", wh,
                     format("%.0f ", wh) + u.energy);
    } else {
        table.none("wh_per_distance_average", "Energy per distance, average",
                   "none: no distance covered");
    }
    // A trip of less than a minute has no whole minute: its one part-minute is no "best minute",
    // nor "1 minute of driving".
    const bool underAMinute = f.seconds() < 60.0;
    if (underAMinute) {
        table.none("wh_per_distance_best", "Energy per distance, best minute",
                   "none: the trip lasted less than a minute");
    } else if (bestMinuteEnergy(f, wh)) {
        table.figure("wh_per_distance_best", "Energy per distance, best minute", wh,
                     format("%.0f ", wh) + u.energy);
    } else {
        table.none("wh_per_distance_best", "Energy per distance, best minute",
                   "none: no minute of driving");
    }
    if (f.seconds() > 0) {
        const double average = distance / (f.seconds() / 3600.0);
        table.figure("speed_average", "Speed, average", average,
                     format("%.1f ", average) + u.speed);
    } else {
        table.none("speed_average", "Speed, average", "none: the trip lasted no time");
    }
    table.figure("speed_top", "Speed, top", f.topSpeed, format("%.1f ", f.topSpeed) + u.speed);
    table.figure("battery_current_peak", "Battery current, peak", f.peakCurrent,
                 format("%.1f A", f.peakCurrent));
    table.figure("battery_power_peak", "Battery power, peak", f.peakPower,
                 format("%.2f kW", f.peakPower));
    table.figure("battery_voltage_lowest", "Battery voltage, lowest", f.lowestVoltage,
                 format("%.1f V", f.lowestVoltage));
    table.figure("controller_temp_highest", "Controller temperature, highest", f.highestTemp,
                 format("%.1f ", f.highestTemp) + u.temperature);
    table.figure("voltage_drop_warning_s", "Time with the voltage-drop warning", f.warningSeconds,
                 clock(f.warningSeconds));
    if (f.fit.valid) {
        table.figure("voc", "Battery open-circuit voltage, whole trip", f.fit.voc,
                     format("%.1f V", f.fit.voc));
        table.figure("rint", "Battery internal resistance, whole trip", -f.fit.slope,
                     format("%.3f ohm", -f.fit.slope));
    } else {
        table.none("voc", "Battery open-circuit voltage, whole trip",
                   "none: the currents never differed enough to fit a line");
    }
    std::size_t driven = 0;
    for (const MinuteFigures& m : f.minutes) {
        driven += m.driven() ? 1 : 0;
    }
    if (underAMinute) {
        table.none("minutes_driving", "Minutes of driving",
                   "none: the trip lasted less than a minute");
    } else {
        table.figure("minutes_driving", "Minutes of driving", static_cast<double>(driven),
                     std::to_string(driven));
    }
    table.figure("rows", "Rows", static_cast<double>(f.rows), std::to_string(f.rows));
    std::fputs("</table>\n", out);
}

// A chart's place: the page script draws into it and marks it data-drawn.
void chartBox(std::FILE* out, const char* name, const char* title) {
    std::fprintf(out, "<h2>%s</h2>\n<div class=\"chart\" data-chart=\"%s\"></div>\n", title, name);
}

void writeCharts(std::FILE* out, const ReportSource& source, const TripFigures& f,
                 const ChartData& charts) {
    const Units u = unitsOf(source.read.units);
    std::fputs("<p class=\"note\">Drag across a chart to zoom in, double-click to zoom out; the "
               "cursor and the zoom are shared by every chart over time. Times run from the start "
               "of the link. Over a long trip each pixel column of a chart keeps the lowest and "
               "highest value of its rows.</p>\n",
               out);
    chartBox(out, "speed", "Speed");
    chartBox(out, "current", "Battery and motor current");
    chartBox(out, "voltage", "Battery voltage");
    chartBox(out, "power", "Battery power");
    chartBox(out, "temperature", "Controller temperature");
    chartBox(out, "energy", "Energy per distance");
    chartBox(out, "flags", "Status");
    if (f.sampleCurrents.empty()) {
        std::fputs("<h2>Battery volts against amps</h2>\n<p>No battery samples: the current or "
                   "the voltage was zero on every row.</p>\n",
                   out);
    } else {
        chartBox(out, "battery", "Battery volts against amps, with the least-squares line");
    }
    bool trend = false;
    for (const MinuteFigures& m : f.minutes) {
        trend = trend || (m.driven() && m.fit.valid);
    }
    if (trend) {
        chartBox(out, "trend",
                 "Open-circuit voltage and internal resistance per minute of driving");
    } else {
        std::fputs("<h2>Open-circuit voltage and internal resistance per minute of driving</h2>\n"
                   "<p>No minute of driving with currents that fix a line.</p>\n",
                   out);
    }
    double average = 0;
    const bool hasAverage = energyPerDistance(f.total(Energy), f.total(Distance), average);
    std::fprintf(out,
                 "<script id=\"kv-data\" type=\"application/json\">{\"units\":{\"distance\":\"%s\","
                 "\"speed\":\"%s\",\"energy\":\"%s\",\"temperature\":\"%s\"},\"whAverage\":",
                 u.distance, u.speed, u.energy, u.temperature);
    if (hasAverage) {
        std::fprintf(out, "%.17g", average);
    } else {
        std::fputs("null", out);
    }
    std::fputs(",\"charts\":", out);
    charts.writeJson(out, f);
    std::fputs("}</script>\n<script>", out);
    std::fputs(uplotScript, out);
    std::fputs("</script>\n<script>", out);
    std::fputs(pageScript, out);
    std::fputs("</script>\n", out);
}

} // namespace

bool startTimeFromName(const std::string& path, long long& startSeconds) {
    static const std::regex name("(?:^|/)kestro_trip_(-?[0-9]{1,10})(?:_[0-9]+)?\\.csv$");
    std::smatch match;
    if (!std::regex_search(path, match, name)) {
        return false;
    }
    startSeconds = std::strtoll(match[1].str().c_str(), nullptr, 10);
    return true;
}

void writeReportPage(std::FILE* out, const ReportSource& source, const TripFigures& figures,
                     const ChartData& charts) {
    const std::string name = escapeHtml(source.path);
    std::fprintf(
        out,
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
        "script-src 'unsafe-inline'; style-src 'unsafe-inline'; img-src data:\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
        "<title>Trip report: %s</title>\n<style>\n%s\n%s</style>\n</head>\n<body>\n"
        "<h1>Trip report</h1>\n<p class=\"source\">From the trip log <code>%s</code>.</p>\n",
        name.c_str(), uplotStyle, pageStyle, name.c_str());
    if (figures.rows == 0) {
        std::fputs("<p id=\"no-data\">No data was received: the trip log holds its header row "
                   "only.</p>\n",
                   out);
    }
    writeSummary(out, source, figures);
    if (source.read.partialLine != 0) {
        std::fprintf(
            out,
            "<p class=\"note\" id=\"partial\">Line %zu has no line end yet (a dashboard may "
            "still be writing this trip log): it is left out.</p>\n",
            source.read.partialLine);
    }
    if (figures.rows > 0) {
        std::fputs("<p class=\"note\">Distance, energy and charge are the differences between the "
                   "trip log's first and last rows: the dashboard counts them from its own start, "
                   "which may be before this start of the link. A minute is 60 s of the trip, "
                   "counted from its first row; a minute of driving is one in which the distance "
                   "grew. Each row's flags count for the time since the row before it.</p>\n",
                   out);
        writeCharts(out, source, figures, charts);
    }
    std::fputs("</body>\n</html>\n", out);
}
