// One round dial per gauge kind, and the tick-scale rule the dials and the battery plot share.
#pragma once
#include <cstdint>

#include "dashboard/gauges.h"
#include "text/text_print.h"

struct TickScale {
    float tickStart;
    float tickEnd;
    float tickStep;
};

// Round-number ticks covering lo..hi: steps of 1, 2 or 5 times a power of ten, at most ten
// steps. Equal ends are widened first (0..0 gives 0..1 by 1). A reversed range gives
// tickStart > tickEnd, so no tick is drawn; so does a NaN or infinite end (tickStep 0).
TickScale niceScale(float lo, float hi);

// The tick values of a scale: tickStart + k x tickStep while that sum (in double) stays within
// tickEnd, each rounded to float. Writes at most capacity values and returns their count.
int tickValues(const TickScale& scale, float* values, int capacity);
inline constexpr int maxTicks = 64; // room enough: niceScale never gives more than eleven

// GLU angle (0 along +y, clockwise, in 0..360) of the mathematical angle a (0 along +x,
// counter-clockwise).
float dialAngle(float a);

// Clockwise sweep in degrees from startAngle to endAngle (0 for equal angles).
float sweepDegrees(float startAngle, float endAngle);

// Mathematical angle of value v on the dial of def, whose clockwise sweep is sweep; v is clamped
// into minValue..maxValue. A scale with minValue == maxValue puts every value at startAngle.
float valueAngle(const GaugeDef& def, float sweep, float v);

// The dial of kind 0..12 in the current cell (0..1000 square, identity modelview), in two halves
// so that the frame can keep the first. The face (ring, hub, numbered ticks) depends only on the
// dial's definition; the live part (the needle(s) while the link runs, caption and value line)
// on the latest values too, and does not depend on the colour it finds. Each leaves the matrix
// stack as found and needs the dashboard's fonts. The ring and hub are disks of diskLoops loops:
// only their outermost and innermost circles are edges in the picture (the loops between share
// their vertices), so one loop covers the same pixels as any number.
void drawDialFace(int32_t kind, int diskLoops = 1);
void drawDialLive(int32_t kind);

// One needle at angle (as valueAngle gives it), the dial's centre at the origin, in the colour
// set: the pixels of gluPartialDisk(0, 360, 10, 10, dialAngle(angle) - 1, 2), in one draw.
void drawNeedle(float angle);

// The same live part with its needles drawn by needle (the centre at the origin, angle as
// valueAngle gives it, colour set), which must cover the pixels gluPartialDisk(0, 360, 10, 10,
// dialAngle(angle) - 1, 2) covers.
using NeedleDrawing = void (*)(float angle);
void drawDialLiveWith(int32_t kind, NeedleDrawing needle);

// Everything the live part of a dial is drawn from besides its definition: two readings of the
// same kind that are equal byte for byte draw the same pixels.
struct DialReading {
    float value;
    float secondValue; // of the W.h-now needle, on the W.h dial only
    int32_t running;   // needles are drawn only while the link runs
    char caption[256]; // as printed (the speed dial's holds the distance), cut where texts are
};
static_assert(sizeof(DialReading) == 3 * 4 + 256, "no padding: readings compare byte for byte");
DialReading readDial(int32_t kind);

// A box in a cell's 0..1000 units; empty when x1 < x0.
struct CellBox {
    float x0;
    float y0;
    float x1;
    float y1;
};

// Where the live part of the dial of kind 0..12 can draw now: around its needles (empty while
// the link is stopped), and the band of its caption and value lines across the cell.
struct DialLiveArea {
    CellBox needles;
    CellBox lines;
};
DialLiveArea dialLiveArea(int32_t kind);
