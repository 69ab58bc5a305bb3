// The faces of the dashboard's cells (dial rings, ticks and numbers, the battery plot's axes)
// kept as pixels between frames: they change only with the window size and the settings, so a
// frame copies them back in one go instead of drawing them again.
#pragma once
#include "dashboard/gauges.h"

// Copies the faces kept for the current state (as far as the faces' inputs go) into the back
// buffer, which then needs no clearing, and returns true; false when none are kept
// for it (the caller draws them, then calls keepFaces) or the driver cannot keep pixels.
bool restoreFaces();

// Whether faces are kept for the current state; only then may restoreFacesIn be called, which
// copies the faces of one rectangle of the window.
bool facesKept();
void restoreFacesIn(const CellRect& rect);

// Keeps the back buffer's pixels as the faces of the current state.
void keepFaces();

// Forgets the kept faces and frees what holds them; needs the context they were kept in.
void releaseKeptFaces();
