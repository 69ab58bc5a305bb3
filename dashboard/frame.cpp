// Frame composition: the OpenGL state and fonts of each window, the projection, and the frame:
// every cell in its own viewport (faces kept between frames), then the debug overlay and the
// start hint; and whether a new frame would differ from the last.
#include "dashboard/frame.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <cstring>

#include "dashboard/battery_model.h"
#include "dashboard/dial.h"
#include "dashboard/frame_inputs.h"
#include "dashboard/gauges.h"
#include "dashboard/kept_faces.h"
#include "dashboard/status_panel.h"
#include "link/controller_protocol.h"
#include "link/quantities.h"
#include "platform/font_lookup.h"
#include "shell/app.h"
#include "shell/settings.h"
#include "text/text_print.h"

GlyphFont largeFont;
GlyphFont smallFont;
int32_t viewWidth = 1;
int32_t viewHeight = 1;
GlWindow* dashboardWindow = nullptr;
int32_t* dashboardKeys = nullptr;

namespace {
constexpr std::size_t fontPathSize = 1024;

// The inputs the last frame drawn was drawn from.
FrameInputs drawnFrom{};

const CellParts faceParts = {[](int32_t kind) { drawDialFace(kind); }, nullptr,
                             drawBatteryModelFace, nullptr, nullptr};
const CellParts liveParts = {nullptr, drawDialLive, nullptr, drawBatteryModelLive, drawStatusPanel};

void drawCell(int cell, int cells, const CellParts& parts) {
    if (cell == cells - 1) {
        if (parts.statusPanel != nullptr) {
            parts.statusPanel();
        }
        return;
    }
    const int32_t kind = settings.gaugeSlots[slotOfCell(cell, settings.gaugeLayout)];
    if (kind == BatteryModel) {
        if (parts.batteryFace != nullptr) {
            parts.batteryFace();
        }
        if (parts.batteryLive != nullptr) {
            parts.batteryLive();
        }
    } else if (kind >= 0 && kind < gaugeDefCount) {
        if (parts.dialFace != nullptr) {
            parts.dialFace(kind);
        }
        if (parts.dialLive != nullptr) {
            parts.dialLive(kind);
        }
    }
    // Any other kind has no definition (only a hand-made settings file holds one): the cell
    // stays empty.
}
} // namespace

bool initDashboard(GlWindow& window, int32_t* keys) {
    drawnFrom.valid = false;
    dashboardWindow = &window;
    dashboardKeys = keys;

    std::strcpy(telemetry.lastLine, "INIT");
    telemetry.statusFlags.stopped = 1;

    glShadeModel(GL_SMOOTH);
    glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);

    applyCalibrationOverrides();
    applyGaugeSettings();

    // Both files are looked up before either font is built, so a missing face builds nothing.
    char regularPath[fontPathSize];
    char boldPath[fontPathSize];
    if (!findFontFile("Arial", regularPath, sizeof regularPath) ||
        !findFontFile("Arial:bold", boldPath, sizeof boldPath)) {
        return false;
    }
    largeFont.init(regularPath, 72);
    smallFont.init(boldPath, 40);
    return true;
}

void releaseDashboard() {
    releaseKeptFaces();
    largeFont.release();
    smallFont.release();
}

void resizeDashboard(int32_t width, int32_t height) {
    if (height == 0) {
        height = 1;
    }
    // The window may report its size before a context exists; the GL calls then do nothing.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluOrtho2D(0, 100, 0, 100);
    viewHeight = height;
    viewWidth = width;
}

void drawDashboard() {
    // The faces of all cells first, then the live parts of all cells. Each part stays in its own
    // cell's viewport, so this order gives the same pixels as cell after cell.
    const bool restored = restoreFaces();
    beginFrame(restored);
    if (!restored) {
        drawCells(faceParts);
        keepFaces();
    }
    drawCells(liveParts);
    drawOverlays();
    copyInputs(drawnFrom);
}

bool dashboardChangedSinceDrawn() {
    return !inputsUnchanged(drawnFrom);
}

void beginFrame(bool keepColour) {
    glClear(keepColour ? GL_DEPTH_BUFFER_BIT : GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluOrtho2D(0, 1000, 0, 1000);
}

void drawCells(const CellParts& parts) {
    const int columns = columnCount(settings.gaugeLayout);
    const int cells = cellCount(settings.gaugeLayout);
    for (int cell = 0; cell < cells; ++cell) {
        const CellRect r = cellViewport(cell, columns, viewWidth, viewHeight);
        glViewport(r.x, r.y, r.width, r.height);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        drawCell(cell, cells, parts);
    }
}

void drawOverlays() {
    // The overlay stays in the status cell's viewport, over the panel's lowest line.
    if (debugMode != 0) {
        glColor3f(1.0f, 1.0f, 1.0f);
        printText(smallFont, false, 50.0f, 100.0f, "%.255s", telemetry.lastLine);
        const uint32_t ms = tripTotals.lastFrameMs;
        // With 0 ms the rate prints as "inf": the division is left to say so.
        printText(smallFont, false, 50.0f, 50.0f, "%u (%0.1f fps)", ms, 1000.0 / ms);
    }
    if (!linkRunning) {
        glViewport(0, 0, viewWidth, viewHeight);
        glColor3f(0.0f, 1.0f, 0.0f);
        printText(smallFont, true, 500.0f, 500.0f, "Hit s to start/stop");
    }
}
