// Preloaded into the real program (LD_PRELOAD) by the end-to-end test and bench/running-cpu.sh:
// counts the frames it presents, from outside, without changing the program. The count sits in
// a shared file (eight bytes, the path in KV_SWAP_COUNT_FILE) that the caller reads whenever it
// likes; nothing is written per frame, so counting costs the program no system call.
#include <SDL.h>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace {
using SwapFunction = void (*)(SDL_Window*);

std::atomic<uint64_t>* counter = nullptr;

__attribute__((constructor)) void openCounter() {
    const char* path = std::getenv("KV_SWAP_COUNT_FILE");
    if (path == nullptr) {
        return;
    }
    const int fd = open(path, O_RDWR | O_CREAT, 0600);
    if (fd < 0 || ftruncate(fd, sizeof(uint64_t)) != 0) {
        return;
    }
    void* shared = mmap(nullptr, sizeof(uint64_t), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    if (shared != MAP_FAILED) {
        counter = static_cast<std::atomic<uint64_t>*>(shared);
    }
}
} // namespace

extern "C" void SDL_GL_SwapWindow(SDL_Window* window) {
    static const auto real = reinterpret_cast<SwapFunction>(dlsym(RTLD_NEXT, "SDL_GL_SwapWindow"));
    real(window);
    if (counter != nullptr) {
        counter->fetch_add(1, std::memory_order_relaxed);
    }
}
