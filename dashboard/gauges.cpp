#include "dashboard/gauges.h"

#include "shell/settings.h"

const GaugeKindEntry gaugeKindTable[gaugeKindCount] = {
    {Throttle, "Throttle"},
    {Rpm, "RPM"},
    {Speed, "Speed"},
    {DutyCycle, "Duty Cycle"},
    {ControllerTemp, "Controller Temp"},
    {MotorVoltage, "Motor Voltage"},
    {MotorCurrent, "Motor Current"},
    {MotorCurrentLimit, "Motor Current Limit"},
    {BatteryVoltage, "Battery Voltage"},
    {BatteryCurrent, "Battery Current"},
    {BatteryPower, "Battery Power"},
    {WhPerDistance, "Whr/Distance"},
    {BatteryModel, "Volts/Amps (experimental)"},
};

int gaugeKindRow(int32_t id) {
    for (int row = 0; row < gaugeKindCount; ++row) {
        if (gaugeKindTable[row].id == id) {
            return row;
        }
    }
    return -1;
}

GaugeDef gaugeDefs[gaugeDefCount] = {
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

const GaugeDef fahrenheitTempDef = {"Cont. Temp.", " F", "%.0f%s", 70, 180, -135, 60};
const GaugeDef milesSpeedDef = {"miles", " mph", "%.0f%s", 0, 140, -135, -45};
const GaugeDef perMileDef = {"w.hrs/mile", "", "%.0f%s", 0, 400, 150, 30};

namespace {
void setRange(GaugeKind kind, int32_t minValue, int32_t maxValue) {
    gaugeDefs[kind].minValue = minValue;
    gaugeDefs[kind].maxValue = maxValue;
}
} // namespace

void applyGaugeSettings() {
    if (settings.temperatureUnit == 1) {
        gaugeDefs[ControllerTemp] = fahrenheitTempDef;
    }
    if (settings.distanceUnit == 1) {
        gaugeDefs[Speed] = milesSpeedDef;
        gaugeDefs[WhPerDistance] = perMileDef;
        gaugeDefs[WhPerDistanceNow] = perMileDef;
    }
    setRange(BatteryVoltage, settings.batteryVoltsMin, settings.batteryVoltsMax);
    setRange(BatteryCurrent, settings.batteryAmpsMin, settings.batteryAmpsMax);
    setRange(BatteryPower, settings.batteryKwMin, settings.batteryKwMax);
    setRange(MotorVoltage, settings.motorVoltsMin, settings.motorVoltsMax);
    setRange(MotorCurrent, settings.motorAmpsMin, settings.motorAmpsMax);
    setRange(MotorCurrentLimit, settings.motorAmpsMin, settings.motorAmpsMax);
    setRange(Speed, settings.speedMin, settings.speedMax);
    setRange(WhPerDistance, settings.whPerDistanceMin, settings.whPerDistanceMax);
    setRange(WhPerDistanceNow, settings.whPerDistanceMin, settings.whPerDistanceMax);
}

int columnCount(int32_t gaugeLayout) {
    return gaugeLayout != 0 ? 4 : 3;
}

int cellCount(int32_t gaugeLayout) {
    return 3 * columnCount(gaugeLayout);
}

int slotOfCell(int i, int32_t gaugeLayout) {
    return gaugeLayout != 0 ? i : i + i / 3;
}

CellRect cellViewport(int i, int columns, int32_t viewWidth, int32_t viewHeight) {
    // A third in single precision is a hair above a third: rows 0 and 1 end one pixel low and the
    // top pixel row of the window belongs to no cell. The picture has always been so.
    const double third = static_cast<double>(0.33333334f);
    const double rowHeight = viewHeight * third;
    CellRect r;
    r.width = viewWidth / columns;
    r.height = static_cast<int32_t>(rowHeight);
    r.x = (i % columns) * r.width;
    r.y = static_cast<int32_t>(viewHeight - (i / columns + 1) * rowHeight);
    return r;
}
