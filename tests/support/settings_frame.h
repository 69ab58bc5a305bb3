// A settings record taken as the program takes it at start, and the checks that every reader of
// the record copes with it: the tables it adapts, the cell layout, one frame drawn from it, and
// the setup dialog's control record. Shared by the settings-record tests and the fuzz target.
#pragma once
#include <cstdint>
#include <string>

#include "shell/settings.h"

// Puts the gauge definitions, the channel calibration and the command-line flags back as the
// program starts with them, then applies `settings` as initDashboard does (calibration overrides,
// then the gauge settings); the fonts are left as they are.
void applySettingsRecord();

// Every cell of the layout maps to a slot 0..10 and a viewport inside the window. "" when
// fine, else what is wrong.
std::string checkCellLayout(int32_t viewWidth, int32_t viewHeight);

// The dialog's controls filled from record and read back: every text ends inside its control,
// and every number the dialog shows as an integer comes back unchanged. "" when fine.
std::string checkControlsRoundTrip(const Settings& record);

// One frame of the current state at that size, into the current GL context's back buffer.
void drawSettingsFrame(int32_t viewWidth, int32_t viewHeight);

// A small deterministic generator, so a record sequence is the same on every machine.
struct RecordRandom {
    uint64_t state;
    uint32_t next();
};

// A random 136-byte settings record (see the generator for how its words are spread).
Settings randomSettingsRecord(RecordRandom& random);
