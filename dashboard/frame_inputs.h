// What a frame is drawn from, in one list: the blocks of memory its parts read, compared byte for
// byte. The idle loop draws again only when one of them has changed, so a part that reads
// anything not listed here stops showing its changes on an idle dashboard.
#pragma once
#include <cstddef>

#include "dashboard/frame.h"
#include "dashboard/gauges.h"
#include "link/controller_protocol.h"
#include "link/quantities.h"
#include "shell/app.h"
#include "shell/settings.h"

struct FrameInput {
    const void* data;
    std::size_t size;
};

// What the faces (dial rings, ticks and numbers, the battery plot's axes) are drawn from.
inline constexpr FrameInput faceInputs[] = {
    {&viewWidth, sizeof viewWidth},                   // the window's size, so the cells'
    {&viewHeight, sizeof viewHeight},                 // sizes
    {&largeFont.listBase, sizeof largeFont.listBase}, // the fonts: built anew (a new window),
    {&smallFont.listBase, sizeof smallFont.listBase}, // they get other lists
    {&settings, sizeof settings},                     // layout, slots, units, scales
    {gaugeDefs, sizeof gaugeDefs},                    // the dials' scales and captions
};

// What the rest of a frame (needles, values, the status panel, the battery dots and line, the
// debug overlay and the start hint) is drawn from besides.
inline constexpr FrameInput liveInputs[] = {
    {&telemetry, sizeof telemetry},                  // the latest line, its values and flags
    {channelCalibration, sizeof channelCalibration}, // how those values are shown
    {&tripTotals, sizeof tripTotals},                // distance, energy, battery samples
    {&linkRunning, sizeof linkRunning},              // needles or the start hint
    {linkStatusText, sizeof linkStatusText},         // starting, stopping, reconnecting
    {&debugMode, sizeof debugMode},                  // the overlay
};

template <std::size_t Count> constexpr std::size_t inputBytes(const FrameInput (&inputs)[Count]) {
    std::size_t bytes = 0;
    for (const FrameInput& input : inputs) {
        bytes += input.size;
    }
    return bytes;
}

// A copy of the inputs as they stood when copied: the faces' alone, or the whole frame's.
template <std::size_t Bytes> struct InputsCopy {
    bool valid = false; // false until the first copy
    unsigned char bytes[Bytes];
};
using FaceInputs = InputsCopy<inputBytes(faceInputs)>;
using FrameInputs = InputsCopy<inputBytes(faceInputs) + inputBytes(liveInputs)>;

void copyInputs(FaceInputs& copy);
void copyInputs(FrameInputs& copy);

// True when the copy is valid and every input is still as copied.
bool inputsUnchanged(const FaceInputs& copy);
bool inputsUnchanged(const FrameInputs& copy);
