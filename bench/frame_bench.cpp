// Whole dashboard frames and their parts, drawn as a running link leaves them: every frame gets
// the next of a cycle of controller lines and one more battery sample, so nothing drawn is the
// same two frames running. Each case opens its own window of the frame's size and reports the
// median frame time (median_us) besides Google Benchmark's mean, and the allocations per frame.
#include <GL/gl.h>
#include <GL/glu.h>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <vector>

#include "allocation_report.h"
#include "dashboard/battery_model.h"
#include "dashboard/dial.h"
#include "dashboard/frame.h"
#include "dashboard/kept_faces.h"
#include "dashboard/scenes.h"
#include "dashboard/status_panel.h"
#include "gl_bench_context.h"
#include "shell/gl_window.h"
#include "support/plain_drawing.h"

namespace {
// Values spread over every dial's scale, off-scale ones included.
const char* const cycleLines[] = {
    "b0 1e 30 40 7f 40 38 2a 0 OMFP",  "c4 2a 48 4c 90 52 3a 2c 0 OMFP",
    "d8 36 60 58 a1 64 3c 2e 0 OMFPV", "ec 42 78 64 b2 76 3e 30 0 GOMRS",
    "100 4e 90 70 c3 88 40 32 0 OMFS", "114 5a a8 7c d4 9a 42 34 0 SOMF",
    "128 66 c0 88 e5 ac 44 36 0 OMFP", "160 3c 10 40 c0 40 8 60 0 SMS",
    "60 14 20 40 50 44 30 40 0 GORSV", "90 20 28 44 60 48 34 38 0 OMFP",
};
constexpr int cycleCount = sizeof cycleLines / sizeof cycleLines[0];

// A line every linesEvery frames (1: every frame; 3: 20 lines a second at 60 frames).
void nextRunningFrame(int frame, int linesEvery) {
    if (frame % linesEvery == 0) {
        driveLine(cycleLines[(frame / linesEvery) % cycleCount]);
    }
    accumulateFrame(16);
}

// A window of its own for one case, with the dashboard set up in it; the run's own context is
// current again afterwards.
struct FrameWindow {
    GlContext gl;
    GlWindow window{};
    int32_t keys[256]{};
    bool ok = false;

    FrameWindow(int width, int height, void (*configure)(), benchmark::State& state) {
        std::string why;
        if (!openGlContext(gl, width, height, &why)) {
            state.SkipWithError(why.c_str());
            return;
        }
        resetDashboardState();
        configure();
        if (!initDashboard(window, keys)) {
            state.SkipWithError("initDashboard found no font");
            return;
        }
        linkRunning = true;
        fillBatterySamples(637);
        resizeDashboard(width, height);
        ok = true;
    }
    ~FrameWindow() {
        releaseDashboard();
        closeGlContext(gl);
        resetDashboardState();
        const GlBenchContext& main = benchContext();
        SDL_GL_MakeCurrent(main.window, main.context);
    }
};

// Times draw (followed by glFinish, so the pixels count too) frame by frame after a warm-up of a
// whole cycle of lines, which lets the driver compile its shaders and the dashboard build what
// it keeps.
template <typename Draw> void timeFrames(benchmark::State& state, Draw draw, int linesEvery = 1) {
    std::vector<double> micros;
    micros.reserve(std::size_t(std::min<benchmark::IterationCount>(state.max_iterations, 1 << 20)));
    int frame = 0;
    for (; frame < cycleCount * linesEvery; ++frame) {
        nextRunningFrame(frame, linesEvery);
        draw();
        glFinish();
    }
    const AllocationCount before = allocationsSoFar();
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        nextRunningFrame(frame++, linesEvery);
        draw();
        glFinish();
        const std::chrono::duration<double, std::micro> took =
            std::chrono::steady_clock::now() - start;
        if (micros.size() < micros.capacity()) {
            micros.push_back(took.count());
        }
    }
    const AllocationCount after = allocationsSoFar();
    reportAllocations(state, before, after);
    if (!micros.empty()) {
        std::nth_element(micros.begin(), micros.begin() + micros.size() / 2, micros.end());
        state.counters["median_us"] = micros[micros.size() / 2];
    }
}

void configureDefault3x3() {}
void configureDefault3x4() {
    settings.gaugeLayout = 1;
}
void configureBattery3x4() {
    settings.gaugeLayout = 1;
    settings.gaugeSlots[10] = BatteryModel;
}

void frameCase(benchmark::State& state, void (*configure)()) {
    const auto width = int(state.range(0));
    const auto height = int(state.range(1));
    FrameWindow window(width, height, configure, state);
    if (window.ok) {
        timeFrames(state, state.range(2) != 0 ? drawPlainFrame : drawDashboard);
    }
}

void BM_Frame3x3(benchmark::State& state) {
    frameCase(state, configureDefault3x3);
}
void BM_Frame3x4(benchmark::State& state) {
    frameCase(state, configureDefault3x4);
}
void BM_Frame3x4Battery600(benchmark::State& state) {
    frameCase(state, configureBattery3x4);
}

// As the program draws while the link streams 20 lines a second at 60 frames a second, where the
// swap keeps the back buffer: each frame over the last, a new line every third frame.
void BM_FrameOverLast3x4Battery600(benchmark::State& state) {
    FrameWindow window(1024, 768, configureBattery3x4, state);
    if (window.ok) {
        timeFrames(state, state.range(0) != 0 ? drawDashboardChanges : drawDashboard, 3);
    }
}

// Putting the kept faces of a whole 1024 x 768 frame back, as every whole frame starts.
void BM_RestoreFaces(benchmark::State& state) {
    FrameWindow window(1024, 768, configureBattery3x4, state);
    if (window.ok) {
        drawDashboard();
        timeFrames(state, [] {
            if (!restoreFaces()) {
                drawDashboard();
            }
        });
    }
}

// One part alone in the first cell of a 3x4 layout at 1024 x 768, as the frame draws it, or as
// the plain frame does.
template <typename Draw> void partCase(benchmark::State& state, Draw kept, Draw plain) {
    const Draw draw = state.range(0) != 0 ? plain : kept;
    FrameWindow window(1024, 768, configureBattery3x4, state);
    if (window.ok) {
        const CellRect r = cellViewport(0, 4, 1024, 768);
        timeFrames(state, [&] {
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            useDashboardCell(r.x, r.y, r.width, r.height);
            draw();
        });
    }
}

void BM_Dial(benchmark::State& state) {
    partCase<void (*)()>(
        state,
        [] {
            drawDialFace(Rpm);
            drawDialLive(Rpm);
        },
        [] { drawPlainDial(Rpm); });
}
void BM_StatusPanel(benchmark::State& state) {
    partCase(state, drawStatusPanel, drawPlainStatusPanel);
}
void BM_BatteryModel600(benchmark::State& state) {
    partCase<void (*)()>(
        state,
        [] {
            drawBatteryModelFace();
            drawBatteryModelLive();
        },
        drawPlainBatteryModel);
}

// Arguments: width, height, 1 for the plain drawing (every part drawn from scratch).
void frameSizes(benchmark::internal::Benchmark* b) {
    b->ArgNames({"w", "h", "plain"});
    for (int plain : {0, 1}) {
        b->Args({800, 600, plain});
        b->Args({1024, 768, plain});
    }
    b->Unit(benchmark::kMillisecond);
}
void plainOrKept(benchmark::internal::Benchmark* b) {
    b->ArgNames({"plain"})->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
}
} // namespace

BENCHMARK(BM_Frame3x3)->Apply(frameSizes);
BENCHMARK(BM_Frame3x4)->Apply(frameSizes);
BENCHMARK(BM_Frame3x4Battery600)->Apply(frameSizes);
BENCHMARK(BM_FrameOverLast3x4Battery600)
    ->ArgNames({"over"})
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RestoreFaces)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Dial)->Apply(plainOrKept);
BENCHMARK(BM_StatusPanel)->Apply(plainOrKept);
BENCHMARK(BM_BatteryModel600)->Apply(plainOrKept);
