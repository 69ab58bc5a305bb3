#include "tools/report/chart_data.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <utility>

namespace {

const char* const seriesNames[chartSeriesCount] = {
    "speed",         "battery_current", "motor_current", "battery_voltage",
    "battery_power", "controller_temp", "wh_now",        "wh_trip"};
const char* const flagNames[flagCount] = {"stopped",          "shifting", "main_contactor",
                                          "motor_contactors", "reverse",  "forward",
                                          "parallel",         "series",   "voltage_drop_warning"};

// Numbers in their shortest exact text; what is not a number is null.
class JsonWriter {
  public:
    explicit JsonWriter(std::FILE* out) : out(out) {}
    template <typename Number> void number(Number value) {
        if (!std::isfinite(value)) {
            std::fputs("null", out);
            return;
        }
        char text[32];
        const std::to_chars_result r = std::to_chars(text, text + sizeof text, value);
        std::fwrite(text, 1, static_cast<std::size_t>(r.ptr - text), out);
    }
    template <typename Number> void array(const std::vector<Number>& values) {
        std::fputc('[', out);
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (i > 0) {
                std::fputc(',', out);
            }
            number(values[i]);
        }
        std::fputc(']', out);
    }
    void key(const char* name, bool comma = true) {
        std::fprintf(out, "%s\"%s\":", comma ? "," : "", name);
    }
    void text(const char* s) { std::fputs(s, out); }

  private:
    std::FILE* out;
};

// The rows [begin, end) of each column: all rows one by one when there are few, otherwise the
// rows that fall on each of chartColumns equal spans of time.
std::vector<std::pair<std::size_t, std::size_t>> columns(const std::vector<double>& seconds) {
    std::vector<std::pair<std::size_t, std::size_t>> spans;
    const std::size_t n = seconds.size();
    if (n <= 2 * chartColumns) {
        for (std::size_t i = 0; i < n; ++i) {
            spans.emplace_back(i, i + 1);
        }
        return spans;
    }
    const double t0 = seconds.front();
    const double width = (seconds.back() - t0) / chartColumns;
    if (!(width > 0)) {
        spans.emplace_back(0, n); // every row at one moment: one column
        return spans;
    }
    std::size_t begin = 0;
    while (begin < n) {
        const auto column = std::min<double>(std::floor((seconds[begin] - t0) / width),
                                             static_cast<double>(chartColumns - 1));
        const double columnEnd = t0 + (column + 1) * width;
        std::size_t end = begin + 1;
        while (end < n && (seconds[end] < columnEnd || column == chartColumns - 1)) {
            ++end;
        }
        spans.emplace_back(begin, end);
        begin = end;
    }
    return spans;
}

// A column's values of one series: its lowest and highest, in the order they came; one value
// when the column has one row.
template <typename Get>
void thin(const std::vector<std::pair<std::size_t, std::size_t>>& spans, Get get,
          std::vector<float>& out) {
    for (const auto& [begin, end] : spans) {
        std::size_t low = begin;
        std::size_t high = begin;
        for (std::size_t i = begin; i < end; ++i) {
            const float v = get(i);
            if (std::isnan(get(low)) || v < get(low)) {
                low = i;
            }
            if (std::isnan(get(high)) || v > get(high)) {
                high = i;
            }
        }
        if (end - begin == 1) {
            out.push_back(get(begin));
        } else {
            out.push_back(get(std::min(low, high)));
            out.push_back(get(std::max(low, high)));
        }
    }
}

// One battery sample per occupied cell of a 400 x 300 grid over the samples' range, in order of
// current (the chart wants its x values rising).
void thinCloud(const TripFigures& f, std::vector<double>& amps, std::vector<double>& volts) {
    constexpr int cellsX = 400;
    constexpr int cellsY = 300;
    const std::vector<double>& i = f.sampleCurrents;
    const std::vector<double>& v = f.sampleVoltages;
    if (i.empty()) {
        return;
    }
    const auto [iLow, iHigh] = std::minmax_element(i.begin(), i.end());
    const auto [vLow, vHigh] = std::minmax_element(v.begin(), v.end());
    const double iSpan = std::max(*iHigh - *iLow, 1e-9);
    const double vSpan = std::max(*vHigh - *vLow, 1e-9);
    std::vector<bool> taken(cellsX * cellsY);
    std::vector<std::pair<double, double>> kept;
    for (std::size_t k = 0; k < i.size(); ++k) {
        const int cx = std::min(cellsX - 1, static_cast<int>((i[k] - *iLow) / iSpan * cellsX));
        const int cy = std::min(cellsY - 1, static_cast<int>((v[k] - *vLow) / vSpan * cellsY));
        if (!taken[cx * cellsY + cy]) {
            taken[cx * cellsY + cy] = true;
            kept.emplace_back(i[k], v[k]);
        }
    }
    std::sort(kept.begin(), kept.end());
    for (const auto& [a, b] : kept) {
        amps.push_back(a);
        volts.push_back(b);
    }
}

} // namespace

void ChartData::add(const TripRow& row) {
    const double* v = row.values;
    if (seconds.empty()) {
        firstEnergy = v[Energy];
        firstDistance = v[Distance];
    }
    seconds.push_back(row.seconds);
    const int columnsOfRow[] = {Speed,        BatteryCurrent, MotorCurrent,    BatteryVoltage,
                                BatteryPower, ControllerTemp, WhPerDistanceNow};
    for (int s = 0; s < WhTripSeries; ++s) {
        series[s].push_back(static_cast<float>(v[columnsOfRow[s]]));
    }
    double wh = std::numeric_limits<double>::quiet_NaN();
    energyPerDistance(v[Energy] - firstEnergy, v[Distance] - firstDistance, wh);
    series[WhTripSeries].push_back(static_cast<float>(wh));
    flags.push_back(static_cast<uint16_t>(row.flags));
}

void ChartData::writeJson(std::FILE* out, const TripFigures& figures) const {
    JsonWriter json(out);
    const auto spans = columns(seconds);
    std::vector<double> times;
    for (const auto& [begin, end] : spans) {
        times.push_back(seconds[begin]);
        if (end - begin > 1) {
            times.push_back(seconds[end - 1]);
        }
    }
    json.text("{");
    json.key("t", false);
    json.array(times);
    json.key("series");
    json.text("{");
    std::vector<float> values;
    for (int s = 0; s < chartSeriesCount; ++s) {
        values.clear();
        thin(
            spans, [&](std::size_t i) { return series[s][i]; }, values);
        json.key(seriesNames[s], s > 0);
        json.array(values);
    }
    json.text("}");
    json.key("flags");
    json.text("{");
    for (int f = 0; f < flagCount; ++f) {
        values.clear();
        thin(
            spans, [&](std::size_t i) { return static_cast<float>(flags[i] >> f & 1u); }, values);
        json.key(flagNames[f], f > 0);
        json.array(values);
    }
    json.text("}");

    std::vector<double> amps;
    std::vector<double> volts;
    thinCloud(figures, amps, volts);
    json.key("vi");
    json.text("{");
    json.key("i", false);
    json.array(amps);
    json.key("v");
    json.array(volts);
    json.key("valid");
    json.text(figures.fit.valid ? "true" : "false");
    json.key("voc");
    json.number(figures.fit.voc);
    json.key("slope");
    json.number(figures.fit.slope);
    json.text("}");

    std::vector<double> starts;
    std::vector<double> vocs;
    std::vector<double> rints;
    for (const MinuteFigures& m : figures.minutes) {
        if (m.driven() && m.fit.valid) {
            starts.push_back(m.startSeconds);
            vocs.push_back(m.fit.voc);
            rints.push_back(-m.fit.slope);
        }
    }
    json.key("minutes");
    json.text("{");
    json.key("t", false);
    json.array(starts);
    json.key("voc");
    json.array(vocs);
    json.key("rint");
    json.array(rints);
    json.text("}}");
}
