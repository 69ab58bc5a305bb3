// Start-up: from starting the program with "nosetup" (no settings file: the default 800 x 600
// window) to its first frame on the screen, seen from outside as a person would see it: the
// time until a band across the middle of the window shows anything but black. The program is
// the one built alongside, or the one named by KV_BENCH_PROGRAM (to measure another build).
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <string>

#include "support/process.h"
#include "support/x11.h"

namespace {
// Windows come and go while the program starts (SDL probes the display): a request about one
// that is already gone is not an error here.
int ignoreXErrors(Display*, XErrorEvent*) {
    return 0;
}

bool middleBandDrawn(Display* display, unsigned long window) {
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display, window, &attributes) == 0 || attributes.height < 40) {
        return false;
    }
    XImage* image = XGetImage(display, window, 0, attributes.height / 2 - 20, attributes.width, 40,
                              AllPlanes, ZPixmap);
    if (image == nullptr) {
        return false;
    }
    bool drawn = false;
    for (int y = 0; y < image->height && !drawn; ++y) {
        for (int x = 0; x < image->width && !drawn; ++x) {
            drawn = (XGetPixel(image, x, y) & 0xFFFFFF) != 0;
        }
    }
    XDestroyImage(image);
    return drawn;
}

void BM_StartupToFirstFrame(benchmark::State& state) {
    XSetErrorHandler(ignoreXErrors);
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        state.SkipWithError("no X display");
        return;
    }
    const char* other = std::getenv("KV_BENCH_PROGRAM");
    const std::string program = other != nullptr ? other : KV_PROGRAM_PATH;
    const std::string folder = makeScratchFolder("kv-startup");
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        ChildProcess child = startProcess(program, {"nosetup"}, folder);
        unsigned long window = 0;
        bool shown = false;
        while (!shown && std::chrono::steady_clock::now() - start < std::chrono::seconds(30)) {
            if (window == 0) {
                const auto windows = findWindows("KestroView 0.4");
                window = windows.empty() ? 0 : windows.front();
            }
            shown = window != 0 && middleBandDrawn(display, window);
        }
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(took.count());
        killProcess(child);
        if (!shown) {
            state.SkipWithError("no frame within 30 s");
            break;
        }
    }
    runCommand("rm -rf '" + folder + "'");
    XCloseDisplay(display);
}
} // namespace

BENCHMARK(BM_StartupToFirstFrame)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);
