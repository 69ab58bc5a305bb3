// Reports of simulated drives opened in a real browser (headless Chromium): no console message
// (a blocked fetch would log one), every chart drawn, and every summary figure equal to the
// figure computed here from the same trip log by the meaning of its columns.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <ctime>
#include <gtest/gtest.h>
#include <limits>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/process.h"

namespace {

struct Csv {
    std::vector<std::string> names;
    std::vector<std::vector<double>> rows;

    std::vector<double> column(const std::string& name) const {
        const auto at = std::find(names.begin(), names.end(), name);
        EXPECT_NE(at, names.end()) << name;
        std::vector<double> values;
        for (const auto& row : rows) {
            values.push_back(at == names.end() ? 0.0 : row[at - names.begin()]);
        }
        return values;
    }
};

Csv readCsv(const std::string& text) {
    Csv csv;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        line.pop_back(); // the CR
        std::istringstream cells(line);
        std::string cell;
        std::vector<double> row;
        const bool header = csv.names.empty();
        while (std::getline(cells, cell, ',')) {
            if (header) {
                csv.names.push_back(cell);
            } else {
                row.push_back(std::strtod(cell.c_str(), nullptr)); // the time's is not used
            }
        }
        if (!header) {
            csv.rows.push_back(row);
        }
    }
    return csv;
}

// The figures by their definitions: totals are last minus first row; each row's flag counts
// for the time since the row before; minutes are 60 s spans from the first row, each running
// to the next minute's first row; the battery line is fitted over the rows whose current and
// voltage are both non-zero, with the textbook formulas. Besides the summary: the line of each
// minute of driving, and the range of the battery samples.
struct Expected {
    std::map<std::string, double> figures;
    std::vector<double> trendStarts, trendVoc, trendRint;
    double lowAmps = 1e300, highAmps = -1e300, lowVolts = 1e300, highVolts = -1e300;
    std::size_t samples = 0;
};

Expected expectedFigures(const Csv& csv, bool miles, bool fahrenheit) {
    const std::vector<double> ms = csv.column("ms");
    const std::vector<double> speed = csv.column(miles ? "speed_mph" : "speed_kmh");
    const std::vector<double> amps = csv.column("battery_current_a");
    const std::vector<double> volts = csv.column("battery_voltage_v");
    const std::vector<double> kw = csv.column("battery_power_kw");
    const std::vector<double> temp =
        csv.column(fahrenheit ? "controller_temp_f" : "controller_temp_c");
    const std::vector<double> warning = csv.column("voltage_drop_warning");
    const std::vector<double> energy = csv.column("energy_kwh");
    const std::vector<double> charge = csv.column("charge_ah");
    const std::vector<double> distance = csv.column(miles ? "distance_miles" : "distance_km");
    const std::size_t n = ms.size();

    Expected e;
    std::map<std::string, double>& f = e.figures;
    f["rows"] = static_cast<double>(n);
    f["duration_s"] = (ms[n - 1] - ms[0]) / 1000;
    f["distance"] = distance[n - 1] - distance[0];
    f["energy_kwh"] = energy[n - 1] - energy[0];
    f["charge_ah"] = charge[n - 1] - charge[0];
    f["wh_per_distance_average"] = f["energy_kwh"] * 1000 / f["distance"];
    f["speed_average"] = f["distance"] / (f["duration_s"] / 3600);
    f["speed_top"] = *std::max_element(speed.begin(), speed.end());
    f["battery_current_peak"] = *std::max_element(amps.begin(), amps.end());
    f["battery_power_peak"] = *std::max_element(kw.begin(), kw.end());
    f["battery_voltage_lowest"] = *std::min_element(volts.begin(), volts.end());
    f["controller_temp_highest"] = *std::max_element(temp.begin(), temp.end());
    double warned = 0;
    for (std::size_t i = 1; i < n; ++i) {
        warned += warning[i] != 0 ? (ms[i] - ms[i - 1]) / 1000 : 0;
    }
    f["voltage_drop_warning_s"] = warned;

    std::vector<std::size_t> minuteStarts{0};
    for (std::size_t i = 1; i < n; ++i) {
        if (std::floor((ms[i] - ms[0]) / 60000) != std::floor((ms[i - 1] - ms[0]) / 60000)) {
            minuteStarts.push_back(i);
        }
    }
    // voc, rint and the number of samples of the rows [a, b).
    const auto fit = [&](std::size_t a, std::size_t b) {
        double count = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
        for (std::size_t i = a; i < b; ++i) {
            if (amps[i] != 0 && volts[i] != 0) {
                count += 1;
                sx += amps[i];
                sy += volts[i];
                sxx += amps[i] * amps[i];
                sxy += amps[i] * volts[i];
            }
        }
        const double slope = (count * sxy - sx * sy) / (count * sxx - sx * sx);
        return std::array<double, 3>{(sy - slope * sx) / count, -slope, count};
    };
    double best = 1e300;
    int driven = 0;
    for (std::size_t k = 0; k < minuteStarts.size(); ++k) {
        const std::size_t a = minuteStarts[k];
        const std::size_t b = k + 1 < minuteStarts.size() ? minuteStarts[k + 1] : n - 1;
        if (distance[b] > distance[a]) {
            ++driven;
            best = std::min(best, (energy[b] - energy[a]) * 1000 / (distance[b] - distance[a]));
            const auto line = fit(a, k + 1 < minuteStarts.size() ? b : n);
            e.trendStarts.push_back(ms[0] / 1000 + 60 * std::floor((ms[a] - ms[0]) / 60000));
            e.trendVoc.push_back(line[0]);
            e.trendRint.push_back(line[1]);
        }
    }
    f["wh_per_distance_best"] = best;
    f["minutes_driving"] = driven;
    const auto whole = fit(0, n);
    f["voc"] = whole[0];
    f["rint"] = whole[1];
    e.samples = static_cast<std::size_t>(whole[2]);
    for (std::size_t i = 0; i < n; ++i) {
        if (amps[i] != 0 && volts[i] != 0) {
            e.lowAmps = std::min(e.lowAmps, amps[i]);
            e.highAmps = std::max(e.highAmps, amps[i]);
            e.lowVolts = std::min(e.lowVolts, volts[i]);
            e.highVolts = std::max(e.highVolts, volts[i]);
        }
    }
    return e;
}

// Every data-figure cell that carries a value, with its value and its text.
std::map<std::string, std::pair<double, std::string>> pageFigures(const std::string& dom) {
    std::map<std::string, std::pair<double, std::string>> figures;
    const std::string key = "data-figure=\"";
    for (std::size_t at = dom.find(key); at != std::string::npos; at = dom.find(key, at + 1)) {
        const std::size_t nameEnd = dom.find('"', at + key.size());
        const std::string name = dom.substr(at + key.size(), nameEnd - at - key.size());
        const std::string valueKey = " data-value=\"";
        if (dom.compare(nameEnd + 1, valueKey.size(), valueKey) != 0) {
            continue;
        }
        const double value = std::strtod(dom.c_str() + nameEnd + 1 + valueKey.size(), nullptr);
        const std::size_t textStart = dom.find('>', nameEnd) + 1;
        figures[name] = {value, dom.substr(textStart, dom.find('<', textStart) - textStart)};
    }
    return figures;
}

// The numbers of the page data's array "name":[...] after `after`, read as Number is; a null is
// not a number.
template <typename Number>
std::vector<Number> dataArray(const std::string& html, const std::string& name,
                              const std::string& after = "\"charts\":") {
    std::vector<Number> values;
    const std::size_t at = html.find("\"" + name + "\":[", html.find(after));
    EXPECT_NE(at, std::string::npos) << name;
    const char* p = html.c_str() + at + name.size() + 4;
    while (*p != ']') {
        if (std::strncmp(p, "null", 4) == 0) {
            values.push_back(std::numeric_limits<Number>::quiet_NaN());
            p += 4;
        } else {
            char* end = nullptr;
            values.push_back(static_cast<Number>(
                sizeof(Number) == sizeof(float) ? std::strtof(p, &end) : std::strtod(p, &end)));
            p = end;
        }
        p += *p == ',' ? 1 : 0;
    }
    return values;
}

// The lowest and highest number of values, nulls left out.
template <typename Number> std::pair<Number, Number> extremes(const std::vector<Number>& values) {
    std::pair<Number, Number> range(std::numeric_limits<Number>::max(),
                                    std::numeric_limits<Number>::lowest());
    for (const Number v : values) {
        if (!std::isnan(v)) {
            range = {std::min(range.first, v), std::max(range.second, v)};
        }
    }
    return range;
}

int count(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

// The value of the attribute name of the chart box of chart, "" when it has none.
std::string chartAttribute(const std::string& dom, const std::string& chart,
                           const std::string& name) {
    const std::size_t box = dom.find("data-chart=\"" + chart + "\"");
    const std::size_t end = dom.find('>', box);
    const std::size_t at = dom.find(" " + name + "=\"", box);
    if (box == std::string::npos || at == std::string::npos || at > end) {
        return "";
    }
    const std::size_t start = at + name.size() + 3;
    return dom.substr(start, dom.find('"', start) - start);
}

struct Trip {
    const char* name;
    std::vector<std::string> makerArgs;
    bool miles;
    bool fahrenheit;
};

TEST(ReportInBrowser, ChartsDrawSilentlyAndTheSummaryHoldsTheTripsFigures) {
    if (runCommand("command -v chromium").empty()) {
        std::fprintf(stderr, "\n*** SKIPPED: chromium is not installed (tools/setup-deps.sh "
                             "installs it); the report was NOT opened in a browser ***\n\n");
        GTEST_SKIP() << "chromium is not installed";
    }
    const ScratchFolder scratch("kv-report-browser");
    const std::string& folder = scratch.path;
    ASSERT_FALSE(folder.empty());
    const Trip trips[] = {
        // Ten minutes after 20 s of an earlier start (totals start above zero), with a sagging
        // battery that sets off the voltage-drop warning: more rows than chart columns.
        {"kestro_trip_1796710054.csv",
         {"--rows", "18000", "--warm-up", "20", "--rint", "0.2", "--voc-fall", "10"},
         false,
         false},
        {"kestro_trip_1796710999_2.csv", {"--rows", "2400", "--miles", "--fahrenheit"}, true, true},
    };
    for (const Trip& trip : trips) {
        SCOPED_TRACE(trip.name);
        const std::string csvPath = folder + "/" + trip.name;
        const std::string page = folder + "/report.html";
        std::string make = "'" KV_TRIP_MAKER_PATH "' '" + csvPath + "'";
        for (const std::string& arg : trip.makerArgs) {
            make += " " + arg;
        }
        int code = -1;
        runCommand(make, &code);
        ASSERT_EQ(code, 0) << make;
        const std::string said =
            runCommand("'" KV_REPORT_PATH "' '" + csvPath + "' -o '" + page + "' 2>&1", &code);
        ASSERT_EQ(code, 0) << said;
        const std::string html = readFile(page);
        EXPECT_NE(html.find("content=\"default-src 'none'; script-src 'unsafe-inline'; "
                            "style-src 'unsafe-inline'; img-src data:\""),
                  std::string::npos);

        const std::string profile = folder + "/chromium";
        const std::string dom =
            runCommand("cd '" + folder + "' && HOME='" + folder + "' XDG_CONFIG_HOME='" + profile +
                           "' XDG_CACHE_HOME='" + profile +
                           "' timeout 120 chromium --headless --no-sandbox "
                           "--disable-gpu --no-first-run --disable-background-networking "
                           "--disable-component-update --disable-sync --user-data-dir='" +
                           profile + "' --enable-logging=stderr --v=0 --dump-dom 'file://" + page +
                           "' 2>'" + folder + "/chromium.log'",
                       &code);
        ASSERT_EQ(code, 0) << readFile(folder + "/chromium.log");
        std::string consoleLines;
        std::istringstream log(readFile(folder + "/chromium.log"));
        for (std::string line; std::getline(log, line);) {
            consoleLines += line.find(":CONSOLE") != std::string::npos ? line + "\n" : "";
        }
        EXPECT_EQ(consoleLines, "");
        EXPECT_EQ(count(dom, "class=\"chart\""), 9);
        EXPECT_EQ(count(dom, "data-drawn=\"1\""), 9);

        const Csv csv = readCsv(readFile(csvPath));
        ASSERT_GT(csv.rows.size(), 100u);
        const auto shown = pageFigures(dom);
        const Expected e = expectedFigures(csv, trip.miles, trip.fahrenheit);
        const std::map<std::string, double>& expected = e.figures;

        // Every chart over time names the unit of its value axis.
        const std::pair<const char*, std::string> axisUnits[] = {
            {"speed", trip.miles ? "mph" : "km/h"},
            {"current", "A"},
            {"voltage", "V"},
            {"power", "kW"},
            {"temperature", trip.fahrenheit ? "\u00b0F" : "\u00b0C"},
            {"energy", trip.miles ? "W.h/mile" : "W.h/km"},
        };
        for (const auto& [chart, unit] : axisUnits) {
            EXPECT_EQ(chartAttribute(dom, chart, "data-unit"), unit) << chart;
        }
        // Energy per distance right now that rises above three times the trip's average is cut
        // there, and the chart says so.
        const std::vector<double> whNow =
            csv.column(trip.miles ? "wh_per_mile_now" : "wh_per_km_now");
        const double cap = 3 * expected.at("wh_per_distance_average");
        const std::string cut = chartAttribute(dom, "energy", "data-cut");
        if (*std::max_element(whNow.begin(), whNow.end()) > cap * (1 + 1e-6)) {
            EXPECT_NEAR(std::strtod(cut.c_str(), nullptr), cap, cap * 1e-9) << cut;
        }
        for (const auto& [name, value] : expected) {
            ASSERT_EQ(shown.count(name), 1u) << name;
            EXPECT_NEAR(shown.at(name).first, value, std::fabs(value) * 1e-9 + 1e-12) << name;
        }
        EXPECT_EQ(shown.size(), expected.size() + 1) << "and the start";
        const long long start = std::strtoll(trip.name + 12, nullptr, 10);
        EXPECT_EQ(shown.at("start").first, static_cast<double>(start));
        const std::time_t t = static_cast<std::time_t>(start);
        std::tm local{};
        localtime_r(&t, &local);
        char date[32];
        std::strftime(date, sizeof date, "%Y-%m-%d %H:%M:%S", &local);
        EXPECT_EQ(shown.at("start").second.rfind(date, 0), 0u) << shown.at("start").second;
        const std::string speedUnit = trip.miles ? " mph" : " km/h";
        const std::string tempUnit = trip.fahrenheit ? " \u00b0F" : " \u00b0C";
        const std::string& top = shown.at("speed_top").second;
        const std::string& hot = shown.at("controller_temp_highest").second;
        EXPECT_EQ(top.substr(top.size() - speedUnit.size()), speedUnit);
        EXPECT_EQ(hot.substr(hot.size() - tempUnit.size()), tempUnit);

        // However thinned, each chart keeps the trip's extremes, one value a moment, and its
        // first and last moment.
        const std::vector<double> times = dataArray<double>(html, "t");
        const std::pair<const char*, std::string> charted[] = {
            {"speed", trip.miles ? "speed_mph" : "speed_kmh"},
            {"battery_current", "battery_current_a"},
            {"motor_current", "motor_current_a"},
            {"battery_voltage", "battery_voltage_v"},
            {"battery_power", "battery_power_kw"},
            {"controller_temp", trip.fahrenheit ? "controller_temp_f" : "controller_temp_c"},
            {"wh_now", trip.miles ? "wh_per_mile_now" : "wh_per_km_now"},
            {"voltage_drop_warning", "voltage_drop_warning"},
        };
        for (const auto& [series, column] : charted) {
            const std::vector<float> drawn = dataArray<float>(html, series);
            const std::vector<double> all = csv.column(column);
            EXPECT_EQ(drawn.size(), times.size()) << series;
            EXPECT_EQ(extremes(drawn), (std::pair<float, float>(
                                           extremes(std::vector<float>(all.begin(), all.end())))))
                << series;
        }
        const std::vector<double> ms = csv.column("ms");
        EXPECT_EQ(times.front(), ms.front() / 1000);
        EXPECT_EQ(times.back(), ms.back() / 1000);

        // The battery cloud keeps the samples' outline; the trend holds every minute of driving.
        const std::vector<double> amps = dataArray<double>(html, "i", "\"vi\":");
        const std::vector<double> volts = dataArray<double>(html, "v", "\"vi\":");
        EXPECT_EQ(amps.size(), volts.size());
        EXPECT_EQ(extremes(amps), std::make_pair(e.lowAmps, e.highAmps));
        EXPECT_EQ(extremes(volts), std::make_pair(e.lowVolts, e.highVolts));
        EXPECT_EQ(dataArray<double>(html, "t", "\"minutes\":"), e.trendStarts);
        const std::vector<double> vocs = dataArray<double>(html, "voc", "\"minutes\":");
        const std::vector<double> rints = dataArray<double>(html, "rint", "\"minutes\":");
        ASSERT_EQ(vocs.size(), e.trendVoc.size());
        ASSERT_EQ(rints.size(), e.trendRint.size());
        for (std::size_t k = 0; k < vocs.size(); ++k) {
            EXPECT_NEAR(vocs[k], e.trendVoc[k], 1e-7 * e.trendVoc[k]) << "minute " << k;
            EXPECT_NEAR(rints[k], e.trendRint[k], 1e-7 * e.trendRint[k]) << "minute " << k;
        }
        if (csv.rows.size() > 10000) {
            EXPECT_LT(times.size(), csv.rows.size() / 2) << "a long trip's charts are thinned";
            EXPECT_LT(amps.size(), e.samples / 2) << "and so is its cloud";
            EXPECT_GT(shown.at("voltage_drop_warning_s").first, 0.0);
            EXPECT_GT(csv.column("energy_kwh").front(), 0.0) << "the totals start above zero";
            EXPECT_NE(cut, "") << "a creeping start soars above the cut";
            EXPECT_GT(e.trendVoc.front() - e.trendVoc.back(), 1.0) << "the battery runs down";
        }
    }
}

} // namespace
