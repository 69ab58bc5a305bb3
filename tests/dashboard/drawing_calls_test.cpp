// What the dials, the status panel and the battery plot ask of OpenGL and GLU, recorded on the way
// (the calls are wrapped at link time, tests/CMakeLists.txt, and still draw): rings, disks, marks,
// needles, axes, dots and the fitted line of the sizes, places, angles and colours their rules
// give, in drawing order. The pixels show most of this too, but not a colour of 1.001 (the frame
// buffer holds it as 1.0) nor a size off by a fraction of a pixel. Drawn the plain way, every part
// from scratch; the text printer's own calls are left out.
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dashboard/battery_model.h"
#include "dashboard/dial.h"
#include "dashboard/status_panel.h"
#include "dial_scales.h"
#include "frame_render.h"
#include "support/plain_drawing.h"

namespace {
struct Call {
    std::string what; // "colour", "translate", "disk", "partial disk", "vertex", "line width"
    std::vector<double> values;
};
std::vector<Call> calls;
bool recording = false;
int textDepth = 0; // inside printText, between its attribute push and pop: the text's own calls

void note(const char* what, std::vector<double> values) {
    if (recording && textDepth == 0) {
        calls.push_back({what, std::move(values)});
    }
}
} // namespace

extern "C" {
void __real_glColor3f(GLfloat r, GLfloat g, GLfloat b);
void __real_glTranslatef(GLfloat x, GLfloat y, GLfloat z);
void __real_gluDisk(GLUquadric* quadric, GLdouble inner, GLdouble outer, GLint slices, GLint loops);
void __real_gluPartialDisk(GLUquadric* quadric, GLdouble inner, GLdouble outer, GLint slices,
                           GLint loops, GLdouble start, GLdouble sweep);

void __real_glPushAttrib(GLbitfield mask);
void __real_glPopAttrib(void);

void __wrap_glPushAttrib(GLbitfield mask) {
    ++textDepth;
    __real_glPushAttrib(mask);
}
void __wrap_glPopAttrib(void) {
    --textDepth;
    __real_glPopAttrib();
}
void __real_glVertex2f(GLfloat x, GLfloat y);
void __real_glLineWidth(GLfloat width);

void __wrap_glVertex2f(GLfloat x, GLfloat y) {
    note("vertex", {x, y});
    __real_glVertex2f(x, y);
}
void __wrap_glLineWidth(GLfloat width) {
    note("line width", {width});
    __real_glLineWidth(width);
}
void __wrap_glColor3f(GLfloat r, GLfloat g, GLfloat b) {
    note("colour", {r, g, b});
    __real_glColor3f(r, g, b);
}
void __wrap_glTranslatef(GLfloat x, GLfloat y, GLfloat z) {
    note("translate", {x, y, z});
    __real_glTranslatef(x, y, z);
}
void __wrap_gluDisk(GLUquadric* quadric, GLdouble inner, GLdouble outer, GLint slices,
                    GLint loops) {
    note("disk", {inner, outer, double(slices), double(loops)});
    __real_gluDisk(quadric, inner, outer, slices, loops);
}
void __wrap_gluPartialDisk(GLUquadric* quadric, GLdouble inner, GLdouble outer, GLint slices,
                           GLint loops, GLdouble start, GLdouble sweep) {
    note("partial disk", {inner, outer, double(slices), double(loops), start, sweep});
    __real_gluPartialDisk(quadric, inner, outer, slices, loops, start, sweep);
}
}

namespace {
class DrawingCalls : public FrameFixture {
  protected:
    DrawingCalls() : FrameFixture(800, 600) {}
    void TearDown() override {
        recording = false;
        calls.clear();
        FrameFixture::TearDown();
    }
};

// The calls recorded match the expected ones in order; with `leading`, the expected ones are
// only the first of them, and what follows draws no line and nothing orange.
void expectCalls(const std::vector<Call>& expected, bool leading = false) {
    if (leading) {
        ASSERT_GE(calls.size(), expected.size());
        for (std::size_t i = expected.size(); i < calls.size(); ++i) {
            EXPECT_NE(calls[i].what, "vertex") << "call " << i;
            EXPECT_FALSE(calls[i].what == "colour" && calls[i].values[1] == 0.65f) << "call " << i;
        }
    } else {
        ASSERT_EQ(calls.size(), expected.size());
    }
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(calls[i].what, expected[i].what) << "call " << i;
        ASSERT_EQ(calls[i].values.size(), expected[i].values.size()) << "call " << i;
        for (std::size_t k = 0; k < calls[i].values.size(); ++k) {
            EXPECT_NEAR(calls[i].values[k], expected[i].values[k], 1e-4)
                << "call " << i << " (" << calls[i].what << ") value " << k;
        }
    }
}

const DialScale throttle = {Throttle, 0, 100, -135, 60, steps(0, 100, 10), "", ""};
const DialScale wattHours = {WhPerDistance, 0, 400, 150, 30, steps(0, 400, 100), "", ""};

// A needle two degrees wide centred on the angle of the value.
Call needle(const DialScale& d, float value) {
    return {"partial disk", {0, 360, 10, 10, gluAngle(angleAsDrawn(d, value)) - 1.0f, 2}};
}

// The face: ring, hub and each tick's number (white) and mark (red, two degrees wide).
std::vector<Call> face(const DialScale& d) {
    std::vector<Call> expected = {
        {"translate", {500, 500, 0}}, {"colour", {0.7f, 0.7f, 0.7f}}, {"disk", {480, 490, 50, 50}},
        {"colour", {1, 1, 1}},        {"disk", {0, 10, 50, 50}},
    };
    for (float s : d.ticks) {
        expected.push_back({"colour", {1, 1, 1}});
        expected.push_back({"colour", {1, 0, 0}});
        expected.push_back(
            {"partial disk", {355, 365, 5, 5, gluAngle(angleAsDrawn(d, s)) - 1.0f, 2}});
    }
    expected.push_back({"translate", {500, 500, 0}});
    return expected;
}

TEST_F(DrawingCalls, DialRingHubMarksAndNeedlesOfTheirSizesAnglesAndColours) {
    const float blue[3] = {0, 0, 1};
    const float orange[3] = {1, 0.65f, 0};
    const struct Case {
        const char* what;
        void (*feed)();
        const DialScale* dial;
        std::vector<Call> live;
    } cases[] = {
        {"stopped: no needle, white text",
         [] { linkRunning = false; },
         &throttle,
         {{"colour", {1, 1, 1}}}},
        {"below the scale: blue at its start",
         [] { telemetry.rawChannels[0] = 0; },
         &throttle,
         {{"colour", {blue[0], blue[1], blue[2]}}, needle(throttle, -50)}},
        {"at the scale's start: white",
         [] { telemetry.rawChannels[0] = 71; },
         &throttle,
         {{"colour", {1, 1, 1}}, needle(throttle, 0)}},
        {"above the scale: red at its end",
         [] { telemetry.rawChannels[0] = 300; },
         &throttle,
         {{"colour", {1, 0, 0}}, needle(throttle, 162.41135f)}},
        // 200 Wh over 3.42 km, and right now 119.27 V x 163.74 A / 62 km/h (3100 RPM x 0.02).
        {"the W.h dial's orange second needle first",
         [] {
             settings.rpmToSpeed = 0.02f;
             driveLine("9c 1f 29 34 7f 44 3d 2a 9 SOMF");
             tripTotals.energyWattMs = 200 * 3.6e6;
             tripTotals.distance = 3.42;
         },
         &wattHours,
         {{"colour", {orange[0], orange[1], orange[2]}},
          needle(wattHours, 314.98079f),
          {"colour", {1, 1, 1}},
          needle(wattHours, 58.479532f)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        frame([] {}, [] {});
        linkRunning = true;
        c.feed();
        useDashboardCell(0, 0, 266, 200);
        calls.clear();
        recording = true;
        drawPlainDial(c.dial->kind);
        recording = false;
        std::vector<Call> expected = face(*c.dial);
        expected.insert(expected.end(), c.live.begin(), c.live.end());
        expectCalls(expected);
    }
}

// The panel sets white for its figures, then each line's colour before the line.
TEST_F(DrawingCalls, StatusPanelColoursLineByLine) {
    const std::vector<double> white = {1, 1, 1}, red = {1, 0, 0}, green = {0, 1, 0};
    const struct Case {
        StatusFlags flags;
        std::vector<std::vector<double>> colours; // figures, then each line drawn
    } cases[] = {
        {StatusFlags{1, 0, 0, 0, 0, 0, 0, 0, 0}, {white, red, green, red, red, white, red}},
        {StatusFlags{0, 1, 1, 1, 0, 1, 0, 1, 0}, {white, green, red, green, green, green, white}},
        {StatusFlags{0, 0, 0, 0, 1, 1, 1, 1, 1}, {white, green, green, red, red, red, green, red}},
    };
    for (const Case& c : cases) {
        frame([] {}, [] {});
        telemetry.statusFlags = c.flags;
        useDashboardCell(0, 0, 266, 200);
        calls.clear();
        recording = true;
        drawPlainStatusPanel();
        recording = false;
        std::vector<Call> expected;
        for (const std::vector<double>& colour : c.colours) {
            expected.push_back({"colour", colour});
        }
        expectCalls(expected);
    }
}

// Samples on V = 120 - 0.05 x I at 50, 100, ... 250 A, with the default scales (0..300 A by 50,
// 105..130 V by 5): an 800 x 800 plot at (100, 100) of the cell.
TEST_F(DrawingCalls, BatteryPlotAxesDotsAndFittedLine) {
    for (int samples : {5, 1}) {
        SCOPED_TRACE(std::to_string(samples) + " samples");
        frame([] {}, [] {});
        // A current axis that does not start at 0: 50 to 300 A by 50.
        settings.batteryAmpsMin = 50;
        for (int i = 0; i < 5; ++i) {
            tripTotals.currentSamples[i] = 50.0 * (i + 1);
            tripTotals.voltageSamples[i] = 120.0 - 0.05 * tripTotals.currentSamples[i];
        }
        tripTotals.sampleIndex = static_cast<uint32_t>(samples);
        useDashboardCell(0, 0, 266, 200);
        calls.clear();
        recording = true;
        drawPlainBatteryModel();
        recording = false;

        std::vector<Call> expected = {{"translate", {100, 100, 0}}, {"colour", {1, 1, 1}},
                                      {"line width", {1}},          {"vertex", {0, 0}},
                                      {"vertex", {0, 800}},         {"vertex", {0, 0}},
                                      {"vertex", {800, 0}}};
        for (int a = 50; a <= 300; a += 50) {
            expected.push_back({"vertex", {(a - 50) * 800.0 / 250, -10}});
            expected.push_back({"vertex", {(a - 50) * 800.0 / 250, 10}});
        }
        for (int v = 105; v <= 130; v += 5) {
            expected.push_back({"vertex", {-10, (v - 105) * 800.0 / 25}});
            expected.push_back({"vertex", {10, (v - 105) * 800.0 / 25}});
        }
        expected.push_back({"colour", {1, 1, 1}});
        for (int i = 0; i < samples; ++i) {
            const double amps = 50.0 * (i + 1);
            expected.push_back(
                {"translate",
                 {100 + (amps - 50) * 800 / 250, 100 + (15 - 0.05 * amps) * 800 / 25, 0}});
            expected.push_back({"disk", {0, 10, 5, 5}});
        }
        if (samples > 1) {
            // From 117.5 V at 50 A (y 500) to 105 V at 300 A (y 100).
            expected.push_back({"colour", {1, 0.65f, 0}});
            expected.push_back({"line width", {3}});
            expected.push_back({"vertex", {100, 500}});
            expected.push_back({"vertex", {900, 100}});
            expected.push_back({"colour", {1, 1, 1}});
            expectCalls(expected);
        } else {
            // No line: nothing orange, no more vertices.
            expectCalls(expected, true);
        }
    }
}
} // namespace
