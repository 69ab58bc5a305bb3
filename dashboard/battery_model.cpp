// The battery model: the recent current/voltage samples as dots on fixed axes, and the straight
// line that fits them best. Where it crosses zero current is the open-circuit voltage; its slope
// is the battery's internal resistance. Recomputed from the whole ring every frame.
#include <GL/gl.h>
#include <GL/glu.h>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "dashboard/battery_fit.h"
#include "dashboard/battery_model.h"
#include "dashboard/dial.h"
#include "dashboard/frame.h"
#include "link/quantities.h"
#include "shell/settings.h"
#include "text/identity_matrices.h"
#include "text/text_print.h"

namespace {
// A dot is gluDisk(0, 10, 5, 5). Only the pentagon of its outer loop has edges in the picture
// (the loops inside share their vertices), so three triangles over the same five corners cover
// the same pixels. The corners are computed as GLU computes them.
struct DotCorners {
    float x[5];
    float y[5];
    DotCorners() {
        const double pi = 3.14159265358979323846;
        for (int i = 0; i < 5; ++i) {
            const float angle = ((pi * 360.0) / 180.0) * i / 5;
            x[i] = 10.0f * static_cast<float>(std::sin(static_cast<double>(angle)));
            y[i] = 10.0f * static_cast<float>(std::cos(static_cast<double>(angle)));
        }
    }
};
const DotCorners dotCorners;

// Counter-clockwise like GLU's quads, so each outer edge is run in the same direction.
constexpr int dotFan[9] = {0, 4, 3, 0, 3, 2, 0, 2, 1};

// Every dot's centre in the cell, and the clip coordinates of its triangles, two floats a corner.
PlotPoint dotCentres[sampleRingSize];
float dotVertices[sampleRingSize][std::size(dotFan)][2];

constexpr float plotSize = 800.0f;

struct Axis {
    TickScale scale;
    float toPlot(double v) const {
        return (v - scale.tickStart) * plotSize / (scale.tickEnd - scale.tickStart);
    }
};

// Dots at the same place cover the same pixels in the same colour, so each place is drawn once:
// every frame takes a sample, and between two controller lines the samples repeat, so most of
// the ring is repeats. Places are told apart by their bits (a NaN sorts too); the order they
// are drawn in changes nothing.
int keepDistinct(PlotPoint* centres, int n) {
    static uint64_t keys[sampleRingSize];
    for (int i = 0; i < n; ++i) {
        uint32_t x = 0;
        uint32_t y = 0;
        std::memcpy(&x, &centres[i].x, sizeof x);
        std::memcpy(&y, &centres[i].y, sizeof y);
        keys[i] = uint64_t(x) << 32 | y;
    }
    std::sort(keys, keys + n);
    const int distinct = int(std::unique(keys, keys + n) - keys);
    for (int i = 0; i < distinct; ++i) {
        const auto x = uint32_t(keys[i] >> 32);
        const auto y = uint32_t(keys[i]);
        std::memcpy(&centres[i].x, &x, sizeof x);
        std::memcpy(&centres[i].y, &y, sizeof y);
    }
    return distinct;
}

// One draw for all dots: each dot's corners are taken to clip space as the driver would under
// a matrix translated to the dot's centre (TranslatedToClip), so the triangles land where
// per-dot matrices would put them, to the bit. The modelview must be the identity on entry.
void drawDotsAtOnce() {
    const int n = keepDistinct(dotCentres, batteryDotCentres(dotCentres));
    if (n == 0) {
        return;
    }
    float p[16];
    glGetFloatv(GL_PROJECTION_MATRIX, p);
    float* out = &dotVertices[0][0][0];
    for (int i = 0; i < n; ++i) {
        const TranslatedToClip dot(p, dotCentres[i].x, dotCentres[i].y);
        for (int corner : dotFan) {
            dot.put(dotCorners.x[corner], dotCorners.y[corner], out);
        }
    }
    const IdentityMatrices clipSpace;
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(2, GL_FLOAT, 0, dotVertices);
    glDrawArrays(GL_TRIANGLES, 0, n * 9);
    glDisableClientState(GL_VERTEX_ARRAY);
}

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

Axis ampsAxis() {
    return Axis{niceScale(settings.batteryAmpsMin, settings.batteryAmpsMax)};
}
Axis voltsAxis() {
    return Axis{niceScale(settings.batteryVoltsMin, settings.batteryVoltsMax)};
}
} // namespace

int batterySampleCount() {
    return static_cast<int>(
        std::min(tripTotals.sampleIndex, static_cast<uint32_t>(sampleRingSize)));
}

void drawBatteryModelFace() {
    glPushMatrix();
    glTranslatef(100.0f, 100.0f, 0.0f);
    drawAxes(ampsAxis(), voltsAxis());
    glPopMatrix();
}

int batteryDotCentres(PlotPoint* centres) {
    const Axis amps = ampsAxis();
    const Axis volts = voltsAxis();
    const int n = batterySampleCount();
    for (int i = 0; i < n; ++i) {
        centres[i] = {amps.toPlot(tripTotals.currentSamples[i]) + 100.0f,
                      volts.toPlot(tripTotals.voltageSamples[i]) + 100.0f};
    }
    return n;
}

void drawBatteryModelLive() {
    glPushMatrix();
    glColor3f(1.0f, 1.0f, 1.0f);
    drawDotsAtOnce();
    drawBatteryLine();
    glPopMatrix();
}

void drawBatteryLine() {
    const Axis amps = ampsAxis();
    const Axis volts = voltsAxis();
    const BatteryFit fit =
        fitBatteryLine(tripTotals.currentSamples, tripTotals.voltageSamples, batterySampleCount());
    if (!fit.valid) {
        // Kept faces are not drawn again each frame: the width a fitted line set in an earlier
        // frame would otherwise still hold.
        glLineWidth(1.0f);
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
}
