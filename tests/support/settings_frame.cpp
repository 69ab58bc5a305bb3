#include "support/settings_frame.h"

#include <GL/gl.h>
#include <cstring>

#include "dashboard/frame.h"
#include "dashboard/gauges.h"
#include "link/quantities.h"
#include "shell/app.h"
#include "shell/setup_controls.h"

namespace {
// The tables as the program starts with them, copied before anything can adapt them.
const struct StartTables {
    GaugeDef defs[gaugeDefCount];
    ChannelCalibration calibration[9];
    StartTables() {
        std::memcpy(defs, gaugeDefs, sizeof defs);
        std::memcpy(calibration, channelCalibration, sizeof calibration);
    }
} startTables;

bool endsInside(const char* text, std::size_t size) {
    return std::memchr(text, '\0', size) != nullptr;
}
} // namespace

void applySettingsRecord() {
    std::memcpy(gaugeDefs, startTables.defs, sizeof gaugeDefs);
    std::memcpy(channelCalibration, startTables.calibration, sizeof channelCalibration);
    applyCalibrationOverrides();
    applyGaugeSettings();
}

std::string checkCellLayout(int32_t width, int32_t height) {
    const int columns = columnCount(settings.gaugeLayout);
    const int cells = cellCount(settings.gaugeLayout);
    if (cells != 3 * columns || (columns != 3 && columns != 4)) {
        return "layout of " + std::to_string(cells) + " cells in " + std::to_string(columns);
    }
    for (int cell = 0; cell < cells; ++cell) {
        const CellRect r = cellViewport(cell, columns, width, height);
        if (r.x < 0 || r.y < 0 || r.x + r.width > width || r.y + r.height > height) {
            return "cell " + std::to_string(cell) + " outside the window";
        }
        if (cell < cells - 1) {
            const int slot = slotOfCell(cell, settings.gaugeLayout);
            if (slot < 0 || slot > 10) {
                return "cell " + std::to_string(cell) + " in slot " + std::to_string(slot);
            }
        }
    }
    return "";
}

std::string checkControlsRoundTrip(const Settings& record) {
    const SetupControls controls = setupControlsFrom(record);
    if (!endsInside(controls.comDevice.text, sizeof controls.comDevice.text) ||
        !endsInside(controls.rpmEdit.text, sizeof controls.rpmEdit.text)) {
        return "a text runs past its control";
    }
    for (const EditState& edit : controls.parameterEdits) {
        if (!endsInside(edit.text, sizeof edit.text)) {
            return "edit " + std::to_string(edit.id) + " runs past its control";
        }
    }
    for (const ListState& list : controls.gaugeLists) {
        if (list.selected < 0 || list.selected >= gaugeKindCount) {
            return "list " + std::to_string(list.id) + " selects row " +
                   std::to_string(list.selected);
        }
    }
    Settings back = record;
    readBackSetupControls(controls, back);
    const int32_t* const before[] = {
        &record.batteryVoltsMin,  &record.batteryVoltsMax, &record.batteryAmpsMin,
        &record.batteryAmpsMax,   &record.batteryKwMin,    &record.batteryKwMax,
        &record.motorVoltsMin,    &record.motorVoltsMax,   &record.motorAmpsMin,
        &record.motorAmpsMax,     &record.speedMin,        &record.speedMax,
        &record.whPerDistanceMin, &record.whPerDistanceMax};
    const int32_t* const after[] = {
        &back.batteryVoltsMin,  &back.batteryVoltsMax, &back.batteryAmpsMin, &back.batteryAmpsMax,
        &back.batteryKwMin,     &back.batteryKwMax,    &back.motorVoltsMin,  &back.motorVoltsMax,
        &back.motorAmpsMin,     &back.motorAmpsMax,    &back.speedMin,       &back.speedMax,
        &back.whPerDistanceMin, &back.whPerDistanceMax};
    for (std::size_t i = 0; i < sizeof before / sizeof before[0]; ++i) {
        if (*before[i] != *after[i]) {
            return "number " + std::to_string(i) + " read back as " + std::to_string(*after[i]) +
                   " from " + std::to_string(*before[i]);
        }
    }
    return "";
}

void drawSettingsFrame(int32_t width, int32_t height) {
    resizeDashboard(width, height);
    drawDashboard();
    glFinish();
}

uint32_t RecordRandom::next() {
    // 64-bit linear congruential step (Knuth's MMIX constants), upper half out.
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<uint32_t>(state >> 32);
}

Settings randomSettingsRecord(RecordRandom& random) {
    // Wholly random words would almost never name a gauge kind or a sane range, and the frame
    // would be empty cells; so half the words are random bits and the rest small or moderate
    // numbers, every kind and layout showing up often.
    uint32_t words[sizeof(Settings) / 4];
    for (uint32_t& word : words) {
        const uint32_t pick = random.next() % 4;
        const uint32_t bits = random.next();
        if (pick < 2) {
            word = bits;
        } else if (pick == 2) {
            word = static_cast<uint32_t>(static_cast<int32_t>(bits % 18) - 2);
        } else {
            word = static_cast<uint32_t>(static_cast<int32_t>(bits % 4001) - 2000);
        }
    }
    Settings record;
    std::memcpy(&record, words, sizeof record);
    if (random.next() % 2 == 0) {
        record.rpmToSpeed = static_cast<float>(random.next() % 1000) / 10000.0f;
    }
    return record;
}
