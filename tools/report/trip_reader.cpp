// Numbers are read with std::from_chars: a dot as the decimal mark whatever the locale, no
// leading spaces or signs beyond a minus, and the whole field must be the number. The file is
// read in large blocks, and a row is parsed where it lies in the block.
#include "tools/report/trip_reader.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace {

// A column's part in a row: the time, a value, a flag, or one the report does not use (still
// checked to be a number).
struct Role {
    enum Kind { Time, Ms, ValueColumn, FlagColumn, Unused } kind;
    int index;
};

struct Header {
    std::vector<std::string> names;
    std::vector<Role> roles;
    TripUnits units;
};

constexpr std::size_t longestLine = 4096;
constexpr double wrap = 4294967296.0; // the dashboard's ms count is unsigned 32 bits

std::string quoted(const char* begin, const char* end) {
    std::string text(begin, std::min<std::size_t>(static_cast<std::size_t>(end - begin), 40));
    return "\"" + text + (end - begin > 40 ? "...\"" : "\"");
}

std::vector<std::string> splitFields(const char* begin, const char* end) {
    std::vector<std::string> fields;
    for (const char* p = begin;;) {
        const char* comma = static_cast<const char*>(std::memchr(p, ',', end - p));
        fields.emplace_back(p, comma != nullptr ? comma : end);
        if (comma == nullptr) {
            return fields;
        }
        p = comma + 1;
    }
}

// The columns by name; the unit words come from the speed and temperature columns, and the
// columns that carry a unit must then name the same one.
bool readHeader(const char* begin, const char* end, Header& header, std::string& error) {
    header.names = splitFields(begin, end);
    const std::vector<std::string>& names = header.names;
    if (names.empty() || (names[0] != "time" && names[0] != "ms")) {
        error = "line 1: not a trip log: its first column is " +
                quoted(names[0].data(), names[0].data() + names[0].size()) + ", not \"time\"";
        return false;
    }
    const auto has = [&](const char* name) {
        for (const std::string& n : names) {
            if (n == name) {
                return true;
            }
        }
        return false;
    };
    header.units.miles = has("speed_mph") && !has("speed_kmh");
    header.units.fahrenheit = has("controller_temp_f") && !has("controller_temp_c");
    const bool miles = header.units.miles;
    const std::string valueNames[valueCount] = {
        miles ? "speed_mph" : "speed_kmh",
        "battery_current_a",
        "motor_current_a",
        "battery_voltage_v",
        "battery_power_kw",
        header.units.fahrenheit ? "controller_temp_f" : "controller_temp_c",
        miles ? "wh_per_mile_now" : "wh_per_km_now",
        "charge_ah",
        "energy_kwh",
        miles ? "distance_miles" : "distance_km",
    };
    const char* const flagNames[flagCount] = {
        "stopped", "shifting",        "main_contactor_on", "motor_contactors_on", "reverse",
        "forward", "motors_parallel", "motors_series",     "voltage_drop_warning"};

    header.roles.assign(names.size(), Role{Role::Unused, 0});
    header.roles[0] = Role{names[0] == "time" ? Role::Time : Role::Ms, 0};
    const auto place = [&](const std::string& name, Role role) {
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (names[i] == name) {
                header.roles[i] = role;
                return true;
            }
        }
        error = "line 1: no column \"" + name + "\": not a trip log, or one of another kind";
        return false;
    };
    if (header.roles[0].kind == Role::Time && !place("ms", Role{Role::Ms, 0})) {
        return false;
    }
    for (int v = 0; v < valueCount; ++v) {
        if (!place(valueNames[v], Role{Role::ValueColumn, v})) {
            return false;
        }
    }
    for (int f = 0; f < flagCount; ++f) {
        if (!place(flagNames[f], Role{Role::FlagColumn, f})) {
            return false;
        }
    }
    return true;
}

class RowParser {
  public:
    explicit RowParser(const Header& header) : header(header) {}

    void start() { columns.assign(header.roles.size(), 0.0); }

    // Fills row from one line (without its line end); false with error set when it does not fit.
    // A row with a field too many or too few is said as such, whatever field first failed: a
    // decimal comma or a lost field moves every field after it.
    bool parse(const char* begin, const char* end, std::size_t lineNumber, TripRow& row,
               std::string& error) {
        if (parseFields(begin, end, lineNumber, row, error)) {
            return true;
        }
        const std::size_t fields = countCommas(begin, end) + 1;
        if (fields != header.roles.size()) {
            error = "line " + std::to_string(lineNumber) + ": " + std::to_string(fields) +
                    " fields, the header row has " + std::to_string(header.roles.size());
        }
        return false;
    }

  private:
    bool parseFields(const char* begin, const char* end, std::size_t lineNumber, TripRow& row,
                     std::string& error) {
        row.flags = 0;
        row.columns = columns.data();
        const std::size_t count = header.roles.size();
        const char* p = begin;
        for (std::size_t c = 0; c < count; ++c) {
            const char* comma = static_cast<const char*>(std::memchr(p, ',', end - p));
            const char* fieldEnd = comma != nullptr ? comma : end;
            if ((comma == nullptr) != (c + 1 == count)) {
                return false; // said by parse
            }
            if (header.roles[c].kind == Role::Time) {
                if (!readLocalTime(p, fieldEnd, row.time)) {
                    return fail(lineNumber, c,
                                "not a local time like 2026-12-09T17:43:57.123+01:00: " +
                                    quoted(p, fieldEnd),
                                error);
                }
                p = fieldEnd + 1;
                continue;
            }
            double value = 0;
            const std::from_chars_result read = std::from_chars(p, fieldEnd, value);
            if (read.ec != std::errc() || read.ptr != fieldEnd || !std::isfinite(value)) {
                return fail(lineNumber, c, "not a number: " + quoted(p, fieldEnd), error);
            }
            columns[c] = value;
            const Role role = header.roles[c];
            if (role.kind == Role::ValueColumn) {
                row.values[role.index] = value;
            } else if (role.kind == Role::FlagColumn) {
                if (value != 0 && value != 1) {
                    return fail(lineNumber, c, "a flag must be 0 or 1, not " + quoted(p, fieldEnd),
                                error);
                }
                row.flags |= static_cast<unsigned>(value) << role.index;
            } else if (role.kind == Role::Ms &&
                       !readTime(value, p, fieldEnd, lineNumber, c, row, error)) {
                return false;
            }
            p = fieldEnd + 1;
        }
        return true;
    }

    static std::size_t countCommas(const char* from, const char* end) {
        std::size_t n = 0;
        for (; from != end; ++from) {
            n += *from == ',' ? 1 : 0;
        }
        return n;
    }

    bool fail(std::size_t lineNumber, std::size_t column, const std::string& what,
              std::string& error) const {
        error = "line " + std::to_string(lineNumber) + ", column \"" + header.names[column] +
                "\": " + what;
        return false;
    }

    // Milliseconds since the link started, counted on 32 bits: a count that falls by more than
    // half the range has wrapped (after 49.7 days); any other fall is not a time of this trip.
    bool readTime(double ms, const char* text, const char* textEnd, std::size_t lineNumber,
                  std::size_t column, TripRow& row, std::string& error) {
        if (ms < 0 || ms >= wrap || ms != std::floor(ms)) {
            return fail(lineNumber, column, "not a count of milliseconds: " + quoted(text, textEnd),
                        error);
        }
        if (ms < previousMs) {
            if (previousMs - ms < wrap / 2) {
                error = "line " + std::to_string(lineNumber) + ": the time goes back, from " +
                        std::to_string(static_cast<long long>(previousMs)) + " ms to " +
                        std::to_string(static_cast<long long>(ms)) + " ms";
                return false;
            }
            wraps += wrap;
        }
        previousMs = ms;
        row.seconds = (ms + wraps) / 1000.0;
        return true;
    }

    // "YYYY-MM-DDTHH:MM:SS.mmm+HH:MM" (or -HH:MM), each part in its range, a day of the
    // calendar since 1970.
    static bool readLocalTime(const char* text, const char* textEnd, LocalTime& time) {
        static const char pattern[] = "dddd-dd-ddTdd:dd:dd.ddd+dd:dd";
        if (textEnd - text != static_cast<std::ptrdiff_t>(sizeof pattern - 1)) {
            return false;
        }
        for (std::size_t i = 0; i + 1 < sizeof pattern; ++i) {
            const bool digit = text[i] >= '0' && text[i] <= '9';
            if (pattern[i] == 'd' ? !digit
                                  : (pattern[i] == '+' ? text[i] != '+' && text[i] != '-'
                                                       : text[i] != pattern[i])) {
                return false;
            }
        }
        const auto number = [&](int at, int digits) {
            int n = 0;
            for (int i = 0; i < digits; ++i) {
                n = n * 10 + (text[at + i] - '0');
            }
            return n;
        };
        const int year = number(0, 4), month = number(5, 2), day = number(8, 2);
        const int hour = number(11, 2), minute = number(14, 2), second = number(17, 2);
        const int offsetHours = number(24, 2), offsetMinutes = number(27, 2);
        static const int monthDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
        if (year < 1970 || month < 1 || month > 12 || day < 1 ||
            day > (month == 2 && !leap ? 28 : monthDays[month - 1]) || hour > 23 || minute > 59 ||
            second > 59 || offsetHours > 14 || offsetMinutes > 59) {
            return false;
        }
        time.localMs =
            (daysSince1970(year, month, day) * 86400 + hour * 3600 + minute * 60 + second) *
                int64_t{1000} +
            number(20, 3);
        time.offsetMinutes = (text[23] == '-' ? -1 : 1) * (offsetHours * 60 + offsetMinutes);
        return true;
    }

    // Days from 1970-01-01 to the given date of the Gregorian calendar, not before 1970: the
    // year taken to start in March (so a leap day ends it), in eras of 400 years.
    static int64_t daysSince1970(int year, int month, int day) {
        const int y = year - (month <= 2 ? 1 : 0);
        const int era = y / 400;
        const int yearOfEra = y - era * 400;
        const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
        const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
        return int64_t{era} * 146097 + dayOfEra - 719468;
    }

    const Header& header;
    std::vector<double> columns;
    double previousMs = 0;
    double wraps = 0;
};

} // namespace

TripReadResult readTripLog(int fd, const std::function<void(const TripRow&)>& onRow,
                           const std::function<void(const std::vector<std::string>&)>& onHeader) {
    TripReadResult result;
    std::vector<char> buffer(1 << 20);
    std::size_t filled = 0;
    std::size_t lineNumber = 0;
    Header header;
    RowParser parser(header);
    TripRow row{};
    for (;;) {
        const ssize_t got = ::read(fd, buffer.data() + filled, buffer.size() - filled);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            result.error = std::string("cannot read: ") + std::strerror(errno);
            return result;
        }
        filled += static_cast<std::size_t>(got);
        const char* start = buffer.data();
        const char* const end = buffer.data() + filled;
        for (;;) {
            const char* feed = static_cast<const char*>(std::memchr(start, '\n', end - start));
            if (feed == nullptr) {
                break;
            }
            ++lineNumber;
            const char* lineEnd = feed > start && feed[-1] == '\r' ? feed - 1 : feed;
            if (lineNumber == 1) {
                if (!readHeader(start, lineEnd, header, result.error)) {
                    return result;
                }
                parser.start();
                if (onHeader) {
                    onHeader(header.names);
                }
            } else {
                if (!parser.parse(start, lineEnd, lineNumber, row, result.error)) {
                    return result;
                }
                ++result.rows;
                onRow(row);
            }
            start = feed + 1;
        }
        const std::size_t rest = static_cast<std::size_t>(end - start);
        if (rest > longestLine) {
            result.error = "line " + std::to_string(lineNumber + 1) + ": longer than " +
                           std::to_string(longestLine) + " bytes: not a trip log";
            return result;
        }
        if (got == 0) {
            if (lineNumber == 0) {
                result.error = rest == 0 ? "the file is empty: not a trip log"
                                         : "line 1: the header row has no line end: not a trip "
                                           "log, or one a dashboard is just creating";
                return result;
            }
            result.partialLine = rest > 0 ? lineNumber + 1 : 0;
            result.units = header.units;
            result.columns = header.names;
            result.hasTime = !header.roles.empty() && header.roles[0].kind == Role::Time;
            result.ok = true;
            return result;
        }
        std::memmove(buffer.data(), start, rest);
        filled = rest;
    }
}
