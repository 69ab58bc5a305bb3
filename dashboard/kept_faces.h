// The faces of the dashboard's cells (dial rings, ticks and numbers, the battery plot's axes)
// kept as pixels between frames: they change only with the window size and the settings, so a
// frame copies them back in one go instead of drawing them again.
#pragma once
#include <cstdint>

#include "dashboard/gauges.h"
#include "shell/settings.h"

// Everything the faces are drawn from. Compared byte for byte.
struct FacesKey {
    int32_t width;
    int32_t height;
    uint32_t largeFontLists;
    uint32_t smallFontLists;
    Settings settings;
    GaugeDef defs[gaugeDefCount];
};

// The key of the faces as the current state would draw them.
FacesKey currentFacesKey();

// Copies the faces kept for key into the back buffer (which then needs only its depth cleared)
// and returns true; false when none are kept for that key (the caller draws them, then calls
// keepFaces) or the driver cannot keep pixels.
bool restoreFaces(const FacesKey& key);

// Keeps the back buffer's pixels as the faces for key.
void keepFaces(const FacesKey& key);

// Forgets the kept faces and frees what holds them; needs the context they were kept in.
void releaseKeptFaces();
