// kestroview-bench: KestroView's drawing benchmarks, run in a hidden OpenGL window.
//
// Run (needs an X display, so under the private Xvfb of the test tools):
//   cmake --preset default && cmake --build --preset default
//   tools/with-xvfb.sh build/default/bench/kestroview-bench
// Google Benchmark's own options apply, e.g. --benchmark_filter=PrintText or
// --benchmark_format=json; --help lists them.
//
// Each benchmark reports, besides its time, the heap allocations per call, split into the GL
// driver's own and ours (see allocation_report.h).
#include <GL/gl.h>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <string>

#include "allocation_counter.h"
#include "gl_bench_context.h"

namespace {
GlBenchContext theContext;
}

const GlBenchContext& benchContext() {
    return theContext;
}

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    std::string why;
    if (!openGlContext(theContext, 800, 600, &why)) {
        std::fprintf(stderr, "kestroview-bench: %s\n", why.c_str());
        return 1;
    }
    markDriverCode();
    const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    const auto* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    std::printf("GL_RENDERER: %s\nGL_VERSION: %s\n", renderer, version);
    std::fflush(stdout);
    benchmark::AddCustomContext("GL_RENDERER", renderer);
    benchmark::AddCustomContext("GL_VERSION", version);

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    closeGlContext(theContext);
    return 0;
}
