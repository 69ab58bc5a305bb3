// The battery model: battery volts against amps from the recent samples, with the least-squares
// line whose zero-current voltage is the open-circuit voltage and whose slope is the internal
// resistance.
#pragma once

// Draws the plot into the current cell (0..1000 square): axes with numbered ticks, one dot per
// sample, and when a line can be fitted the line and its Voc and Rint figures. Leaves the matrix
// stack unchanged and the colour white.
void drawBatteryModel();

// The two halves of drawBatteryModel: the axes, which depend only on the scale settings, and
// the dots, line and figures, which do not depend on the colour they find.
void drawBatteryModelFace();
void drawBatteryModelLive();
