// Preloaded (LD_PRELOAD) into both ends of a pseudo-terminal by bench/line-latency.sh, it stamps
// the moments a line-to-screen latency is made of, from outside and without changing either
// program. KV_LATENCY_FILE names a file of 16-byte records (monotonic nanoseconds, then a count)
// that the caller reads afterwards; the file is mapped, so a stamp costs no system call.
//   KV_LATENCY_ROLE=controller: every write to a terminal that ends a line (its last byte a line
//     feed) is stamped when the write returns, with the number of lines written so far.
//   KV_LATENCY_ROLE=dashboard: every read from a terminal that brings line feeds is stamped with
//     the number of line feeds read so far (count negated, to tell it from a swap), and every
//     return of SDL_GL_SwapWindow with that number: the first swap after line n's read is the
//     first frame drawn after the program took in line n.
#include <SDL.h>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace {
struct Stamp {
    int64_t ns;
    int64_t count;
};
constexpr std::size_t capacity = 1 << 20; // some five hours of frames at 60 a second

Stamp* stamps = nullptr;
std::atomic<std::size_t> used{0};
int64_t lines = 0;
bool controller = false;

__attribute__((constructor)) void openStamps() {
    const char* path = std::getenv("KV_LATENCY_FILE");
    const char* role = std::getenv("KV_LATENCY_ROLE");
    if (path == nullptr || role == nullptr) {
        return;
    }
    controller = std::strcmp(role, "controller") == 0;
    const int fd = open(path, O_RDWR | O_CREAT | O_TRUNC, 0600);
    if (fd < 0 || ftruncate(fd, off_t(capacity * sizeof(Stamp))) != 0) {
        return;
    }
    void* shared =
        mmap(nullptr, capacity * sizeof(Stamp), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    if (shared != MAP_FAILED) {
        stamps = static_cast<Stamp*>(shared);
    }
}

int64_t now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

void stamp(int64_t count) {
    const std::size_t at = used.fetch_add(1, std::memory_order_relaxed);
    if (at < capacity) {
        stamps[at] = Stamp{now(), count};
    }
}

template <typename Function> Function next(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}
} // namespace

extern "C" ssize_t write(int fd, const void* bytes, size_t size) {
    static const auto real = next<ssize_t (*)(int, const void*, size_t)>("write");
    const ssize_t written = real(fd, bytes, size);
    if (stamps != nullptr && controller && written > 0 &&
        static_cast<const char*>(bytes)[written - 1] == '\n' && isatty(fd) != 0) {
        stamp(++lines);
    }
    return written;
}

extern "C" ssize_t read(int fd, void* bytes, size_t size) {
    static const auto real = next<ssize_t (*)(int, void*, size_t)>("read");
    const ssize_t count = real(fd, bytes, size);
    if (stamps != nullptr && !controller && count > 0) {
        const auto* data = static_cast<const char*>(bytes);
        int64_t feeds = 0;
        for (ssize_t i = 0; i < count; ++i) {
            feeds += data[i] == '\n' ? 1 : 0;
        }
        if (feeds > 0 && isatty(fd) != 0) {
            lines += feeds;
            stamp(-lines);
        }
    }
    return count;
}

extern "C" void SDL_GL_SwapWindow(SDL_Window* window) {
    static const auto real = next<void (*)(SDL_Window*)>("SDL_GL_SwapWindow");
    real(window);
    if (stamps != nullptr && !controller) {
        stamp(lines);
    }
}
