// The program-wide flags of the entry, owned by the shell and read by the link and the
// dashboard; plain values, so that whatever reads them needs nothing of the window.
#pragma once
#include <cstdint>

extern int32_t running;          // the outer loop runs while non-zero
extern int32_t fullScreenWanted; // full-screen state for the next window creation
extern uint8_t debugMode;        // "debug" on the command line
extern uint8_t mwMode;           // "mwmode" on the command line
extern uint8_t reconnectMode;    // "reconnect" on the command line
extern int32_t keyDown[256];     // key state by Windows virtual-key code
