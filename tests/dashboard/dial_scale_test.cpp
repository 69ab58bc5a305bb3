// The dial arithmetic: tick scales, angle conventions, sweeps and needle positions.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <utility>

#include "dashboard/dial.h"

namespace {
TEST(NiceScale, RoundStepsForDefaultAndFurtherRanges) {
    struct Case {
        float lo, hi, start, end, step;
    };
    const Case cases[] = {
        {0, 100, 0, 100, 10},
        {0, 6000, 0, 6000, 1000},
        {20, 80, 10, 80, 10},
        {70, 180, 60, 180, 20},
        {0, 120, 0, 120, 20},
        {0, 600, 0, 600, 100},
        {0, 1000, 0, 1000, 100},
        {105, 130, 105, 130, 5},
        {0, 140, 0, 140, 20},
        {0, 300, 0, 300, 50},
        {0, 40, 0, 40, 10},
        {0, 400, 0, 400, 100},
        {0, 1, 0, 1, 0.1f},
        {20, 120, 0, 120, 20},
        {3, 7, 2, 7, 1},
        {50, 50, 40, 60, 5},
        {0, 0, 0, 1, 1},
        {-20, 80, -20, 80, 10},
        {-300, 300, -300, 300, 100},
        // log10(316) = 2.4997: the power of ten is 100, so 50 is the step.
        {0, 316, 0, 350, 50},
    };
    for (const Case& c : cases) {
        const TickScale s = niceScale(c.lo, c.hi);
        SCOPED_TRACE(std::to_string(c.lo) + ".." + std::to_string(c.hi));
        EXPECT_FLOAT_EQ(s.tickStart, c.start);
        EXPECT_FLOAT_EQ(s.tickEnd, c.end);
        EXPECT_FLOAT_EQ(s.tickStep, c.step);
    }
}

TEST(NiceScale, ReversedRangeGivesNoTicks) {
    float ticks[64];
    for (auto range : {std::pair<float, float>{100, 0}, {130, 105}, {0, -1}}) {
        const TickScale s = niceScale(range.first, range.second);
        EXPECT_GT(s.tickStart, s.tickEnd);
        EXPECT_EQ(tickValues(s, ticks, 64), 0);
    }
}

TEST(NiceScale, NonFiniteEndsGiveNoTicks) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float big = std::numeric_limits<float>::max();
    float ticks[64];
    for (auto range : {std::pair<float, float>{nan, 100},
                       {0, nan},
                       {nan, nan},
                       {0, inf},
                       {-inf, 0},
                       {inf, inf},
                       {-inf, inf},
                       {big, big}}) {
        SCOPED_TRACE(std::to_string(range.first) + ".." + std::to_string(range.second));
        const TickScale s = niceScale(range.first, range.second);
        EXPECT_EQ(s.tickStart, 0.0f);
        EXPECT_EQ(s.tickEnd, 0.0f);
        EXPECT_EQ(s.tickStep, 0.0f);
        EXPECT_EQ(tickValues(s, ticks, 64), 0);
    }
}

TEST(TickValues, CountsAndTheLastTickOfFractionalSteps) {
    struct Case {
        float lo, hi;
        int count;
        float last;
    };
    const Case cases[] = {
        {0, 100, 11, 100}, {0, 300, 7, 300}, {105, 130, 6, 130},
        {0, 1, 10, 0.9f},  {0, 2, 10, 1.8f}, {70, 180, 7, 180},
    };
    float ticks[64];
    for (const Case& c : cases) {
        const int count = tickValues(niceScale(c.lo, c.hi), ticks, 64);
        SCOPED_TRACE(std::to_string(c.lo) + ".." + std::to_string(c.hi));
        ASSERT_EQ(count, c.count);
        EXPECT_FLOAT_EQ(ticks[count - 1], c.last);
    }
    EXPECT_EQ(tickValues(niceScale(0, 100), ticks, 4), 4);     // never past the caller's room
    ASSERT_EQ(tickValues(niceScale(0, 0.001f), ticks, 64), 2); // a step of a thousandth
    EXPECT_FLOAT_EQ(ticks[1], 0.001f);
    ASSERT_EQ(tickValues(TickScale{5, 5, 1}, ticks, 64), 1); // a scale of one tick
    EXPECT_EQ(ticks[0], 5.0f);
}

TEST(DialAngle, MathematicalToGluDegrees) {
    struct Case {
        float math, glu;
    };
    const Case cases[] = {{60, 30},         {-135, 225},         {150, 300}, {90, 0},
                          {30, 60},         {-45, 135},          {-300, 30}, {0, 90},
                          {-270.5f, 0.5f},  {180, 270},          {450, 0},   {-630, 0},
                          {95, 355},        {89.9995f, 0.0005f}, {500, 310}, {-270.2f, 0.2f},
                          {-629.5f, 359.5f}};
    for (const Case& c : cases) {
        EXPECT_NEAR(dialAngle(c.math), c.glu, 1e-4) << "math " << c.math;
    }
    EXPECT_EQ(dialAngle(-270.0f), 360.0f); // exactly 360 stays
}

TEST(SweepDegrees, ClockwiseFromStartToEnd) {
    struct Case {
        float start, end, sweep;
    };
    // -358 degrees: its cosine squared plus its sine squared is a hair above 1. So it is for 493
    // and the float just below it, two directions that are one in radians as floats.
    const Case cases[] = {
        {-135, 60, 165},      {150, 30, 120}, {-135, -45, 270}, {90, 0, 90},
        {0, 90, 270},         {90, -90, 180}, {30, 29, 1},      {29, 30, 359},
        {30, 30, 0},          {150, 150, 0},  {-135, -135, 0},  {0, 0, 0},
        {61.7f, 61.7f, 0},    {30, 390, 0},   {-330, 30, 0},    {150, -210, 0},
        {-135, 225, 0},       {720, 0, 0},    {-358, -358, 0},  {30, 29.99f, 0.01f},
        {493, 492.99997f, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.start) + " to " + std::to_string(c.end));
        if (c.sweep == 0.0f) {
            // One direction sweeps nothing, on every processor: not 360, nor a rounding error.
            EXPECT_EQ(sweepDegrees(c.start, c.end), 0.0f);
        } else {
            EXPECT_NEAR(sweepDegrees(c.start, c.end), c.sweep, 1e-3);
        }
    }
    // Half a turn apart with pi as 3.14159: the cosine of the difference a hair below -1.
    EXPECT_NEAR(sweepDegrees(205.1950225830078f, 25.19488525390625f), 180.0f, 0.01);
}

TEST(ValueAngle, ClampsIntoTheScale) {
    const GaugeDef throttle = {"Throttle", "%", "%.0f%s", 0, 100, -135, 60};
    const float sweep = sweepDegrees(throttle.startAngle, throttle.endAngle);
    struct Case {
        float value, angle;
    };
    const Case cases[] = {{0, -135}, {-50, -135}, {100, -300}, {150, -300}, {50, -217.5f}};
    for (const Case& c : cases) {
        EXPECT_NEAR(valueAngle(throttle, sweep, c.value), c.angle, 1e-3) << c.value;
    }
    EXPECT_NEAR(dialAngle(valueAngle(throttle, sweep, 150)), 30.0f, 1e-3); // 60 degrees, math

    const GaugeDef battery = {"Battery", "V", "%.0f%s", 105, 130, 150, 30};
    const float up = valueAngle(battery, sweepDegrees(150, 30), 117.5f);
    EXPECT_NEAR(up, 90.0f, 1e-3);
    EXPECT_NEAR(dialAngle(up) - 1.0f, -1.0f, 1e-3);

    const GaugeDef flat = {"Flat", "", "%.0f%s", 50, 50, 150, 30};
    for (float v : {0.0f, 50.0f, 99.0f}) {
        EXPECT_EQ(valueAngle(flat, 120.0f, v), 150.0f);
    }
    const GaugeDef tiny = {"Tiny", "", "%.0f%s", 0, 0.01f, 150, 30};
    EXPECT_NEAR(valueAngle(tiny, 120.0f, 0.0009f), 139.2f, 1e-3); // a tenth of the scale and less
    const GaugeDef reversed = {"Rev", "", "%.0f%s", 300, 0, 150, 30};
    EXPECT_EQ(valueAngle(reversed, 120.0f, 100.0f), 150.0f);
}
} // namespace
