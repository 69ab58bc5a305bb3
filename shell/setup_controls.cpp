// Filling the setup controls from the settings and reading them back. The order of the read-back
// is the dialog's order; every value passes through the text or the selection a person sees, so
// what the dialog shows is exactly what "Start" stores.
#include "shell/setup_controls.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "dashboard/gauges.h"
#include "platform/com_device.h"

namespace {
constexpr int parameterEditIds[10] = {1014, 1013, 1019, 1020, 1024, 1025, 1011, 1012, 1015, 1016};
constexpr int ratioEditIds[4] = {1030, 1031, 1026, 1027};
constexpr int unitLabelIds[3] = {idMultiplierLabel, idSpeedLabel, idPerDistanceLabel};
constexpr int fourthColumnLists[3] = {1043, 1047, 1050};

// The unit labels, km first, then miles.
constexpr const char* unitLabelTexts[][3] = {
    {"Motor RPM -> km/h multiplier", "km/h", "w.hrs/km"},
    {"Motor RPM -> mph multiplier", "mph", "w.hrs/mile"},
};

// The Parameters edits in the dialog's order, paired with their fields.
int32_t* parameterFields(Settings& s, int i) {
    int32_t* const fields[10] = {&s.batteryVoltsMin, &s.batteryVoltsMax, &s.batteryAmpsMin,
                                 &s.batteryAmpsMax,  &s.batteryKwMin,    &s.batteryKwMax,
                                 &s.motorVoltsMin,   &s.motorVoltsMax,   &s.motorAmpsMin,
                                 &s.motorAmpsMax};
    return fields[i];
}

int32_t* ratioFields(Settings& s, int i) {
    int32_t* const fields[4] = {&s.speedMin, &s.speedMax, &s.whPerDistanceMin, &s.whPerDistanceMax};
    return fields[i];
}

void copyText(char* target, std::size_t size, const char* text) {
    std::snprintf(target, size, "%s", text);
}

EditState integerEdit(int id, int32_t value) {
    EditState edit{};
    edit.id = id;
    edit.digitsOnly = true;
    std::snprintf(edit.text, sizeof edit.text, "%d", value);
    return edit;
}
} // namespace

SetupControls setupControlsFrom(const Settings& source) {
    Settings s = source; // the field tables want a mutable record
    SetupControls c{};

    c.comList = {idComList, -1, true};
    if (s.comPort >= 1 && s.comPort <= 10) {
        c.comList.selected = s.comPort - 1;
    }
    updateComDevice(c);
    c.modelRadio = s.controllerModel == 0 ? idModelK1K : idModelK2K;
    c.temperatureRadio = s.temperatureUnit == 0 ? idCelcius : idFahrenheit;
    for (int i = 0; i < 10; ++i) {
        c.parameterEdits[i] = integerEdit(parameterEditIds[i], *parameterFields(s, i));
    }

    c.distanceRadio = s.distanceUnit == 0 ? idKilometres : idMiles;
    for (int i = 0; i < 3; ++i) {
        c.unitLabels[i].id = unitLabelIds[i];
    }
    setUnitLabels(c, s.distanceUnit);
    c.rpmEdit.id = idRpmToSpeed;
    c.rpmEdit.digitsOnly = false;
    formatMultiplier(s.rpmToSpeed, c.rpmEdit.text, sizeof c.rpmEdit.text);
    for (int i = 0; i < 4; ++i) {
        c.ratioEdits[i] = integerEdit(ratioEditIds[i], *ratioFields(s, i));
    }

    c.layoutRadio = s.gaugeLayout == 0 ? idLayout3x3 : idLayout3x4;
    for (int i = 0; i < gaugeListCount; ++i) {
        const int row = gaugeKindRow(s.gaugeSlots[i]);
        c.gaugeLists[i] = {idFirstGaugeList + i, std::max(row, 0), true};
    }
    enableFourthColumn(c, s.gaugeLayout);

    c.fullScreenChecked = s.fullScreen != 0;
    c.resolutionRadio = s.screenResolution == 1   ? id800x600
                        : s.screenResolution == 2 ? id1024x768
                                                  : id640x480;
    c.depthRadio = s.colorDepth != 0 ? id32bpp : id16bpp;
    return c;
}

void readBackSetupControls(const SetupControls& c, Settings& s) {
    s.comPort = std::max(c.comList.selected, 0) + 1; // nothing selected stores COM1
    s.controllerModel = c.modelRadio == idModelK1K ? 0 : 1;
    s.temperatureUnit = c.temperatureRadio == idCelcius ? 0 : 1;
    for (int i = 0; i < 10; ++i) {
        *parameterFields(s, i) = parseDecimalInt(c.parameterEdits[i].text);
    }
    s.distanceUnit = c.distanceRadio == idKilometres ? 0 : 1;
    s.rpmToSpeed = parseDecimalFloat(c.rpmEdit.text);
    for (int i = 0; i < 4; ++i) {
        *ratioFields(s, i) = parseDecimalInt(c.ratioEdits[i].text);
    }
    s.gaugeLayout = c.layoutRadio == idLayout3x3 ? 0 : 1;
    for (int i = 0; i < gaugeListCount; ++i) {
        const int row = c.gaugeLists[i].selected;
        if (row >= 0 && row < gaugeKindCount) {
            s.gaugeSlots[i] = gaugeKindTable[row].id;
        }
    }
    s.fullScreen = c.fullScreenChecked ? 1 : 0;
    s.colorDepth = c.depthRadio == id16bpp ? 0 : 1;
    s.screenResolution = c.resolutionRadio == id640x480   ? 0
                         : c.resolutionRadio == id800x600 ? 1
                                                          : 2;
}

void setUnitLabels(SetupControls& c, int32_t miles) {
    const int unit = miles != 0 ? 1 : 0;
    for (int i = 0; i < 3; ++i) {
        copyText(c.unitLabels[i].text, sizeof c.unitLabels[i].text, unitLabelTexts[unit][i]);
    }
}

void enableFourthColumn(SetupControls& c, int32_t enable) {
    for (const int id : fourthColumnLists) {
        c.gaugeLists[id - idFirstGaugeList].enabled = enable != 0;
    }
}

int32_t parseDecimalInt(const char* text) {
    const char* p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) {
        ++p;
    }
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+') {
        ++p;
    }
    // Accumulate towards the sign so that INT32_MIN itself is reachable; saturate beyond.
    int64_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = std::min(value * 10 + (*p - '0'), int64_t{INT32_MAX} + 1);
    }
    if (negative) {
        return static_cast<int32_t>(-value);
    }
    return static_cast<int32_t>(std::min(value, int64_t{INT32_MAX}));
}

float parseDecimalFloat(const char* text) {
    // The C locale, whatever the desktop's: the program never leaves the locale it starts in
    // (desktop.h), so the dialog shows "0.012400", never "0,012400".
    const double value = std::strtod(text, nullptr);
    if (!std::isfinite(value) || std::fabs(value) > FLT_MAX) {
        return 0.0f;
    }
    return value;
}

void formatMultiplier(float value, char* text, std::size_t size) {
    std::snprintf(text, size, "%f", static_cast<double>(value));
}

void keepDigits(const char* text, char* digits, std::size_t size) {
    std::size_t n = 0;
    for (const char* p = text; *p != '\0' && n + 1 < size; ++p) {
        if (*p >= '0' && *p <= '9') {
            digits[n++] = *p;
        }
    }
    if (size > 0) {
        digits[n] = '\0';
    }
}

bool describeComDevice(int comNumber, char* text, std::size_t size) {
    char path[PATH_MAX];
    if (!comDevicePath(comNumber, path, sizeof path)) {
        std::snprintf(text, size, "no device for COM%d", comNumber);
        return false;
    }
    describeDevicePath(path, text, size);
    return true;
}

void updateComDevice(SetupControls& c) {
    c.comDevice.text[0] = '\0';
    if (c.comList.selected >= 0) {
        describeComDevice(c.comList.selected + 1, c.comDevice.text, sizeof c.comDevice.text);
    }
}

EditState* findEdit(SetupControls& c, int id) {
    for (EditState& edit : c.parameterEdits) {
        if (edit.id == id) {
            return &edit;
        }
    }
    for (EditState& edit : c.ratioEdits) {
        if (edit.id == id) {
            return &edit;
        }
    }
    return c.rpmEdit.id == id ? &c.rpmEdit : nullptr;
}

ListState* findList(SetupControls& c, int id) {
    if (c.comList.id == id) {
        return &c.comList;
    }
    for (ListState& list : c.gaugeLists) {
        if (list.id == id) {
            return &list;
        }
    }
    return nullptr;
}

LabelState* findLabel(SetupControls& c, int id) {
    for (LabelState& label : c.unitLabels) {
        if (label.id == id) {
            return &label;
        }
    }
    return nullptr;
}
