#include "shell/program_flags.h"

int32_t running = 0;
int32_t fullScreenWanted = 0;
uint8_t debugMode = 0;
uint8_t mwMode = 0;
uint8_t reconnectMode = 0;
int32_t keyDown[256];
