// The status panel: charge and energy used so far, and one coloured line per group of
// controller status flags. It always fills the last cell of the layout.
#pragma once
#include "link/telemetry.h"
#include "text/text_print.h"

// Draws the panel into the current cell (0..1000 square). Leaves the matrix stack unchanged.
void drawStatusPanel();

// Everything the panel is drawn from: two readings equal byte for byte draw the same pixels.
struct StatusReading {
    StatusFlags flags;
    char charge[256]; // the two figures as printed, cut where texts are
    char energy[256];
};
static_assert(sizeof(StatusReading) == sizeof(StatusFlags) + 512, "no padding");
StatusReading readStatusPanel();

// The heights in the cell (0..1000) the panel's lines can reach; the debug overlay not included.
VerticalSpan statusPanelSpan();
