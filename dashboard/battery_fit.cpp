#include "dashboard/battery_fit.h"

BatteryFit fitBatteryLine(const double* currents, const double* voltages, int n) {
    const double count = n;
    double sx = 0.0;
    double sxx = 0.0;
    for (int i = 0; i < n; ++i) {
        sx += currents[i];
        sxx += currents[i] * currents[i];
    }
    // d is count times the spread of the currents around their mean. Samples that all share one
    // current (frames repeat the latest line's pair) leave only rounding noise in it, which
    // would fix a line of arbitrary slope; such a d counts as zero.
    const double d = count * sxx - sx * sx;
    if (!(d > count * sxx * 1e-10)) {
        return {false, 0.0, 0.0};
    }
    double a = 0.0;
    double b = 0.0;
    for (int i = 0; i < n; ++i) {
        a += (sxx - sx * currents[i]) * voltages[i];
        b += (count * currents[i] - sx) * voltages[i];
    }
    return {true, a / d, b / d};
}
