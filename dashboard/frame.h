// The dashboard's entry points for the shell: set-up per window, size, one frame, release.
#pragma once
#include <cstdint>

#include "text/glyph_font.h"

struct GlWindow; // shell/gl_window.h

// Owned here, one instance each.
extern GlyphFont largeFont; // regular face, size 72: dial captions and value lines
extern GlyphFont smallFont; // bold face, size 40: everything else
extern int32_t viewWidth;   // client size as last given to resizeDashboard
extern int32_t viewHeight;  // never 0

// The window record and key array handed over by the main loop, kept for updateLink.
extern GlWindow* dashboardWindow;
extern int32_t* dashboardKeys;

// Keeps window and keys, marks the telemetry "INIT" and stopped, applies the calibration
// overrides and gauge settings, sets the OpenGL state and builds both fonts. False when the
// font files cannot be found. A font that cannot be built throws std::runtime_error.
bool initDashboard(GlWindow& window, int32_t* keys);

// Releases both fonts; harmless for fonts never built or already released.
void releaseDashboard();

// Records the client size (height 0 becomes 1) and resets the projection.
void resizeDashboard(int32_t width, int32_t height);

// Draws one whole frame into the back buffer; the caller swaps.
void drawDashboard();

// The same frame, drawn over the last one: only the cells whose picture changes are drawn again
// (the whole frame when the window, the settings, the link's state or the overlay changed). For a
// back buffer that still holds the frame drawn last; the caller swaps.
void drawDashboardChanges();

// False while everything a frame is drawn from (the list in frame_inputs.h) is as it was when
// drawDashboard last ran, so that drawing again would give the same picture; true before the
// first frame.
bool dashboardChangedSinceDrawn();

// The steps of drawDashboard, for drawing a frame another way (every part from scratch, say).
// What draws each part of a cell; a null entry leaves that part out.
struct CellParts {
    void (*dialFace)(int32_t kind);
    void (*dialLive)(int32_t kind);
    void (*batteryFace)();
    void (*batteryLive)();
    void (*statusPanel)();
};

// Clears colour and depth unless keepColour, and sets the cells' projection.
void beginFrame(bool keepColour);

// Draws the parts into every cell of the layout, each cell in its own viewport with an identity
// modelview: the status panel in the last, a dial or the battery model in the others by their
// slot's kind (face, then live part).
void drawCells(const CellParts& parts);

// The debug overlay (when asked for on the command line) and, while the link is stopped, the
// start hint over the whole window.
void drawOverlays();
