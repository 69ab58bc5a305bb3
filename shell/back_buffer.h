// Whether the back buffer still holds the frame drawn last when the next frame begins, so that the
// next frame need only draw what changed. Swaps that copy the back buffer to the window leave it
// as drawn (software drivers do so); swaps that exchange buffers leave an older frame, or nothing
// defined. The driver does not say which, so the loop looks: one row of pixels across the middle
// of the window is kept before each swap and compared after it.
#pragma once
#include <cstdint>
#include <vector>

struct BackBufferCheck {
    // Decided on a window's first frame, while any other buffer still holds nothing drawn.
    enum class Swaps { Unknown, KeepBackBuffer, LoseBackBuffer } swaps = Swaps::Unknown;
    int32_t width = 0; // of the kept row; 0 when none is kept
    int32_t y = 0;
    std::vector<unsigned char> kept; // RGBA
    std::vector<unsigned char> found;
};

// Keeps the row of the frame just drawn in a width x height window; call before the swap.
void keepCheckRow(BackBufferCheck& check, int32_t width, int32_t height);

// After the swap, before the next frame: true when the swaps keep the back buffer and the row
// is still as kept. The first look after a window's first frame decides whether they keep it: a
// row with something drawn in it that is still there. Swaps found to lose it are never trusted
// again for that window (an older frame could hold the same row).
bool backHoldsLastFrame(BackBufferCheck& check);
