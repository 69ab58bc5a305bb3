// The dashboard drawn the plain way: every part of every frame from scratch, rings and hubs as
// disks of 50 loops, each battery dot a disk of its own, and every line of text measured by
// calling its glyph lists invisibly. The program's frames (faces kept between frames, disks of
// one loop, all dots in one draw, lines measured by their advances) must give the same pixels:
// this is the picture they are checked against, and the measure of what they save.
#pragma once
#include <cstdint>

// While one exists, printText measures lines by drawing them invisibly.
class TextMeasuredByDrawing {
  public:
    TextMeasuredByDrawing();
    ~TextMeasuredByDrawing();
    TextMeasuredByDrawing(const TextMeasuredByDrawing&) = delete;
    TextMeasuredByDrawing& operator=(const TextMeasuredByDrawing&) = delete;
};

// As drawDashboard, but keeps nothing and leaves dashboardChangedSinceDrawn alone.
void drawPlainFrame();

// As the two halves of the dial and of the battery plot drawn in turn, and drawStatusPanel.
void drawPlainDial(int32_t kind);
void drawPlainBatteryModel();
void drawPlainStatusPanel();
