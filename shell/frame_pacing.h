// Frame pacing while the link streams: where presenting a frame waits for the display's refresh
// (vertical sync that the driver honours), the swap paces the frames; where it does not (software
// GL, some virtual machines and remote sessions), the main loop waits for the next refresh
// itself, so that frames still follow at the display's rate instead of back to back.
#pragma once
#include <SDL.h>

// Swap intervals looked at before deciding that the swaps do not wait.
constexpr int pacingSamples = 15;

// What the main loop knows about presenting frames in the current window. Times in microseconds
// of pacingClockUs.
struct FramePacing {
    double periodUs = 1e6 / 60.0; // one refresh of the window's display
    // Assumed until swaps are seen following each other faster than the display refreshes:
    // a swap that waits can never do that, while slow drawing looks the same either way.
    bool swapsWait = true;
    double intervalsUs[pacingSamples] = {}; // swap to swap, frames following at once
    int intervalCount = 0;
    double lastSwapUs = -1.0; // end of the previous frame's swap; negative when none counts
    double dueUs = -1.0;      // the next frame starts no earlier; negative: at once
};

// One refresh, for a display mode's refresh rate in Hz; 60 Hz when the system does not say (0).
double refreshPeriodUs(int refreshRate);

// True unless the median of the swap-to-swap intervals is well below one refresh period.
bool swapsKeepPace(const double (&intervalsUs)[pacingSamples], double periodUs);

// When the frame after one that started at startUs may start: one period after the previous due
// time, which keeps the rate exact whatever the wake-up jitter (a frame started early, for a
// line that arrived, takes the place of the one that was due); a frame that started a whole
// period late (or the first) starts the count again from its own start.
double nextFrameDue(double dueUs, double startUs, double periodUs);

// Takes note of a frame: when it started (before the link was read), when its swap returned
// (negative when nothing was presented, as while minimised) and whether the link streams. Only
// streaming frames are paced; a stopped link's frames rest 10 ms each instead.
void noteFrame(FramePacing& pacing, double startUs, double swapEndUs, bool busy);

// Whole milliseconds to wait from nowUs before the next frame: 0 when it is due.
int msUntilDue(const FramePacing& pacing, double nowUs);

// A steady clock in microseconds.
double pacingClockUs();

// The refresh rate (Hz) of the display mode the window is shown in; 0 when the system does not
// say.
int windowRefreshRate(SDL_Window* window);
