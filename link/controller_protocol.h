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

// Opens the port named by settings.comPort and begins the stop and start sequences; linkStep is
// starting until they have run (advanceLink), and then linkRunning is set and the logs are made.
void beginStart();

// Clears linkRunning and begins the stop sequence; linkStep is stopping until it has run and the
// port is closed.
void beginStop();

// Runs what is due of the start or stop in progress, as far as it goes without waiting for the
// line to fall quiet; while reconnecting, tries the device again when that is due.
void advanceLink();

// beginStart or beginStop, then the sequence run to its end, sleeping through its quiet times.
void startLink();
void stopLink();

// The start/stop key: stops a running link or one being started, starts a stopped one, gives up
// reconnecting. During a stop it asks for a start once the stop is through (again: not).
void toggleLink();

// Reads what has arrived and parses every complete line, in arrival order; returns how many.
int readReplyLines();
