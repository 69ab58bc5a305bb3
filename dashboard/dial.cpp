// Drawing one dial: grey ring, white hub, red tick marks with white numbers, the needle whose
// colour says below (blue), inside (white) or above (red) the scale, caption and value line.
#include <GL/gl.h>
#include <GL/glu.h>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "dashboard/dial.h"
#include "dashboard/frame.h"
#include "link/controller_protocol.h"
#include "link/quantities.h"
#include "text/identity_matrices.h"
#include "text/text_print.h"

namespace {
GLUquadric* dialQuadric = nullptr;

constexpr float degToRad = 0.0174532793f; // 3.14159 / 180, as the tick numbers always sat
constexpr double halfPi = 1.5707963267948966;
constexpr double degToRadExact = halfPi / 90.0;

// The live part, around the dial's centre: needles of this radius, the caption and value lines
// centred on these heights.
constexpr float needleRadius = 360.0f;
constexpr float captionY = -315.0f;
constexpr float valueY = -187.5f;

// The value line's number: the value while the link runs, else 0.
double shownValue(const DialReading& reading) {
    return reading.running != 0 ? static_cast<double>(reading.value) : 0.0;
}

// A needle is gluPartialDisk(0, needleRadius, 10, 10, dialAngle(angle) - 1, 2): a fan inside
// its innermost loop and a quad strip for each loop outside it, eleven draws. It is drawn here
// in one: the corners are worked out with GLU's own arithmetic (float and double where GLU
// has them), taken to clip space with the driver's (the modelview only translates, to the
// dial's centre), and drawn as triangles under identity matrices. Two triangles cover the
// same pixels as the driver's own split of a quad, so the needle lands on the very pixels.
constexpr int needleSteps = 10; // slices and loops
constexpr int needleTriangles = needleSteps + (needleSteps - 1) * needleSteps * 2;
float needleVertices[needleTriangles * 3][2];

} // namespace

void drawNeedle(float angle) {
    const double pi = 3.14159265358979323846;
    const double startAngle = dialAngle(angle) - 1.0f;
    const double sweepAngle = 2.0;
    const double outerRadius = needleRadius;
    const auto deltaRadius = static_cast<float>(outerRadius);
    const auto angleOffset = static_cast<float>(startAngle / 180.0 * pi);
    float sines[needleSteps + 1];
    float cosines[needleSteps + 1];
    for (int i = 0; i <= needleSteps; ++i) {
        const auto a =
            static_cast<float>(angleOffset + ((pi * sweepAngle) / 180.0) * i / needleSteps);
        sines[i] = static_cast<float>(std::sin(static_cast<double>(a)));
        cosines[i] = static_cast<float>(std::cos(static_cast<double>(a)));
    }
    const auto radiusOf = [&](int loop) {
        return static_cast<float>(outerRadius -
                                  deltaRadius * (static_cast<float>(loop) / needleSteps));
    };
    float p[16];
    glGetFloatv(GL_PROJECTION_MATRIX, p);
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    const TranslatedToClip placed(p, m[12], m[13]);
    float* out = &needleVertices[0][0];
    const auto put = [&](float x, float y) { placed.put(x, y, out); };
    // The fan, run from the last slice to the first as GLU runs it.
    const float inner = radiusOf(needleSteps - 1);
    for (int i = needleSteps; i > 0; --i) {
        put(0.0f, 0.0f);
        put(inner * sines[i], inner * cosines[i]);
        put(inner * sines[i - 1], inner * cosines[i - 1]);
    }
    for (int loop = 0; loop < needleSteps - 1; ++loop) {
        const float low = radiusOf(loop);
        const float high = radiusOf(loop + 1);
        for (int i = 0; i < needleSteps; ++i) {
            put(low * sines[i], low * cosines[i]);
            put(high * sines[i], high * cosines[i]);
            put(high * sines[i + 1], high * cosines[i + 1]);
            put(low * sines[i], low * cosines[i]);
            put(high * sines[i + 1], high * cosines[i + 1]);
            put(low * sines[i + 1], low * cosines[i + 1]);
        }
    }
    const IdentityMatrices clipSpace;
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(2, GL_FLOAT, 0, needleVertices);
    glDrawArrays(GL_TRIANGLES, 0, needleTriangles * 3);
    glPopClientAttrib();
}

namespace {

// Around a needle drawn by drawNeedle at angle: the centre and the arc of its outer edge, with
// whatever axis the arc crosses.
CellBox wedgeBox(float angle) {
    const double from = (dialAngle(angle) - 1.0) * degToRadExact;
    const double to = from + 2.0 * degToRadExact;
    // GLU angles run clockwise from +y: a point of the arc lies at (r sin t, r cos t).
    double x0 = 0.0, x1 = 0.0, y0 = 0.0, y1 = 0.0;
    const auto take = [&](double t) {
        x0 = std::min(x0, needleRadius * std::sin(t));
        x1 = std::max(x1, needleRadius * std::sin(t));
        y0 = std::min(y0, needleRadius * std::cos(t));
        y1 = std::max(y1, needleRadius * std::cos(t));
    };
    take(from);
    take(to);
    for (int quarter = int(std::ceil(from / halfPi)); quarter * halfPi <= to; ++quarter) {
        take(quarter * halfPi);
    }
    return {float(500.0 + x0), float(500.0 + y0), float(500.0 + x1), float(500.0 + y1)};
}

void drawTicks(const GaugeDef& def, float sweep) {
    float ticks[maxTicks];
    const int count = tickValues(niceScale(def.minValue, def.maxValue), ticks, maxTicks);
    for (int k = 0; k < count; ++k) {
        const float s = std::min(std::max(ticks[k], def.minValue), def.maxValue);
        const float a = valueAngle(def, sweep, s);
        glColor3f(1.0f, 1.0f, 1.0f);
        glPushMatrix();
        const double radians = a * degToRad;
        printText(smallFont, true, 425.0 * std::cos(radians), 425.0 * std::sin(radians), "%.0f", s);
        glPopMatrix();
        glColor3f(1.0f, 0.0f, 0.0f);
        gluPartialDisk(dialQuadric, 355.0, 365.0, 5, 5, dialAngle(a) - 1.0f, 2.0);
    }
}
} // namespace

void drawDialFace(int32_t kind, int diskLoops) {
    if (dialQuadric == nullptr) {
        dialQuadric = gluNewQuadric();
    }
    const GaugeDef& def = gaugeDefs[kind];
    const float sweep = sweepDegrees(def.startAngle, def.endAngle);

    glPushMatrix();
    glTranslatef(500.0f, 500.0f, 0.0f);
    glColor3f(0.7f, 0.7f, 0.7f);
    gluDisk(dialQuadric, 480.0, 490.0, 50, diskLoops);
    glColor3f(1.0f, 1.0f, 1.0f);
    gluDisk(dialQuadric, 0.0, 10.0, 50, diskLoops);
    drawTicks(def, sweep);
    glPopMatrix();
}

DialReading readDial(int32_t kind) {
    DialReading reading{};
    const GaugeDef& def = gaugeDefs[kind];
    reading.value = quantityByKind(kind);
    if (kind == WhPerDistance) {
        reading.secondValue = quantityByKind(WhPerDistanceNow);
    }
    reading.running = linkRunning;
    if (kind == Speed) {
        std::snprintf(reading.caption, sizeof reading.caption, "%0.2f %s", tripTotals.distance,
                      def.label);
    } else {
        std::snprintf(reading.caption, sizeof reading.caption, "%s", def.label);
    }
    return reading;
}

void drawDialLive(int32_t kind) {
    drawDialLiveWith(kind, drawNeedle);
}

void drawDialLiveWith(int32_t kind, NeedleDrawing needle) {
    const GaugeDef def = gaugeDefs[kind];
    const DialReading reading = readDial(kind);
    const float value = reading.value;
    const float sweep = sweepDegrees(def.startAngle, def.endAngle);
    const float needleAngle = valueAngle(def, sweep, value);

    glPushMatrix();
    glTranslatef(500.0f, 500.0f, 0.0f);
    if (reading.running != 0) {
        if (kind == WhPerDistance) {
            glColor3f(1.0f, 0.65f, 0.0f);
            needle(valueAngle(def, sweep, reading.secondValue));
        }
        if (value < def.minValue) {
            glColor3f(0.0f, 0.0f, 1.0f);
        } else if (value > def.maxValue) {
            glColor3f(1.0f, 0.0f, 0.0f);
        } else {
            glColor3f(1.0f, 1.0f, 1.0f);
        }
        needle(needleAngle);
    } else {
        glColor3f(1.0f, 1.0f, 1.0f);
    }

    // Caption and value keep the needle's colour: a value off the scale shows in red or blue.
    glPushMatrix();
    printText(largeFont, true, 0.0f, captionY, "%s", reading.caption);
    printText(largeFont, true, 0.0f, valueY, def.valueFormat, shownValue(reading), def.unit);
    glPopMatrix();
    glPopMatrix();
}

DialLiveArea dialLiveArea(int32_t kind) {
    const GaugeDef& def = gaugeDefs[kind];
    const DialReading reading = readDial(kind);
    const VerticalSpan caption = textSpan(largeFont, true, captionY, "%s", reading.caption);
    const VerticalSpan value =
        textSpan(largeFont, true, valueY, def.valueFormat, shownValue(reading), def.unit);
    DialLiveArea area{};
    area.lines = {0.0f, 500.0f + std::min(caption.low, value.low), 1000.0f,
                  500.0f + std::max(caption.high, value.high)};
    area.needles = {1.0f, 0.0f, 0.0f, 0.0f};
    if (reading.running != 0) {
        const float sweep = sweepDegrees(def.startAngle, def.endAngle);
        area.needles = wedgeBox(valueAngle(def, sweep, reading.value));
        if (kind == WhPerDistance) {
            const CellBox second = wedgeBox(valueAngle(def, sweep, reading.secondValue));
            area.needles = {
                std::min(area.needles.x0, second.x0), std::min(area.needles.y0, second.y0),
                std::max(area.needles.x1, second.x1), std::max(area.needles.y1, second.y1)};
        }
    }
    return area;
}
