// The GL context benchmarks draw into: a hidden SDL window with a legacy (compatibility)
// context like the program's (8/8/8 colour, 16-bit depth, double buffer), current for the
// whole run. Needs an X display; run the benchmarks under tools/with-xvfb.sh.
#pragma once
#include <SDL.h>
#include <string>

struct GlBenchContext {
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
    int width = 0;
    int height = 0;
};

// Opens the window and context and makes it current; false with the reason in why.
bool openBenchContext(GlBenchContext& gl, int width, int height, std::string& why);
void closeBenchContext(GlBenchContext& gl);

// The one context of the run (opened by the benchmark program's main), for benchmarks that
// need its size.
const GlBenchContext& benchContext();

// A dashboard cell over the whole window: viewport, gluOrtho2D(0, 1000, 0, 1000), identity
// modelview.
void useDashboardCell(const GlBenchContext& gl);
