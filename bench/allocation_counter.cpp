// The counting allocator: forwards to glibc's own allocator (its __libc_* entry points) and
// counts. Thread-local counters need no allocation of their own in the program's static TLS.
// An allocation is the driver's when the code that asked for it lies in one of the driver's
// loaded objects, noted once up front so that counting never looks anything up.
#include "allocation_counter.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <link.h>
#include <new>

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* pointer, std::size_t size);
void __libc_free(void* pointer);
}

namespace {
thread_local uint64_t threadCount = 0;
thread_local uint64_t threadDriver = 0;
thread_local uint64_t threadNew = 0;
std::atomic<uint64_t> totalCount{0};

struct CodeRange {
    uintptr_t begin;
    uintptr_t end;
};
constexpr int maxRanges = 64;
CodeRange driverRanges[maxRanges];
std::atomic<int> driverRangeCount{0};

bool isDriverCode(const void* caller) {
    const auto at = reinterpret_cast<uintptr_t>(caller);
    const int n = driverRangeCount.load(std::memory_order_acquire);
    for (int i = 0; i < n; ++i) {
        if (at >= driverRanges[i].begin && at < driverRanges[i].end) {
            return true;
        }
    }
    return false;
}

void countOne(const void* caller) {
    ++threadCount;
    if (isDriverCode(caller)) {
        ++threadDriver;
    }
    totalCount.fetch_add(1, std::memory_order_relaxed);
}

bool isDriverObject(const char* name) {
    for (const char* part : {"/dri/", "libGL", "libglapi", "libLLVM", "libgallium"}) {
        if (std::strstr(name, part) != nullptr) {
            return true;
        }
    }
    return false;
}

int noteObject(dl_phdr_info* info, std::size_t, void*) {
    if (info->dlpi_name == nullptr || !isDriverObject(info->dlpi_name)) {
        return 0;
    }
    int n = driverRangeCount.load(std::memory_order_relaxed);
    for (int i = 0; i < info->dlpi_phnum && n < maxRanges; ++i) {
        const ElfW(Phdr)& segment = info->dlpi_phdr[i];
        if (segment.p_type == PT_LOAD && (segment.p_flags & PF_X) != 0) {
            const uintptr_t begin = info->dlpi_addr + segment.p_vaddr;
            driverRanges[n++] = CodeRange{begin, begin + segment.p_memsz};
        }
    }
    driverRangeCount.store(n, std::memory_order_release);
    return 0;
}

void* newOrThrow(std::size_t size, const void* caller) {
    ++threadNew;
    countOne(caller);
    void* p = __libc_malloc(size == 0 ? 1 : size);
    if (p == nullptr) {
        throw std::bad_alloc();
    }
    return p;
}
} // namespace

extern "C" {
void* malloc(std::size_t size) noexcept {
    countOne(__builtin_return_address(0));
    return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) noexcept {
    countOne(__builtin_return_address(0));
    return __libc_calloc(count, size);
}
void* realloc(void* pointer, std::size_t size) noexcept {
    countOne(__builtin_return_address(0));
    return __libc_realloc(pointer, size);
}
void free(void* pointer) noexcept {
    __libc_free(pointer);
}
}

void* operator new(std::size_t size) {
    return newOrThrow(size, __builtin_return_address(0));
}
void* operator new[](std::size_t size) {
    return newOrThrow(size, __builtin_return_address(0));
}
void operator delete(void* p) noexcept {
    __libc_free(p);
}
void operator delete[](void* p) noexcept {
    __libc_free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    __libc_free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    __libc_free(p);
}

AllocationCount allocationsSoFar() {
    return AllocationCount{threadCount, threadDriver, threadNew,
                           totalCount.load(std::memory_order_relaxed)};
}

void markDriverCode() {
    driverRangeCount.store(0, std::memory_order_release);
    dl_iterate_phdr(noteObject, nullptr);
}
