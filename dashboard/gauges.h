// The gauge vocabulary: kinds, the kind-name table of the setup dialog, the display definition of
// every dial adapted to the unit and range settings, and how cells map to slots and viewports.
#pragma once
#include <cstdint>

enum GaugeKind : int32_t {
    Throttle = 0,
    Rpm = 1,
    DutyCycle = 2,
    ControllerTemp = 3,
    MotorVoltage = 4,
    MotorCurrent = 5,
    MotorCurrentLimit = 6,
    BatteryVoltage = 7,
    Speed = 8,
    BatteryCurrent = 9,
    BatteryPower = 10,
    WhPerDistance = 11,
    WhPerDistanceNow = 12, // second needle of kind 11; no row in the kind-name table
    BatteryModel = 13,     // the volts/amps plot
};

struct GaugeKindEntry {
    int32_t id;
    char name[32];
};

inline constexpr int gaugeKindCount = 13;
extern const GaugeKindEntry gaugeKindTable[gaugeKindCount];

// Row of gaugeKindTable holding id, or -1.
int gaugeKindRow(int32_t id);

struct GaugeDef {
    char label[12]; // caption, printed as a format without arguments (speed: distance unit)
    char unit[8];   // printed after the value through the "%s" of valueFormat
    char valueFormat[12];
    float minValue;
    float maxValue;
    float startAngle; // degrees, counter-clockwise from +x; the scale runs clockwise
    float endAngle;
};

inline constexpr int gaugeDefCount = 13; // kinds 0..12
extern GaugeDef gaugeDefs[gaugeDefCount];
extern const GaugeDef fahrenheitTempDef;
extern const GaugeDef milesSpeedDef;
extern const GaugeDef perMileDef;

// Adapts gaugeDefs to the unit and range settings; the same settings always give the same table.
void applyGaugeSettings();

// 9 for three columns (gaugeLayout 0), 12 for four.
int cellCount(int32_t gaugeLayout);
int columnCount(int32_t gaugeLayout);

// The slot shown in cell i (not for the last cell, the status panel).
int slotOfCell(int i, int32_t gaugeLayout);

struct CellRect {
    int32_t x;
    int32_t y; // from the bottom, as OpenGL viewports count
    int32_t width;
    int32_t height;
};

// Pixel rectangle of cell i in a viewWidth x viewHeight window.
CellRect cellViewport(int i, int columns, int32_t viewWidth, int32_t viewHeight);
