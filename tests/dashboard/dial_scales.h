// Dial scales as the gauge definitions and the settings give them, and the angles of values on
// them worked out from the rules of the dial (not by the dial's own code), for the dial tests.
#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

// A dial's scale as the gauge definitions and the settings give it, and the tick values drawn
// (each clamped into the scale, as the dial draws them).
struct DialScale {
    int32_t kind;
    float min, max, start, end;
    std::vector<float> ticks;
    const char* caption;
    const char* stoppedValue; // the value line while the link is stopped
};

inline std::vector<float> steps(float from, float to, float step) {
    std::vector<float> values;
    for (float v = from; v <= to; v += step) {
        values.push_back(v);
    }
    return values;
}

// Degrees, counter-clockwise from +x: the scale runs clockwise from start to end.
inline double scaleAngle(const DialScale& d, double v) {
    const double sweep = d.start > d.end ? d.start - d.end : d.start - d.end + 360.0;
    const double c = std::max(std::min(v, double(d.max)) - d.min, 0.0);
    return d.start - c * sweep / (d.max - d.min);
}

// The angle as the dial computes it in single precision, from which the tick numbers are placed
// to the bit: the sweep from the two angles with pi taken as 3.14159, then the value's share.
inline float angleAsDrawn(const DialScale& d, float v) {
    const double a = d.start * 0.0174532793f;
    const double b = d.end * 0.0174532793f;
    double sweep = std::acos(std::cos(a) * std::cos(b) + std::sin(a) * std::sin(b)) * 57.2958221f;
    if (std::sin(a) * std::cos(b) - std::sin(b) * std::cos(a) < 0.0) {
        sweep = 360.0 - sweep;
    }
    const double c = std::max(double(std::min(v, d.max)) - d.min, 0.0);
    return static_cast<float>(d.start - c * static_cast<float>(sweep) / (d.max - d.min));
}

// The GLU angle (0 along +y, clockwise, 0..360) of a mathematical angle, in single precision.
inline float gluAngle(float a) {
    const float g = 90.0f - a;
    if (g < 0.0f) {
        return static_cast<float>(g + 360.0 * std::ceil(-g / 360.0));
    }
    if (g > 360.0f) {
        return static_cast<float>(g - 360.0 * std::floor(g / 360.0));
    }
    return g;
}
