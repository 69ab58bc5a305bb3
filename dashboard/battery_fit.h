// The battery's straight line: the least-squares fit of battery volts against amps, whose
// zero-current voltage is the open-circuit voltage and whose slope is the internal resistance.
// Plain arithmetic, no drawing: the dashboard's battery model and the trip report share it.
#pragma once

struct BatteryFit {
    bool valid;   // false when the samples cannot fix a line (fewer than two distinct currents)
    double voc;   // volts at zero current
    double slope; // volts per ampere; -slope is the internal resistance
};

// Least-squares fit of V = voc + slope x I over the first n sample pairs; not valid unless the
// currents differ by more than rounding noise.
BatteryFit fitBatteryLine(const double* currents, const double* voltages, int n);
