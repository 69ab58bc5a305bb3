#include "support/plain_drawing.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include "dashboard/battery_model.h"
#include "dashboard/dial.h"
#include "dashboard/frame.h"
#include "dashboard/status_panel.h"
#include "link/quantities.h"
#include "text/text_print.h"

namespace {
// The glyph lists called with alpha 0 from where printText put the line: glBitmap moves the
// raster position as it would when drawn, and blending leaves the pixels alone.
void measureByDrawing(const GlyphFont&, const unsigned char* line, int length, float raster[4]) {
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    glColor4f(colour[0], colour[1], colour[2], 0);
    glRasterPos2f(0, 0); // the raster position takes its colour when it is set
    for (int i = 0; i < length; ++i) {
        if (line[i] < glyphCount) {
            glCallLists(1, GL_UNSIGNED_BYTE, line + i);
        }
    }
    glGetFloatv(GL_CURRENT_RASTER_POSITION, raster);
    glColor4f(colour[0], colour[1], colour[2], colour[3]);
}

void plainDialFace(int32_t kind) {
    drawDialFace(kind, 50);
}

GLUquadric* dotQuadric = nullptr;
PlotPoint dotCentres[sampleRingSize];

void plainBatteryLive() {
    if (dotQuadric == nullptr) {
        dotQuadric = gluNewQuadric();
    }
    glPushMatrix();
    glColor3f(1.0f, 1.0f, 1.0f);
    const int n = batteryDotCentres(dotCentres);
    for (int i = 0; i < n; ++i) {
        glPushMatrix();
        glTranslatef(dotCentres[i].x, dotCentres[i].y, 0.0f);
        gluDisk(dotQuadric, 0.0, 10.0, 5, 5);
        glPopMatrix();
    }
    drawBatteryLine();
    glPopMatrix();
}

// A needle as GLU draws it, eleven draws.
void plainNeedle(float angle) {
    if (dotQuadric == nullptr) {
        dotQuadric = gluNewQuadric();
    }
    gluPartialDisk(dotQuadric, 0.0, 360.0, 10, 10, dialAngle(angle) - 1.0f, 2.0);
}

void plainDialLive(int32_t kind) {
    drawDialLiveWith(kind, plainNeedle);
}

const CellParts plainParts = {plainDialFace, plainDialLive, drawBatteryModelFace, plainBatteryLive,
                              drawStatusPanel};
} // namespace

TextMeasuredByDrawing::TextMeasuredByDrawing() {
    setLineMeasureHook(measureByDrawing);
}

TextMeasuredByDrawing::~TextMeasuredByDrawing() {
    setLineMeasureHook(nullptr);
}

void drawPlainFrame() {
    const TextMeasuredByDrawing measuring;
    // With the depth test on, as frames were first drawn: every fragment lies at depth 0 and
    // passes, so the picture is the same, and the cost is the first way's.
    glPushAttrib(GL_ENABLE_BIT);
    glEnable(GL_DEPTH_TEST);
    beginFrame(false);
    drawCells(plainParts);
    drawOverlays();
    glPopAttrib();
}

void drawPlainDial(int32_t kind) {
    const TextMeasuredByDrawing measuring;
    plainDialFace(kind);
    plainDialLive(kind);
}

void drawPlainBatteryModel() {
    const TextMeasuredByDrawing measuring;
    drawBatteryModelFace();
    plainBatteryLive();
}

void drawPlainStatusPanel() {
    const TextMeasuredByDrawing measuring;
    drawStatusPanel();
}
