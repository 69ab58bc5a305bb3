#include "shell/frame_pacing.h"

#include <algorithm>
#include <cmath>

double refreshPeriodUs(int refreshRate) {
    return 1e6 / (refreshRate > 0 ? refreshRate : 60);
}

bool swapsKeepPace(const double (&intervalsUs)[pacingSamples], double periodUs) {
    double sorted[pacingSamples];
    std::copy(intervalsUs, intervalsUs + pacingSamples, sorted);
    std::nth_element(sorted, sorted + pacingSamples / 2, sorted + pacingSamples);
    // Three quarters of a period leaves room for a display that refreshes a little faster than
    // it reports; a swap that does not wait returns in a fraction of that.
    return sorted[pacingSamples / 2] >= 0.75 * periodUs;
}

double nextFrameDue(double dueUs, double startUs, double periodUs) {
    const double next = dueUs + periodUs;
    return dueUs >= 0.0 && next > startUs ? next : startUs + periodUs;
}

void noteFrame(FramePacing& pacing, double startUs, double swapEndUs, bool busy) {
    if (!busy) {
        pacing.lastSwapUs = -1.0;
        pacing.dueUs = -1.0;
        return;
    }
    const bool presented = swapEndUs >= 0.0;
    if (presented && pacing.swapsWait) {
        if (pacing.lastSwapUs >= 0.0) {
            pacing.intervalsUs[pacing.intervalCount++] = swapEndUs - pacing.lastSwapUs;
            if (pacing.intervalCount == pacingSamples) {
                pacing.swapsWait = swapsKeepPace(pacing.intervalsUs, pacing.periodUs);
                pacing.intervalCount = 0;
            }
        }
        pacing.lastSwapUs = swapEndUs;
    } else {
        pacing.lastSwapUs = -1.0; // the loop's own wait comes in between
    }
    // Nothing presented: nothing else waits, whatever the swaps do.
    pacing.dueUs =
        presented && pacing.swapsWait ? -1.0 : nextFrameDue(pacing.dueUs, startUs, pacing.periodUs);
}

int msUntilDue(const FramePacing& pacing, double nowUs) {
    if (pacing.dueUs <= nowUs) { // also when none is set
        return 0;
    }
    return static_cast<int>(std::ceil((pacing.dueUs - nowUs) / 1000.0));
}

double pacingClockUs() {
    static const double ticksPerUs = static_cast<double>(SDL_GetPerformanceFrequency()) / 1e6;
    return static_cast<double>(SDL_GetPerformanceCounter()) / ticksPerUs;
}

int windowRefreshRate(SDL_Window* window) {
    SDL_DisplayMode mode{};
    const int display = SDL_GetWindowDisplayIndex(window);
    if (display < 0 || SDL_GetCurrentDisplayMode(display, &mode) != 0) {
        return 0;
    }
    return mode.refresh_rate;
}
