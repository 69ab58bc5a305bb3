// Reading dashboard pictures: cell coordinates (0..1000 on both axes) mapped to pixels, and the
// colours the dashboard draws with, told apart after anti-aliasing.
#pragma once
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "dashboard/gauges.h"
#include "support/gl_context.h"

struct Rgb8 {
    uint8_t r, g, b;
};

// The colour at (x, y), y counted from the bottom as OpenGL does.
inline Rgb8 pixelAt(const Image& image, int x, int y) {
    const uint8_t* p = image.atGl(x, y);
    return {p[0], p[1], p[2]};
}

// A cell's 0..1000 square over its viewport.
struct CellMap {
    CellRect r;
    int px(double u) const { return r.x + static_cast<int>(u * r.width / 1000.0); }
    int py(double v) const { return r.y + static_cast<int>(v * r.height / 1000.0); }
    double u(int x) const { return (x - r.x + 0.5) * 1000.0 / r.width; }
    double v(int y) const { return (y - r.y + 0.5) * 1000.0 / r.height; }
};

inline bool isDark(Rgb8 c) {
    return c.r < 40 && c.g < 40 && c.b < 40;
}
inline bool isRed(Rgb8 c) {
    return c.r > 150 && c.g < 60 && c.b < 60;
}
inline bool isGreen(Rgb8 c) {
    return c.g > 150 && c.r < 60 && c.b < 60;
}
inline bool isBlue(Rgb8 c) {
    return c.b > 150 && c.r < 60 && c.g < 60;
}
inline bool isWhite(Rgb8 c) {
    return c.r > 150 && c.g > 150 && c.b > 150;
}
inline bool isOrange(Rgb8 c) {
    return c.r > 200 && c.g > 120 && c.g < 200 && c.b < 60;
}
// Anything the needles draw in (white, red, blue, orange), never the green start hint.
inline bool isNeedleColour(Rgb8 c) {
    return c.r > 100 || c.b > 100;
}

// Counts the pixels of a cell whose cell coordinates satisfy where() and whose colour test().
inline int countPixels(const Image& image, const CellMap& cell,
                       const std::function<bool(double u, double v)>& where,
                       const std::function<bool(Rgb8)>& test) {
    int count = 0;
    for (int y = cell.r.y; y < cell.r.y + cell.r.height && y < image.height; ++y) {
        for (int x = cell.r.x; x < cell.r.x + cell.r.width && x < image.width; ++x) {
            if (where(cell.u(x), cell.v(y)) && test(pixelAt(image, x, y))) {
                ++count;
            }
        }
    }
    return count;
}

// Pixels of the ring between radii r0 and r1 around a dial's centre (500, 500), where only the
// needles draw: the hub ends at 10, the value line starts below 150, the tick marks at 355.
inline int needlePixels(const Image& image, const CellMap& cell, double r0 = 40, double r1 = 140) {
    return countPixels(
        image, cell,
        [&](double u, double v) {
            const double r = std::hypot(u - 500.0, v - 500.0);
            return r >= r0 && r <= r1;
        },
        isNeedleColour);
}

inline double wrapDegrees(double a) {
    return a - 360.0 * std::floor((a + 180.0) / 360.0);
}

// The mean angle (degrees, counter-clockwise from +x) of the pixels of a colour that lie within
// `spread` degrees of `around` and between radii r0 and r1 of a dial centred on (500, 500); NAN
// when there are none. A needle's angle, or a tick mark's.
inline double meanAngleNear(const Image& image, const CellMap& cell, double around, double spread,
                            double r0, double r1, const std::function<bool(Rgb8)>& colour,
                            int* pixels = nullptr) {
    double sum = 0;
    int count = 0;
    for (int y = cell.r.y; y < cell.r.y + cell.r.height; ++y) {
        for (int x = cell.r.x; x < cell.r.x + cell.r.width; ++x) {
            const double du = cell.u(x) - 500.0;
            const double dv = cell.v(y) - 500.0;
            const double r = std::hypot(du, dv);
            if (r < r0 || r > r1 || !colour(pixelAt(image, x, y))) {
                continue;
            }
            const double off = wrapDegrees(std::atan2(dv, du) * 180.0 / M_PI - around);
            if (std::fabs(off) <= spread) {
                sum += off;
                ++count;
            }
        }
    }
    if (pixels != nullptr) {
        *pixels = count;
    }
    return count > 0 ? around + sum / count : NAN;
}

// The angle of the needle near `around`: its pixels in the ring between the hub and the value line.
inline double needleAngle(const Image& image, const CellMap& cell, double around) {
    return meanAngleNear(image, cell, around, 90, 40, 140, isNeedleColour);
}

// The battery model's orange line read back as volts at zero current and volts per ampere, for
// a plot whose axes run amps0..amps1 and volts0..volts1. False when too little of it shows.
inline bool readFittedLine(const Image& image, const CellMap& cell, double amps0, double amps1,
                           double volts0, double volts1, double* voc, double* slope) {
    double n = 0, si = 0, sv = 0, sii = 0, siv = 0;
    for (int x = cell.px(150); x <= cell.px(850); ++x) {
        double sumY = 0;
        int count = 0;
        for (int y = cell.r.y; y < cell.r.y + cell.r.height; ++y) {
            if (isOrange(pixelAt(image, x, y))) {
                sumY += cell.v(y);
                ++count;
            }
        }
        if (count == 0) {
            continue;
        }
        const double amps = amps0 + (cell.u(x) - 100.0) * (amps1 - amps0) / 800.0;
        const double volts = volts0 + (sumY / count - 100.0) * (volts1 - volts0) / 800.0;
        n += 1;
        si += amps;
        sv += volts;
        sii += amps * amps;
        siv += amps * volts;
    }
    const double d = n * sii - si * si;
    if (n < 10 || d == 0) {
        return false;
    }
    *slope = (n * siv - si * sv) / d;
    *voc = (sv - *slope * si) / n;
    return true;
}
