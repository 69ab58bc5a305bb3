// The battery model: battery volts against amps from the recent samples, with the least-squares
// line whose zero-current voltage is the open-circuit voltage and whose slope is the internal
// resistance.
#pragma once

struct BatteryFit {
    bool valid;   // false when the samples cannot fix a line (fewer than two distinct currents)
    double voc;   // volts at zero current
    double slope; // volts per ampere; -slope is the internal resistance
};

// Least-squares fit of V = voc + slope x I over the first n sample pairs; not valid unless the
// currents differ by more than rounding noise.
BatteryFit fitBatteryLine(const double* currents, const double* voltages, int n);

// Draws the plot into the current cell (0..1000 square): axes with numbered ticks, one dot per
// sample, and when a line can be fitted the line and its Voc and Rint figures. Leaves the matrix
// stack unchanged and the colour white.
void drawBatteryModel();

// The two halves of drawBatteryModel: the axes, which depend only on the scale settings, and
// the dots, line and figures, which do not depend on the colour they find.
void drawBatteryModelFace();
void drawBatteryModelLive();
