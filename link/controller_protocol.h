// The controller's line protocol: the start and stop sequences, and cutting the received stream
// into lines that are logged, parsed into the telemetry record and written to the trip log. The
// link as the dashboard reads it comes with this header: the telemetry and linkRunning.
#pragma once
#include <cstdint>

#include "link/link_session.h"
#include "link/telemetry.h"

// Owned here.
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
