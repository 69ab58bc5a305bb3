// The battery model: battery volts against amps from the recent samples, with the least-squares
// line whose zero-current voltage is the open-circuit voltage and whose slope is the internal
// resistance.
#pragma once

// The plot in the current cell (0..1000 square), in two halves so that the frame can keep the
// first: the axes with numbered ticks, which depend only on the scale settings; then one dot per
// sample and, when a line can be fitted, the line and its Voc and Rint figures, drawn the same
// whatever colour or line width they find. Each leaves the matrix stack unchanged; the live half
// leaves the colour white and the line width at 3 after a fitted line, else at 1.
void drawBatteryModelFace();
void drawBatteryModelLive();

// The live half's pieces: where each sample's dot is centred in the cell (0..1000 square) on the
// current scales, written to centres (room for sampleRingSize) with the count returned; and the
// fitted line with its figures, or only the line width set back to 1 when no line fits. A dot is
// gluDisk(0, 10, 5, 5) translated to its centre; drawBatteryModelLive draws them all at once.
struct PlotPoint {
    float x;
    float y;
};
int batteryDotCentres(PlotPoint* centres);
// Samples in the ring: all of it once it has been filled.
int batterySampleCount();
void drawBatteryLine();
