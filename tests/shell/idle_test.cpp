// The real program with the link stopped: it costs next to nothing while nothing on screen can
// change, yet a window that was covered and uncovered shows its frame again at once.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>

#include "support/process.h"
#include "support/x11.h"

namespace {
using namespace std::chrono_literals;
const std::string title = "KestroView 0.4";

// CPU time (user + system, all threads) the process has used, in clock ticks.
long cpuTicks(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The command name may hold spaces; the fields after it are counted from its ')'.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    long utime = 0;
    long stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) {
            utime = std::stol(field);
        } else if (i == 15) {
            stime = std::stol(field);
        }
    }
    return utime + stime;
}

// Lays a white window over the given area for a moment, as another program's window would.
void coverAndUncover(const ScreenRect& area) {
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.background_pixel = WhitePixel(display, DefaultScreen(display));
    const Window cover =
        XCreateWindow(display, DefaultRootWindow(display), area.x, area.y, unsigned(area.width),
                      unsigned(area.height), 0, CopyFromParent, InputOutput, CopyFromParent,
                      CWOverrideRedirect | CWBackPixel, &attributes);
    XMapRaised(display, cover);
    XSync(display, False);
    std::this_thread::sleep_for(300ms);
    XDestroyWindow(display, cover);
    XSync(display, False);
    XCloseDisplay(display);
}

class IdleProgram : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = makeScratchFolder("kv-idle");
        child = startProcess(KV_PROGRAM_PATH, {"nosetup"}, folder);
        window = waitForWindow(title, 30s);
    }
    void TearDown() override {
        killProcess(child);
        runCommand("rm -rf '" + folder + "'");
    }
    std::string folder;
    ChildProcess child;
    unsigned long window = 0;
};

TEST_F(IdleProgram, WithTheLinkStoppedItUsesAlmostNoProcessorTime) {
    ASSERT_NE(window, 0u) << readFile(child.stderrPath);
    settledPixels(window, 30s);
    const long ticksPerSecond = sysconf(_SC_CLK_TCK);
    const long before = cpuTicks(child.pid);
    std::this_thread::sleep_for(3s);
    const long used = cpuTicks(child.pid) - before;
    // Drawing every turn took well over half a core here; idle turns now only poll. The bound
    // is loose so that a busy machine cannot fail it.
    EXPECT_LT(used, 3 * ticksPerSecond / 5) << used << " ticks in 3 s";
    std::cout << "[ idle ] " << used << " of " << 3 * ticksPerSecond << " ticks\n";
}

TEST_F(IdleProgram, AnUncoveredWindowShowsItsFrameAgain) {
    ASSERT_NE(window, 0u) << readFile(child.stderrPath);
    const std::string frame = settledPixels(window, 30s);
    ASSERT_FALSE(frame.empty());
    coverAndUncover(windowGeometry(window));
    EXPECT_TRUE(waitFor([&] { return windowPixels(window) == frame; }, 30s));
}

TEST_F(IdleProgram, KeysActAtOnceWhileNothingIsDrawn) {
    ASSERT_NE(window, 0u) << readFile(child.stderrPath);
    settledPixels(window, 30s);
    pressKeys(window, "Escape");
    EXPECT_EQ(waitProcess(child, 30s), 0) << readFile(child.stderrPath);
}
} // namespace
