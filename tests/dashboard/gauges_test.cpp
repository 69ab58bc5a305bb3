// The gauge vocabulary and the cell layout.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "dashboard/gauges.h"
#include "shell/settings.h"

namespace {
// Every test starts from the built-in definitions, as the program does.
class GaugeSettings : public ::testing::Test {
  protected:
    void SetUp() override {
        std::memcpy(saved, gaugeDefs, sizeof saved);
        settings = defaultSettings();
    }
    void TearDown() override {
        std::memcpy(gaugeDefs, saved, sizeof saved);
        settings = defaultSettings();
    }
    GaugeDef saved[gaugeDefCount];
};

// The definitions as the dashboard's table lists them, and the three that replace rows for
// Fahrenheit and miles.
const GaugeDef listed[gaugeDefCount] = {
    {"Throttle", "%", "%.0f%s", 0, 100, -135, 60},
    {"RPM", "", "%.0f%s", 0, 6000, -135, 60},
    {"Duty Cycle", "%", "%.0f%s", 0, 100, -135, 60},
    {"Cont. Temp.", " C", "%.0f%s", 20, 80, -135, 60},
    {"Motor", "V", "%.0f%s", 0, 120, 150, 30},
    {"Motor", "A", "%.0f%s", 0, 600, 150, 30},
    {"Motor Limit", "A", "%.0f%s", 0, 1000, 150, 30},
    {"Battery", "V", "%.0f%s", 105, 130, 150, 30},
    {"km", " km/h", "%.0f%s", 0, 140, -135, -45},
    {"Battery", "A", "%.0f%s", 0, 300, 150, 30},
    {"Battery", "kW", "%.1f%s", 0, 40, 150, 30},
    {"w.hrs/km", "", "%.0f%s", 0, 400, 150, 30},
    {"w.hrs/km", "", "%.0f%s", 0, 400, 150, 30},
};
const GaugeDef listedFahrenheit = {"Cont. Temp.", " F", "%.0f%s", 70, 180, -135, 60};
const GaugeDef listedMiles = {"miles", " mph", "%.0f%s", 0, 140, -135, -45};
const GaugeDef listedPerMile = {"w.hrs/mile", "", "%.0f%s", 0, 400, 150, 30};

void expectSame(const GaugeDef& got, const GaugeDef& want) {
    EXPECT_STREQ(got.label, want.label);
    EXPECT_STREQ(got.unit, want.unit);
    EXPECT_STREQ(got.valueFormat, want.valueFormat);
    EXPECT_EQ(got.minValue, want.minValue);
    EXPECT_EQ(got.maxValue, want.maxValue);
    EXPECT_EQ(got.startAngle, want.startAngle);
    EXPECT_EQ(got.endAngle, want.endAngle);
}

void expectTable(const GaugeDef (&want)[gaugeDefCount]) {
    for (int kind = 0; kind < gaugeDefCount; ++kind) {
        SCOPED_TRACE("kind " + std::to_string(kind));
        expectSame(gaugeDefs[kind], want[kind]);
    }
}

TEST(CellViewport, RowsAndColumnsForEveryWindowSize) {
    struct Case {
        int width, height, columns, w, h;
        int xs[4];
        int ys[3];
    };
    const Case cases[] = {
        {640, 480, 3, 213, 160, {0, 213, 426, 0}, {319, 159, 0}},
        {640, 480, 4, 160, 160, {0, 160, 320, 480}, {319, 159, 0}},
        {800, 600, 3, 266, 200, {0, 266, 532, 0}, {399, 199, 0}},
        {800, 600, 4, 200, 200, {0, 200, 400, 600}, {399, 199, 0}},
        {1024, 768, 3, 341, 256, {0, 341, 682, 0}, {511, 255, 0}},
        {1024, 768, 4, 256, 256, {0, 256, 512, 768}, {511, 255, 0}},
        // A height where a third off in its fourth digit would move row 1 by a pixel.
        {1000, 1000, 4, 250, 333, {0, 250, 500, 750}, {666, 333, 0}},
    };
    for (const Case& c : cases) {
        for (int i = 0; i < 3 * c.columns; ++i) {
            const CellRect r = cellViewport(i, c.columns, c.width, c.height);
            SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " columns " +
                         std::to_string(c.columns) + " cell " + std::to_string(i));
            EXPECT_EQ(r.width, c.w);
            EXPECT_EQ(r.height, c.h);
            EXPECT_EQ(r.x, c.xs[i % c.columns]);
            EXPECT_EQ(r.y, c.ys[i / c.columns]);
        }
    }
}

TEST(CellLayout, CellsAndSlotsOfBothLayouts) {
    EXPECT_EQ(cellCount(0), 9);
    EXPECT_EQ(cellCount(1), 12);
    EXPECT_EQ(cellCount(-7), 12); // any non-zero layout is four columns
    const int threeColumnSlots[8] = {0, 1, 2, 4, 5, 6, 8, 9};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(slotOfCell(i, 0), threeColumnSlots[i]) << "cell " << i;
    }
    for (int i = 0; i < 11; ++i) {
        EXPECT_EQ(slotOfCell(i, 1), i);
    }
}

TEST(CellLayout, DefaultSlotsReadInTheirOrder) {
    const Settings s = defaultSettings();
    const char* threeColumns[8] = {
        "Throttle",      "RPM",        "Controller Temp", "Motor Voltage",
        "Motor Current", "Duty Cycle", "Battery Voltage", "Battery Current"};
    for (int i = 0; i < 8; ++i) {
        const int row = gaugeKindRow(s.gaugeSlots[slotOfCell(i, 0)]);
        ASSERT_GE(row, 0);
        EXPECT_STREQ(gaugeKindTable[row].name, threeColumns[i]) << "cell " << i;
    }
    const char* fourColumns[11] = {"Throttle",        "RPM",           "Controller Temp",
                                   "Speed",           "Motor Voltage", "Motor Current",
                                   "Duty Cycle",      "Whr/Distance",  "Battery Voltage",
                                   "Battery Current", "Battery Power"};
    for (int i = 0; i < 11; ++i) {
        const int row = gaugeKindRow(s.gaugeSlots[slotOfCell(i, 1)]);
        ASSERT_GE(row, 0);
        EXPECT_STREQ(gaugeKindTable[row].name, fourColumns[i]) << "cell " << i;
    }
}

TEST(GaugeKindTable, OffersEveryKindButTheSecondNeedle) {
    const char* names[13] = {"Throttle",
                             "RPM",
                             "Speed",
                             "Duty Cycle",
                             "Controller Temp",
                             "Motor Voltage",
                             "Motor Current",
                             "Motor Current Limit",
                             "Battery Voltage",
                             "Battery Current",
                             "Battery Power",
                             "Whr/Distance",
                             "Volts/Amps (experimental)"};
    const int32_t ids[13] = {0, 1, 8, 2, 3, 4, 5, 6, 7, 9, 10, 11, 13};
    for (int row = 0; row < 13; ++row) {
        EXPECT_EQ(gaugeKindTable[row].id, ids[row]) << row;
        EXPECT_STREQ(gaugeKindTable[row].name, names[row]) << row;
        EXPECT_EQ(gaugeKindRow(ids[row]), row) << ids[row];
    }
    for (int32_t id : {12, 14, -1}) {
        EXPECT_EQ(gaugeKindRow(id), -1) << id;
    }
}

// Every row after the settings apply: the listed definition, with the other unit's where it is
// chosen, and the range of the settings wherever the settings have one.
TEST_F(GaugeSettings, EveryRowIsTheListedDefinitionWithTheUnitsAndRangesOfTheSettings) {
    expectTable(listed); // before any settings apply
    // Whole here: the rows they replace take the settings' ranges.
    expectSame(milesSpeedDef, listedMiles);
    expectSame(perMileDef, listedPerMile);

    const struct {
        GaugeKind kind;
        int32_t Settings::*min;
        int32_t Settings::*max;
        int32_t lo, hi;
    } ranges[] = {
        {BatteryVoltage, &Settings::batteryVoltsMin, &Settings::batteryVoltsMax, 90, 140},
        {BatteryCurrent, &Settings::batteryAmpsMin, &Settings::batteryAmpsMax, -50, 450},
        {BatteryPower, &Settings::batteryKwMin, &Settings::batteryKwMax, 2, 60},
        {MotorVoltage, &Settings::motorVoltsMin, &Settings::motorVoltsMax, 3, 144},
        {MotorCurrent, &Settings::motorAmpsMin, &Settings::motorAmpsMax, -100, 700},
        {MotorCurrentLimit, &Settings::motorAmpsMin, &Settings::motorAmpsMax, -100, 700},
        {Speed, &Settings::speedMin, &Settings::speedMax, 5, 95},
        {WhPerDistance, &Settings::whPerDistanceMin, &Settings::whPerDistanceMax, 10, 250},
        {WhPerDistanceNow, &Settings::whPerDistanceMin, &Settings::whPerDistanceMax, 10, 250},
    };
    const int32_t units[][2] = {{0, 0}, {1, 0}, {0, 1}, {2, 2}}; // only 1 chooses the other unit
    for (const auto& unit : units) {
        std::memcpy(gaugeDefs, saved, sizeof saved);
        settings.temperatureUnit = unit[0];
        settings.distanceUnit = unit[1];
        for (const auto& r : ranges) {
            settings.*r.min = r.lo;
            settings.*r.max = r.hi;
        }
        applyGaugeSettings();
        GaugeDef want[gaugeDefCount];
        std::memcpy(want, listed, sizeof want);
        if (unit[0] == 1) {
            want[ControllerTemp] = listedFahrenheit;
        }
        if (unit[1] == 1) {
            want[Speed] = listedMiles;
            want[WhPerDistance] = want[WhPerDistanceNow] = listedPerMile;
        }
        for (const auto& r : ranges) {
            want[r.kind].minValue = static_cast<float>(r.lo);
            want[r.kind].maxValue = static_cast<float>(r.hi);
        }
        SCOPED_TRACE("units " + std::to_string(unit[0]) + " " + std::to_string(unit[1]));
        expectTable(want);
    }
}

TEST_F(GaugeSettings, ApplyingTwiceGivesTheSameTable) {
    settings.temperatureUnit = 1;
    settings.distanceUnit = 1;
    settings.batteryVoltsMin = 90;
    applyGaugeSettings();
    GaugeDef once[gaugeDefCount];
    std::memcpy(once, gaugeDefs, sizeof once);
    applyGaugeSettings();
    EXPECT_EQ(std::memcmp(once, gaugeDefs, sizeof once), 0);
}
} // namespace
