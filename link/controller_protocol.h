// The controller's line protocol: the start and stop sequences, cutting the received stream into
// lines, and parsing each line into the telemetry record.
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

// Owned here; read by the quantities and the dashboard.
extern Telemetry telemetry;
extern bool linkRunning;      // set once the start sequence has been sent
extern char lineBuffer[1024]; // received bytes not yet ended by a line feed
extern int32_t lineFill;      // bytes held in lineBuffer; none of them is a line feed

// Opens the port named by settings.comPort and sends the stop and start sequences.
void startLink();

// Clears linkRunning, sends the stop sequence and closes the port.
void stopLink();

// stopLink when the link runs, else startLink.
void toggleLink();

// Reads what has arrived and parses every complete line, in arrival order.
void readReplyLines();

// Parses one line (NUL-terminated, without line end) into rawChannels and statusFlags.
void parseReplyLine(const char* line);

// strtol base 16 rules: returns the value and sets *end behind the digits (to text itself when
// there is no digit).
int32_t readHexField(const char* text, const char** end);

// The status letters at text (after the ninth field).
StatusFlags parseStatusLetters(const char* text);
