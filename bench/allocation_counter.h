// Counts heap allocations made while a benchmark runs. The program replaces malloc, calloc,
// realloc and the global operator new, so every allocation in the process is seen: ours, the
// C and C++ libraries', and the GL driver's (which allocates on its own threads too).
#pragma once
#include <cstdint>

struct AllocationCount {
    uint64_t thisThread; // malloc-family calls on the calling thread (operator new included)
    uint64_t fromDriver; // of those, the ones called directly from the GL driver or LLVM
    uint64_t cppNew;     // operator new calls on the calling thread
    uint64_t allThreads; // malloc-family calls on any thread
};

AllocationCount allocationsSoFar();

// Notes where the GL driver's code lies (libGL, the DRI driver, LLVM), so allocations it makes
// are told apart from ours. Call once the GL context exists (the driver is loaded then).
void markDriverCode();
