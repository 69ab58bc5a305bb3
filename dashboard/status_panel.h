// The status panel: charge and energy used so far, and one coloured line per group of
// controller status flags. It always fills the last cell of the layout.
#pragma once

// Draws the panel into the current cell (0..1000 square). Leaves the matrix stack unchanged.
void drawStatusPanel();
