// printText as the dashboard calls it: a dial's value line centred in the large font, and a
// few status lines in the small font. Both should cost one draw and no allocation.
#include <GL/gl.h>
#include <benchmark/benchmark.h>
#include <cstdio>

#include "allocation_report.h"
#include "gl_bench_context.h"
#include "platform/font_lookup.h"
#include "text/text_print.h"

namespace {
// A font for the length of one benchmark run; released with the context still current.
struct BenchFont {
    GlyphFont font{};
    bool ok = false;
    BenchFont(const char* pattern, uint32_t size) {
        char path[4096];
        if (findFontFile(pattern, path, sizeof path)) {
            font.init(path, size);
            ok = true;
        }
    }
    ~BenchFont() { font.release(); }
};

// withFinish: wait for the driver to finish drawing after every call, so the time covers the
// pixels too and not only the commands.
void printValueLine(benchmark::State& state, bool withFinish) {
    BenchFont large("Arial", 72);
    if (!large.ok) {
        state.SkipWithError("no font file for Arial");
        return;
    }
    useDashboardCell(benchContext());
    glColor3f(1, 1, 1);
    // The driver compiles its shaders on first use; that one-time cost is not the call's. Now
    // and then it compiles once more on the second call (seen in about one process in three),
    // so two calls go before the count starts.
    for (int warmUp = 0; warmUp < 2; ++warmUp) {
        printText(large.font, true, 500, 300, "%.0f%s", 120.0, " km/h");
        glFinish();
    }
    const AllocationCount before = allocationsSoFar();
    for (auto _ : state) {
        printText(large.font, true, 500, 300, "%.0f%s", 120.0, " km/h");
        if (withFinish) {
            glFinish();
        }
    }
    const AllocationCount after = allocationsSoFar();
    glFinish();
    reportAllocations(state, before, after);
}

void BM_PrintTextValueLine(benchmark::State& state) {
    printValueLine(state, false);
}
void BM_PrintTextValueLineDrawn(benchmark::State& state) {
    printValueLine(state, true);
}

void BM_PrintTextStatusLines(benchmark::State& state) {
    BenchFont small("Arial:bold", 40);
    if (!small.ok) {
        state.SkipWithError("no font file for Arial:bold");
        return;
    }
    useDashboardCell(benchContext());
    glColor3f(0, 1, 0);
    for (int warmUp = 0; warmUp < 2; ++warmUp) {
        printText(small.font, false, 40, 900, "warm-up");
        glFinish();
    }
    const AllocationCount before = allocationsSoFar();
    for (auto _ : state) {
        printText(small.font, false, 40, 900, "Ah used %.2f\nkWh used %.3f\n%s", 12.34, 0.567,
                  "MOTOR OK");
    }
    const AllocationCount after = allocationsSoFar();
    glFinish();
    reportAllocations(state, before, after);
}
} // namespace

BENCHMARK(BM_PrintTextValueLine);
BENCHMARK(BM_PrintTextValueLineDrawn);
BENCHMARK(BM_PrintTextStatusLines);
