// The battery model: the recent current/voltage samples as dots on fixed axes, and the straight
// line that fits them best. Where it crosses zero current is the open-circuit voltage; its slope
// is the battery's internal resistance. Recomputed from the whole ring every frame.
#include <GL/gl.h>
#include <GL/glu.h>

#include "dashboard/battery_model.h"
#include "dashboard/dial.h"
#include "dashboard/frame.h"
#include "link/quantities.h"
#include "shell/settings.h"
#include "text/text_print.h"

namespace {
GLUquadric* plotQuadric = nullptr;

constexpr float plotSize = 800.0f;
constexpr int maxTicks = 64;

struct Axis {
    TickScale scale;
    float toPlot(double v) const {
        return static_cast<float>((v - scale.tickStart) * plotSize /
                                  (scale.tickEnd - scale.tickStart));
    }
};

void drawAxes(const Axis& amps, const Axis& volts) {
    glColor3f(1.0f, 1.0f, 1.0f);
    glLineWidth(1.0f);
    glBegin(GL_LINES);
    glVertex2f(0.0f, 0.0f);
    glVertex2f(0.0f, plotSize);
    glVertex2f(0.0f, 0.0f);
    glVertex2f(plotSize, 0.0f);
    glEnd();

    float ticks[maxTicks];
    int count = tickValues(amps.scale, ticks, maxTicks);
    for (int k = 0; k < count; ++k) {
        const float x = amps.toPlot(ticks[k]);
        glPushMatrix();
        printText(smallFont, true, x, -50.0f, "%.0f", static_cast<double>(ticks[k]));
        glPopMatrix();
        glBegin(GL_LINES);
        glVertex2f(x, -10.0f);
        glVertex2f(x, 10.0f);
        glEnd();
    }
    count = tickValues(volts.scale, ticks, maxTicks);
    for (int k = 0; k < count; ++k) {
        const float y = volts.toPlot(ticks[k]);
        glPushMatrix();
        printText(smallFont, true, -50.0f, y, "%.0f", static_cast<double>(ticks[k]));
        glPopMatrix();
        glBegin(GL_LINES);
        glVertex2f(-10.0f, y);
        glVertex2f(10.0f, y);
        glEnd();
    }
}
} // namespace

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

void drawBatteryModel() {
    if (plotQuadric == nullptr) {
        plotQuadric = gluNewQuadric();
    }
    const Axis amps{niceScale(static_cast<float>(settings.batteryAmpsMin),
                              static_cast<float>(settings.batteryAmpsMax))};
    const Axis volts{niceScale(static_cast<float>(settings.batteryVoltsMin),
                               static_cast<float>(settings.batteryVoltsMax))};

    glPushMatrix();
    glPushMatrix();
    glTranslatef(100.0f, 100.0f, 0.0f);
    drawAxes(amps, volts);
    glPopMatrix();
    glColor3f(1.0f, 1.0f, 1.0f);

    const int n = tripTotals.sampleIndex < static_cast<uint32_t>(sampleRingSize)
                      ? static_cast<int>(tripTotals.sampleIndex)
                      : sampleRingSize;
    for (int i = 0; i < n; ++i) {
        glPushMatrix();
        glTranslatef(amps.toPlot(tripTotals.currentSamples[i]) + 100.0f,
                     volts.toPlot(tripTotals.voltageSamples[i]) + 100.0f, 0.0f);
        gluDisk(plotQuadric, 0.0, 10.0, 5, 5);
        glPopMatrix();
    }

    const BatteryFit fit = fitBatteryLine(tripTotals.currentSamples, tripTotals.voltageSamples, n);
    if (!fit.valid) {
        glPopMatrix();
        return;
    }
    const double xStart = amps.scale.tickStart;
    const double xEnd = amps.scale.tickEnd;
    glColor3f(1.0f, 0.65f, 0.0f);
    glLineWidth(3.0f);
    glBegin(GL_LINES);
    glVertex2f(100.0f, volts.toPlot(fit.voc + fit.slope * xStart) + 100.0f);
    glVertex2f(900.0f, volts.toPlot(fit.voc + fit.slope * xEnd) + 100.0f);
    glEnd();

    glColor3f(1.0f, 1.0f, 1.0f);
    glPushMatrix();
    printText(smallFont, false, 400.0f, 900.0f, "Voc  = %0.1f V", fit.voc);
    printText(smallFont, false, 400.0f, 800.0f, "Rint = %0.3f ohms", -fit.slope);
    glPopMatrix();
    glPopMatrix();
}
