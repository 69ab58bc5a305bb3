// Turns allocation counts taken around a benchmark's loop into per-call counters:
//   allocs         every allocation on the benchmark's thread
//   allocs_driver  of those, asked for by the GL driver (libGL, DRI driver, LLVM) itself
//   allocs_ours    the rest: KestroView's code and the C and C++ libraries it calls
//   new            operator new calls on the benchmark's thread
//   allocs_all     every allocation on any thread (the driver's worker threads included)
#pragma once
#include <benchmark/benchmark.h>

#include "allocation_counter.h"

inline void reportAllocations(benchmark::State& state, const AllocationCount& before,
                              const AllocationCount& after) {
    const auto perCall = [](uint64_t n) {
        return benchmark::Counter(double(n), benchmark::Counter::kAvgIterations);
    };
    const uint64_t all = after.thisThread - before.thisThread;
    const uint64_t driver = after.fromDriver - before.fromDriver;
    state.counters["allocs"] = perCall(all);
    state.counters["allocs_driver"] = perCall(driver);
    state.counters["allocs_ours"] = perCall(all - driver);
    state.counters["new"] = perCall(after.cppNew - before.cppNew);
    state.counters["allocs_all"] = perCall(after.allThreads - before.allThreads);
}
