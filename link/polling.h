// The link's per-frame step: the dashboard keys, then reading and accumulating while it runs.
#pragma once
#include <cstdint>

// Acts on Escape (quit), F1 (full-screen toggle) and S (start/stop), then, while the link runs,
// reads the controller's lines and accumulates the frame; a start or stop in progress goes on as
// far as it can without waiting. True while the link runs, starts, stops or reconnects (the main
// loop draws the next frame at once), false when idle (the main loop rests 10 ms).
// Uses the window and key array kept by initDashboard.
bool updateLink(uint32_t elapsedMs);

// For a main loop waiting for its next frame while the link runs: waits at most timeoutMs for the
// controller and takes in what it sent. True when a whole line arrived (the frame that shows it
// may start at once) or the link stopped on a failure; false at once when the link is not
// running.
bool awaitLine(int timeoutMs);
