// Frame composition: the OpenGL state and fonts of each window, the projection, and the frame:
// every cell in its own viewport (faces kept between frames), then the debug overlay and the
// start hint; and whether a new frame would differ from the last.
#include "dashboard/frame.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <algorithm>
#include <cmath>
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

// Pixel rectangles a cell's live part may draw into.
struct LiveRects {
    int count;
    CellRect rects[2];
};

// What each cell of the last frame was drawn from, so that a frame drawn over it redraws only the
// cells whose picture changes.
struct CellDrawnFrom {
    int32_t kind;   // the slot's kind; -1 for the status panel
    LiveRects live; // where its live part was drawn
    DialReading dial;
    StatusReading status;
    int samples;
    double currentSamples[sampleRingSize];
    double voltageSamples[sampleRingSize];
};
constexpr int maxCells = 12;
struct LastFrame {
    bool valid;   // a whole frame was drawn since initDashboard
    bool running; // the link's state then: the start hint covers every cell
    int32_t debug;
    FaceInputs faces;
    CellDrawnFrom cells[maxCells];
};
LastFrame lastFrame{};

const CellParts faceParts = {[](int32_t kind) { drawDialFace(kind); }, nullptr,
                             drawBatteryModelFace, nullptr, nullptr};
const CellParts liveParts = {nullptr, drawDialLive, nullptr, drawBatteryModelLive, drawStatusPanel};

int32_t kindOfCell(int cell, int cells) {
    return cell == cells - 1 ? -1 : settings.gaugeSlots[slotOfCell(cell, settings.gaugeLayout)];
}

// Takes note of what the cell is now drawn from; true when that differs from the last time.
bool noteCellReading(CellDrawnFrom& from, int32_t kind) {
    bool changed = from.kind != kind;
    from.kind = kind;
    if (kind == -1) {
        const StatusReading reading = readStatusPanel();
        changed =
            changed || debugMode != 0 || std::memcmp(&reading, &from.status, sizeof reading) != 0;
        from.status = reading;
    } else if (kind == BatteryModel) {
        const std::size_t bytes = sizeof tripTotals.currentSamples;
        const int samples = batterySampleCount();
        changed = changed || from.samples != samples ||
                  std::memcmp(from.currentSamples, tripTotals.currentSamples, bytes) != 0 ||
                  std::memcmp(from.voltageSamples, tripTotals.voltageSamples, bytes) != 0;
        from.samples = samples;
        std::memcpy(from.currentSamples, tripTotals.currentSamples, bytes);
        std::memcpy(from.voltageSamples, tripTotals.voltageSamples, bytes);
    } else if (kind >= 0 && kind < gaugeDefCount) {
        const DialReading reading = readDial(kind);
        changed = changed || std::memcmp(&reading, &from.dial, sizeof reading) != 0;
        from.dial = reading;
    }
    return changed;
}

bool overlap(const CellRect& a, const CellRect& b) {
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height &&
           b.y < a.y + a.height;
}

CellRect unite(const CellRect& a, const CellRect& b) {
    const int32_t x = std::min(a.x, b.x);
    const int32_t y = std::min(a.y, b.y);
    return {x, y, std::max(a.x + a.width, b.x + b.width) - x,
            std::max(a.y + a.height, b.y + b.height) - y};
}

// The pixels of a box of the cell r: a pixel is covered where its centre lies inside what is
// drawn, and a pixel more each way allows for rounding. An empty box gives an empty rectangle
// at the cell's corner (a frame over the last is drawn only while the link runs, when no dial's
// box is empty).
CellRect pixelsOf(const CellBox& box, const CellRect& r) {
    if (box.x1 < box.x0 || box.y1 < box.y0) {
        return {r.x, r.y, 0, 0};
    }
    const double sx = r.width / 1000.0;
    const double sy = r.height / 1000.0;
    const auto x0 = std::max(r.x, int32_t(std::floor(r.x + box.x0 * sx)) - 1);
    const auto y0 = std::max(r.y, int32_t(std::floor(r.y + box.y0 * sy)) - 1);
    const auto x1 = std::min(r.x + r.width, int32_t(std::ceil(r.x + box.x1 * sx)) + 1);
    const auto y1 = std::min(r.y + r.height, int32_t(std::ceil(r.y + box.y1 * sy)) + 1);
    return {x0, y0, std::max(0, x1 - x0), std::max(0, y1 - y0)};
}

// Where the live part of the cell (rectangle r) may draw now. The battery plot's dots and line
// may lie anywhere in its cell, and the status panel's cell holds the debug overlay too; a
// dial's needles and lines take much less of its cell, which is what a frame over the last
// saves.
LiveRects liveRectsOf(int cell, int cells, const CellRect& r) {
    const int32_t kind = kindOfCell(cell, cells);
    if (kind == -1 || kind == BatteryModel) {
        return {1, {r, r}};
    }
    if (kind < 0 || kind >= gaugeDefCount) {
        return {0, {r, r}}; // an empty cell draws nothing
    }
    const DialLiveArea area = dialLiveArea(kind);
    return {2, {pixelsOf(area.needles, r), pixelsOf(area.lines, r)}};
}

bool reaches(const LiveRects& a, const LiveRects& b) {
    for (int i = 0; i < a.count; ++i) {
        for (int j = 0; j < b.count; ++j) {
            if (overlap(a.rects[i], b.rects[j])) {
                return true;
            }
        }
    }
    return false;
}

void noteFrameDrawn() {
    const int columns = columnCount(settings.gaugeLayout);
    const int cells = cellCount(settings.gaugeLayout);
    for (int cell = 0; cell < cells; ++cell) {
        noteCellReading(lastFrame.cells[cell], kindOfCell(cell, cells));
        lastFrame.cells[cell].live =
            liveRectsOf(cell, cells, cellViewport(cell, columns, viewWidth, viewHeight));
    }
    lastFrame.valid = true;
    lastFrame.running = linkRunning;
    lastFrame.debug = debugMode;
    copyInputs(lastFrame.faces);
    copyInputs(drawnFrom);
}

// Each part stays inside its cell: the scissor keeps a wide line at a cell's edge from reaching
// the next cell, so that one cell can be drawn again alone.
void enterCell(const CellRect& r) {
    glScissor(r.x, r.y, r.width, r.height);
    glViewport(r.x, r.y, r.width, r.height);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void drawCell(int cell, int cells, const CellParts& parts) {
    if (cell == cells - 1) {
        if (parts.statusPanel != nullptr) {
            parts.statusPanel();
        }
        return;
    }
    const int32_t kind = kindOfCell(cell, cells);
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
    lastFrame.valid = false;
    dashboardWindow = &window;
    dashboardKeys = keys;

    std::strcpy(telemetry.lastLine, "INIT");
    telemetry.statusFlags.stopped = 1;

    glShadeModel(GL_SMOOTH);
    glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
    glClearDepth(1.0);
    glDepthFunc(GL_LEQUAL);
    // Everything lies at depth 0, where a less-or-equal test passes every fragment: the test
    // would change no pixel, yet a software driver reads and writes depth for each one.
    glDisable(GL_DEPTH_TEST);
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
    noteFrameDrawn();
}

void drawDashboardChanges() {
    // The start hint lies across every cell, and the debug overlay over the status panel's. A
    // driver that keeps no faces gets whole frames.
    if (!lastFrame.valid || !linkRunning || !lastFrame.running || debugMode != lastFrame.debug ||
        !inputsUnchanged(lastFrame.faces) || !facesKept()) {
        drawDashboard();
        return;
    }
    const int columns = columnCount(settings.gaugeLayout);
    const int cells = cellCount(settings.gaugeLayout);
    CellRect rects[maxCells];
    bool redraw[maxCells];
    LiveRects restore[maxCells]; // where a cell drawn again gets its faces back
    for (int cell = 0; cell < cells; ++cell) {
        CellDrawnFrom& from = lastFrame.cells[cell];
        rects[cell] = cellViewport(cell, columns, viewWidth, viewHeight);
        redraw[cell] = noteCellReading(from, kindOfCell(cell, cells));
        restore[cell] = from.live;
        if (redraw[cell]) {
            // Where the live part was, and where it will be.
            const LiveRects now = liveRectsOf(cell, cells, rects[cell]);
            for (int i = 0; i < now.count; ++i) {
                restore[cell].rects[i] = unite(restore[cell].rects[i], now.rects[i]);
            }
            from.live = now;
        }
    }
    // Rows of cells share a row of pixels, so faces put back in one cell may cover what another
    // cell's live part drew there: that cell is drawn again too.
    for (bool more = true; more;) {
        more = false;
        for (int a = 0; a < cells; ++a) {
            for (int b = 0; b < cells; ++b) {
                if (redraw[a] && !redraw[b] && reaches(restore[a], lastFrame.cells[b].live)) {
                    redraw[b] = more = true;
                }
            }
        }
    }
    // All faces first, then the live parts in cell order, as a whole frame draws them. The
    // projection is the cells' since the last whole frame.
    glEnable(GL_SCISSOR_TEST);
    for (int cell = 0; cell < cells; ++cell) {
        if (redraw[cell]) {
            enterCell(rects[cell]);
            for (int i = 0; i < restore[cell].count; ++i) {
                restoreFacesIn(restore[cell].rects[i]);
            }
        }
    }
    for (int cell = 0; cell < cells; ++cell) {
        if (redraw[cell]) {
            enterCell(rects[cell]);
            drawCell(cell, cells, liveParts);
        }
    }
    glDisable(GL_SCISSOR_TEST);
    // Under the overlay the status panel, the last cell, is drawn every frame: its viewport is
    // the one left.
    if (debugMode != 0) {
        drawOverlays();
    }
    copyInputs(drawnFrom);
}

bool dashboardChangedSinceDrawn() {
    return !inputsUnchanged(drawnFrom);
}

void beginFrame(bool keepColour) {
    // Depth goes along with a whole clear, for drawing with the depth test on (it costs little
    // there); frames over kept colour leave it, unused as it is.
    if (!keepColour) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluOrtho2D(0, 1000, 0, 1000);
}

void drawCells(const CellParts& parts) {
    const int columns = columnCount(settings.gaugeLayout);
    const int cells = cellCount(settings.gaugeLayout);
    glEnable(GL_SCISSOR_TEST);
    for (int cell = 0; cell < cells; ++cell) {
        enterCell(cellViewport(cell, columns, viewWidth, viewHeight));
        drawCell(cell, cells, parts);
    }
    glDisable(GL_SCISSOR_TEST);
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
        if (linkStatusText[0] != '\0') {
            glColor3f(1.0f, 1.0f, 0.0f);
            printText(smallFont, true, 500.0f, 400.0f, "%s", linkStatusText);
        }
    }
}
