// The setup dialog's controls as a plain record: what each control shows (selection, check,
// text, enabled flag, label text), filled from `Settings` and read back into it. The widgets
// only mirror this record, so every rule of the dialog holds, and is tested, without a display.
// Control ids are the dialog's resource ids; the GtkBuilder templates name each control
// "control<id>".
#pragma once
#include <cstddef>
#include <cstdint>

#include "shell/settings.h"

// Main dialog.
inline constexpr int idStart = 1;
inline constexpr int idQuit = 2;
inline constexpr int idBanner = 104;
inline constexpr int idTabs = 1036;

// Parameters page.
inline constexpr int idComList = 1008;
inline constexpr int idModelK1K = 1009;
inline constexpr int idModelK2K = 1010;
inline constexpr int idCelcius = 1017;
inline constexpr int idFahrenheit = 1018;

// Fixed Ratio page.
inline constexpr int idKilometres = 1021;
inline constexpr int idMiles = 1022;
inline constexpr int idRpmToSpeed = 1023;
inline constexpr int idMultiplierLabel = 1037;
inline constexpr int idSpeedLabel = 1038;
inline constexpr int idPerDistanceLabel = 1039;

// Gauge Layout page: list idFirstGaugeList + i edits slot i.
inline constexpr int idLayout3x3 = 1052;
inline constexpr int idLayout3x4 = 1053;
inline constexpr int idFirstGaugeList = 1040;
inline constexpr int gaugeListCount = 11;

// Screen Settings page.
inline constexpr int id640x480 = 1001;
inline constexpr int id800x600 = 1002;
inline constexpr int id1024x768 = 1003;
inline constexpr int id16bpp = 1004;
inline constexpr int id32bpp = 1006;
inline constexpr int idFullScreen = 1007;

// Edit texts hold at most 99 characters, as much as the dialog reads back.
inline constexpr std::size_t editTextSize = 100;

struct EditState {
    int id;
    bool digitsOnly; // only digit keys are taken
    char text[editTextSize];
};

struct ListState {
    int id;
    int selected; // index, -1 = nothing selected
    bool enabled;
};

struct LabelState {
    int id;
    char text[128];
};

// Radio groups hold the id of their checked button.
struct SetupControls {
    // Parameters
    ListState comList;    // COM1..COM10
    LabelState comDevice; // beside the list: the device the chosen port opens (id 0: not a control)
    int modelRadio;       // idModelK1K / idModelK2K
    int temperatureRadio;
    EditState parameterEdits[10]; // 1014, 1013, 1019, 1020, 1024, 1025, 1011, 1012, 1015, 1016
    // Fixed Ratio
    int distanceRadio;
    LabelState unitLabels[3]; // 1037, 1038, 1039
    EditState rpmEdit;        // any characters
    EditState ratioEdits[4];  // 1030, 1031, 1026, 1027
    // Gauge Layout
    int layoutRadio;
    ListState gaugeLists[gaugeListCount];
    // Screen Settings
    int resolutionRadio;
    int depthRadio;
    bool fullScreenChecked;
};

// The controls as the dialog opens for these settings.
SetupControls setupControlsFrom(const Settings& source);

// Reads every control back into target, in the dialog's order: choices become 0 or 1, a COM list
// without selection gives 1, edits parse like atoi / atof, a gauge list without selection keeps
// its slot.
void readBackSetupControls(const SetupControls& controls, Settings& target);

// The three unit labels of the Fixed Ratio page for km (0) or miles (non-zero).
void setUnitLabels(SetupControls& controls, int32_t miles);

// Enables (non-zero) or disables the fourth-column lists 1043, 1047, 1050; selections stay.
void enableFourthColumn(SetupControls& controls, int32_t enable);

// Decimal integer like atoi: leading blanks, optional sign, digits up to the first other
// character, 0 without digits; beyond the int32 range it saturates.
int32_t parseDecimalInt(const char* text);

// Decimal number like atof in the C locale, as float32; 0 when nothing parses or the value is
// not a finite float32 (so "nan" or 1e39 cannot reach the speed calculation).
float parseDecimalFloat(const char* text);

// The multiplier as the dialog shows it: "%f" in the C locale, six decimals.
void formatMultiplier(float value, char* text, std::size_t size);

// Copies the digits of text into digits (the rest is dropped): what a digits-only edit takes of
// typed or pasted text.
void keepDigits(const char* text, char* digits, std::size_t size);

// The text beside the COM list: which device COM comNumber opens on this system, or that there
// is none. Returns true when a device exists.
bool describeComDevice(int comNumber, char* text, std::size_t size);

// Sets the comDevice label for the selected COM port (empty while nothing is selected). The
// stored value stays the port number; the device is looked up again on each call.
void updateComDevice(SetupControls& controls);

// The control with that id on record controls, or nullptr.
EditState* findEdit(SetupControls& controls, int id);
ListState* findList(SetupControls& controls, int id);
LabelState* findLabel(SetupControls& controls, int id);
