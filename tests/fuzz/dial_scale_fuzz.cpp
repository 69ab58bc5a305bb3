// The dial arithmetic on arbitrary floats, NaN and infinities included: the tick scale and its
// tick values, the angle conversion, the sweep and the needle angle. None may crash or invoke
// undefined behaviour; on ordinary ranges the results must stay within their documented bounds.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fuzzer/FuzzedDataProvider.h>

#include "dashboard/dial.h"

namespace {
void fail(const char* what, float a, float b) {
    std::fprintf(stderr, "dial_scale_fuzz: %s (%.9g, %.9g)\n", what, static_cast<double>(a),
                 static_cast<double>(b));
    std::abort();
}

// Any bit pattern, so NaNs, infinities and subnormals come up as often as the rest.
float anyFloat(FuzzedDataProvider& input) {
    const uint32_t bits = input.ConsumeIntegral<uint32_t>();
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// A range of magnitudes where float steps are fine enough for round ticks.
bool ordinary(float v) {
    return std::isfinite(v) && std::fabs(v) <= 1e30f;
}

void checkScale(float lo, float hi) {
    const TickScale scale = niceScale(lo, hi);
    constexpr int capacity = 64;
    float ticks[capacity];
    const int count = tickValues(scale, ticks, capacity);
    if (count < 0 || count > capacity) {
        fail("tick count outside the buffer", lo, hi);
    }
    for (int k = 1; k < count; ++k) {
        if (!(ticks[k] >= ticks[k - 1])) {
            fail("ticks out of order", lo, hi);
        }
    }
    // Where the span is lost in the floats' precision (subnormal, or tiny beside the ends) no
    // round scale exists; the rest must get one.
    const double span = std::fabs(static_cast<double>(hi) - lo);
    const bool wellScaled = ordinary(lo) && ordinary(hi) && span >= 1e-30 &&
                            span >= 1e-6 * std::fmax(std::fabs(lo), std::fabs(hi));
    if (!wellScaled) {
        return;
    }
    // Below a span of 1 the power of ten is rounded towards zero and a reversed range may keep
    // one tick; the dials' ranges are whole numbers, where none may be left.
    if (hi < lo && span >= 1.0 && count != 0) {
        fail("a reversed range has ticks", lo, hi);
    }
    // Spans below 1 may lose their last tick to float rounding; whole-number ranges, the dials'
    // own, must not.
    if (lo < hi && (count < (span >= 1.0 ? 2 : 1) || count > 12)) {
        fail("an ordinary range without a round scale", lo, hi);
    }
    // Covered up to what float arithmetic keeps: an end tiny beside the step, or ends so large
    // that whole numbers are no longer exact.
    const double slack = span * 1e-6 + 1e-6 * std::fmax(std::fabs(lo), std::fabs(hi));
    if (lo < hi && (scale.tickStart > lo + slack || scale.tickEnd < hi - slack)) {
        fail("the scale does not cover the range", lo, hi);
    }
}

void checkAngles(float a, float b, float v) {
    // Exact within the angles a dial uses; far out, the float product that counts the turns
    // may be one off, which leaves the angle a hair outside but pointing the same way.
    const float g = dialAngle(a);
    if (std::isfinite(a) && std::fabs(a) <= 720.0f && !(g >= 0.0f && g <= 360.0f)) {
        fail("dial angle outside 0..360", a, g);
    }
    if (std::isfinite(a) && std::fabs(a) <= 1e6f && !(g >= -0.5f && g <= 360.5f)) {
        fail("dial angle far outside 0..360", a, g);
    }
    const float sweep = sweepDegrees(a, b);
    if (ordinary(a) && ordinary(b) && !(sweep >= 0.0f && sweep <= 360.0f)) {
        fail("sweep outside 0..360", a, b);
    }
    GaugeDef def{};
    def.startAngle = a;
    def.endAngle = b;
    def.minValue = v;
    def.maxValue = v + 100.0f;
    const float angle = valueAngle(def, sweep, v + 50.0f);
    if (ordinary(a) && ordinary(b) && std::fabs(a) <= 1e6f && std::fabs(v) <= 1e6f &&
        !(angle <= a + 1e-3f && angle >= a - sweep - 1e-3f)) {
        fail("needle outside its sweep", a, angle);
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const float lo = anyFloat(input);
    const float hi = anyFloat(input);
    const float v = anyFloat(input);
    checkScale(lo, hi);
    checkScale(lo, lo);
    // Whole numbers as the settings hold them.
    checkScale(static_cast<float>(input.ConsumeIntegral<int32_t>()),
               static_cast<float>(input.ConsumeIntegral<int32_t>()));
    checkAngles(lo, hi, v);
    GaugeDef def{};
    def.minValue = lo;
    def.maxValue = hi;
    def.startAngle = 150;
    def.endAngle = 30;
    valueAngle(def, sweepDegrees(def.startAngle, def.endAngle), v);
    return 0;
}
