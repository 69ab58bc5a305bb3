// The arithmetic of a dial: tick scale, angle conventions, sweep and needle position. The
// constants are single precision, and results are rounded to float where they are stored, on
// purpose: the ticks and needles must land where they always have, to the pixel.
#include <algorithm>
#include <cmath>

#include "dashboard/dial.h"

namespace {
constexpr float degToRad = 0.0174532793f; // 3.14159 / 180
constexpr float radToDeg = 57.2958221f;   // 180 / 3.14159
} // namespace

TickScale niceScale(float lo, float hi) {
    if (lo == hi) {
        if (lo == 0.0f) {
            return {0.0f, 1.0f, 1.0f};
        }
        lo -= std::pow(10.0, std::floor(std::log10(std::fabs(lo))));
        hi += std::pow(10.0, std::floor(std::log10(std::fabs(hi))));
    }
    // The magnitude keeps a reversed range (min above max) from taking the log of a negative
    // span; such a scale then ends below its start and draws no ticks.
    const double span = std::fabs(static_cast<double>(hi) - static_cast<double>(lo));
    // A NaN or infinite end (or one widened past the float range) has no round steps, and its
    // power of ten would not fit an int: such a scale draws no ticks.
    if (!std::isfinite(span)) {
        return {0.0f, 0.0f, 0.0f};
    }
    const int n = static_cast<int>(std::trunc(std::log10(span) + 0.5));
    const double unit = std::pow(10.0, n);

    // The products with 0.1f and 0.2f lie a hair above the round step, so a positive lo that is
    // a multiple of the step starts one step lower. The picture has always been so.
    static const float multipliers[] = {0.1f, 0.2f, 0.5f, 1.0f};
    TickScale scale{};
    for (float multiplier : multipliers) {
        const double p = multiplier * unit;
        const float step = p;
        scale.tickStep = step;
        scale.tickStart = std::floor(lo / p) * step;
        scale.tickEnd = std::ceil(hi / step) * step;
        if ((scale.tickEnd - scale.tickStart) / step <= 10.0f) {
            break;
        }
    }
    return scale;
}

int tickValues(const TickScale& scale, float* values, int capacity) {
    if (!(scale.tickStart <= scale.tickEnd) || !(scale.tickStep > 0.0f)) {
        return 0;
    }
    int count = 0;
    for (int k = 0; count < capacity; ++k) {
        const double sum = static_cast<double>(scale.tickStart) +
                           static_cast<double>(k) * static_cast<double>(scale.tickStep);
        if (!(sum <= scale.tickEnd)) {
            break;
        }
        values[count++] = sum;
    }
    return count;
}

float dialAngle(float a) {
    const float g = 90.0f - a;
    if (g < 0.0f) {
        return g + 360.0 * std::ceil(std::fabs(g) * 0.002777777777777778);
    }
    if (g > 360.0f) {
        return g - 360.0 * std::floor(g * 0.0027777778f);
    }
    return g;
}

float sweepDegrees(float startAngle, float endAngle) {
    // One direction sweeps nothing. Said before any trigonometry: the sign test below is a
    // difference of two equal products there, whose rounding must not decide between 0 and 360.
    if (std::fmod(static_cast<double>(startAngle) - static_cast<double>(endAngle), 360.0) == 0.0) {
        return 0.0f;
    }
    const double a = startAngle * degToRad;
    const double b = endAngle * degToRad;
    // Rounding can push the cosine of equal angles a hair past 1, where acos has no value.
    const double cosine = std::cos(a) * std::cos(b) + std::sin(a) * std::sin(b);
    const double d = std::acos(std::fmax(-1.0, std::fmin(1.0, cosine))) * radToDeg;
    if (std::sin(a) * std::cos(b) - std::sin(b) * std::cos(a) < 0.0) {
        return 360.0 - d;
    }
    return d;
}

float valueAngle(const GaugeDef& def, float sweep, float v) {
    const float range = def.maxValue - def.minValue;
    if (range == 0.0f) {
        return def.startAngle;
    }
    const double c = std::max(static_cast<double>(std::fmin(v, def.maxValue)) - def.minValue, 0.0);
    return def.startAngle - c * sweep / range;
}
