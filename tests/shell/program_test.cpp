// The real program under the test's X server, driven from outside as a person would.
#include <gtest/gtest.h>
#include <string>

#include "support/process.h"
#include "support/x11.h"

namespace {

using namespace std::chrono_literals;
const std::string title = "KestroView 0.4";

int count(const std::string& text, const std::string& word) {
    int n = 0;
    for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
        ++n;
    }
    return n;
}

class Program : public ::testing::Test {
  protected:
    void SetUp() override { folder = makeScratchFolder("kv-program"); }
    void TearDown() override {
        killProcess(child);
        runCommand("rm -rf '" + folder + "'");
    }
    void start(const std::vector<std::string>& args) {
        child = startProcess(KV_PROGRAM_PATH, args, folder);
    }
    std::string errors() const { return readFile(child.stderrPath); }
    std::string folder;
    ChildProcess child;
};

TEST_F(Program, OpensAnExactClientAreaAtTheTopLeftAndEscapeEndsIt) {
    start({"nosetup"});
    const unsigned long window = waitForWindow(title, 30s);
    ASSERT_NE(window, 0u) << errors();
    const ScreenRect rect = windowGeometry(window);
    EXPECT_EQ(rect.x, 0);
    EXPECT_EQ(rect.y, 0);
    EXPECT_EQ(rect.width, 800);
    EXPECT_EQ(rect.height, 600);

    pressKeys(window, "Escape");
    EXPECT_EQ(waitProcess(child, 30s), 0) << errors();
}

TEST_F(Program, TheCloseBoxEndsIt) {
    start({"nosetup"});
    const unsigned long window = waitForWindow(title, 30s);
    ASSERT_NE(window, 0u) << errors();
    askToClose(window);
    EXPECT_EQ(waitProcess(child, 30s), 0) << errors();
}

TEST_F(Program, F1RecreatesTheWindowInTheOtherModeAndBack) {
    // The test screen has no 800 x 600 mode, so full screen is refused with its message.
    start({"nosetup"});
    unsigned long window = waitForWindow(title, 30s);
    ASSERT_NE(window, 0u) << errors();

    pressKeys(window, "F1");
    ASSERT_TRUE(dismissErrorBox(30s)) << errors();
    EXPECT_EQ(count(errors(), "KestroView: Error: Mode Switch Failed. Running In Windowed Mode."),
              1);
    window = waitForWindow(title, 30s);
    ASSERT_NE(window, 0u);
    EXPECT_EQ(windowGeometry(window).width, 800);

    // A refused switch leaves the wish at full screen, so the next F1 asks for a window.
    const unsigned long before = window;
    pressKeys(window, "F1");
    // The new window must be up before Escape goes to it, not the old one being torn down.
    ASSERT_TRUE(waitFor(
        [&] {
            const auto windows = findWindows(title);
            return windows.size() == 1 && windows.front() != before;
        },
        30s));
    int code = -1;
    for (int attempt = 0; attempt < 10 && code < 0; ++attempt) {
        window = waitForWindow(title, 30s);
        pressKeys(window, "Escape");
        code = waitProcess(child, 3s);
    }
    EXPECT_EQ(code, 0) << errors();
    EXPECT_EQ(count(errors(), "Mode Switch Failed"), 1) << errors();
}

TEST_F(Program, WithoutADisplayTheClassCannotBeRegistered) {
    int exitCode = 0;
    const std::string output =
        runCommand("cd '" + folder + "' && env -u DISPLAY -u WAYLAND_DISPLAY '" +
                       std::string(KV_PROGRAM_PATH) + "' nosetup 2>&1",
                   &exitCode);
    EXPECT_EQ(exitCode, 255);
    const size_t first = output.find("KestroView: Error: RegisterClassEx Failed!");
    const size_t second = output.find("KestroView: Error: Error Registering Window Class!");
    EXPECT_NE(first, std::string::npos) << output;
    EXPECT_NE(second, std::string::npos) << output;
    EXPECT_LT(first, second);
}

} // namespace
