// The telemetry record and the parse of one controller line into it: nine base-16 fields, then
// the status letters.
#pragma once
#include <cstdint>

struct StatusFlags {
    uint8_t stopped;
    uint8_t shifting;
    uint8_t mainContactorOn;
    uint8_t motorContactorsOn;
    uint8_t reverse;
    uint8_t forward;
    uint8_t motorsParallel;
    uint8_t motorsSeries;
    uint8_t voltageDropWarning;
};

struct Telemetry {
    float rawChannels[9];    // the latest line's nine fields, uncalibrated
    StatusFlags statusFlags; // replaced together by every parsed line
    char lastLine[1024];     // the latest complete line, NUL-terminated, without its line end
};

// Filled line by line by the controller protocol; read by the quantities, the trip log and the
// dashboard.
extern Telemetry telemetry;

// Parses one line (NUL-terminated, without line end) into rawChannels and statusFlags.
void parseReplyLine(const char* line);

// strtol base 16 rules: returns the value and sets *end behind the digits (to text itself when
// there is no digit).
int32_t readHexField(const char* text, const char** end);

// The status letters at text (after the ninth field).
StatusFlags parseStatusLetters(const char* text);
