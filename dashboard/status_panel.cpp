// The status panel: what the trip has used so far and the controller's flags as coloured words.
#include <GL/gl.h>
#include <cstdio>

#include "dashboard/frame.h"
#include "dashboard/status_panel.h"
#include "link/controller_protocol.h"
#include "link/quantities.h"
#include "text/text_print.h"

namespace {
struct Rgb {
    float r, g, b;
};
constexpr Rgb white{1.0f, 1.0f, 1.0f};
constexpr Rgb red{1.0f, 0.0f, 0.0f};
constexpr Rgb green{0.0f, 1.0f, 0.0f};

// The baselines of the first line (the charge) and of the lowest one can get (the warning).
constexpr float firstLineY = 820.0f;
constexpr float lowestLineY = 100.0f;

void statusLine(float y, const char* text, Rgb colour) {
    glColor3f(colour.r, colour.g, colour.b);
    printText(smallFont, false, 50.0f, y, "%s", text);
}
} // namespace

StatusReading readStatusPanel() {
    StatusReading reading{};
    reading.flags = telemetry.statusFlags;
    std::snprintf(reading.charge, sizeof reading.charge, "Battery: %0.2f A.hrs used",
                  tripTotals.chargeAmpMs * msToHours);
    std::snprintf(reading.energy, sizeof reading.energy, "               %0.2f kW.hrs used",
                  tripTotals.energyWattMs * wattMsToKilowattHours);
    return reading;
}

VerticalSpan statusPanelSpan() {
    // Every line is a single one, left-aligned.
    return {lowestLineY - float(smallFont.inkBelow), firstLineY + float(smallFont.inkAbove)};
}

void drawStatusPanel() {
    const StatusReading reading = readStatusPanel();
    const StatusFlags& f = reading.flags;
    glColor3f(1.0f, 1.0f, 1.0f);
    glPushMatrix();
    printText(smallFont, false, 50.0f, firstLineY, "%s", reading.charge);
    printText(smallFont, false, 50.0f, 730.0f, "%s", reading.energy);

    if (f.stopped) {
        statusLine(640.0f, "Stopped", red);
    } else {
        statusLine(640.0f, "Moving", green);
    }
    if (f.shifting) {
        statusLine(550.0f, "Shifting", red);
    } else {
        statusLine(550.0f, "Not Shifting", green);
    }
    if (f.mainContactorOn) {
        statusLine(460.0f, "Main Contactor ON", green);
    } else {
        statusLine(460.0f, "Main Contactor OFF", red);
    }
    if (f.motorContactorsOn) {
        statusLine(370.0f, "Motor Contactors ON", green);
    } else {
        statusLine(370.0f, "Motor Contactors OFF", red);
    }
    if (f.reverse) {
        statusLine(280.0f, "Reverse", red);
    } else if (f.forward) {
        statusLine(280.0f, "Forward", green);
    } else {
        statusLine(280.0f, "No drive", white);
    }
    if (f.motorsParallel) {
        statusLine(190.0f, "Motors Parallel", green);
    } else if (f.motorsSeries) {
        statusLine(190.0f, "Motors Series", white);
    } else {
        statusLine(190.0f, "Motors uncoupled", red);
    }
    if (f.voltageDropWarning) {
        statusLine(lowestLineY, "Main Contactor: Voltage Drop Warning", red);
    }
    glPopMatrix();
}
