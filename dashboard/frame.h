// The dashboard's entry points for the shell: set-up per window, size, one frame, release.
#pragma once
#include <cstdint>

#include "shell/gl_window.h"
#include "text/glyph_font.h"

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

// False while everything a frame is drawn from (telemetry, trip totals, link state, settings,
// dial definitions, window size, debug flag) is as it was when drawDashboard last ran, so that
// drawing again would give the same picture; true before the first frame.
bool dashboardChangedSinceDrawn();

// How frames are drawn. Kept (the default) keeps what does not change between frames instead of
// drawing it again; Plain draws every part from scratch each frame. Both give the same pixels:
// Plain stays as the measure of what keeping saves and as the picture Kept is checked against.
enum class FrameDrawing { Kept, Plain };
void setFrameDrawing(FrameDrawing drawing);
FrameDrawing frameDrawing();
