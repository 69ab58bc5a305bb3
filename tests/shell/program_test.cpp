// The real program under the test's X server, driven from outside as a person would.
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <unistd.h>

#include "support/process.h"
#include "support/simulator.h"
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

// As a user runs it: not as root, which exclusive mode does not keep out, and typing as on-screen
// keyboards and remote desktops do, each key released the instant it is pressed. S starts the
// link and S cuts that start short, S starts it, S stops it, S starts it again; Escape quits
// with it running, and the port is free for the next program.
TEST_F(Program, AsAUserInstantTapsStartStopAndRestartTheLinkAndQuittingFreesThePort) {
    SimulatorRun sim = startSimulator({"--rate", "20"}, 1, true);
    ASSERT_FALSE(HasFailure());
    child = startProcess(KV_PROGRAM_PATH, {"nosetup"}, sim.folder, true);
    std::set<std::string> logs;
    struct Cleanup {
        SimulatorRun& sim;
        std::set<std::string>& logs;
        ~Cleanup() {
            stopSimulator(sim);
            for (const std::string& log : logs) {
                unlink(log.c_str());
            }
        }
    } cleanup{sim, logs};
    const auto streams = [&](int times) {
        const bool said =
            waitFor([&] { return countSimulatorSaid(sim, "streaming") == times; }, 30s);
        // The logs of this start are open now; they go when the test ends.
        const std::string open = runCommand("readlink /proc/" + std::to_string(child.pid) +
                                            "/fd/* 2>/dev/null | grep '^/var/tmp/kestro_'");
        for (size_t at = 0; at < open.size();) {
            const size_t end = std::min(open.find('\n', at), open.size());
            logs.insert(open.substr(at, end - at));
            at = end + 1;
        }
        return said;
    };
    const unsigned long window = waitForWindow(title, 30s);
    ASSERT_NE(window, 0u) << errors();

    pressKeys(window, "s");
    // The second S comes while the start still waits out the controller's quiet times (1.5 s in
    // all): it cuts the start short with the stop bytes, and the controller never streams.
    ASSERT_TRUE(waitFor([&] { return !receivedChunks(sim).empty(); }, 30s)) << errors();
    pressKeys(window, "s");
    const auto wire = [&] {
        std::string bytes;
        for (const ReceivedChunk& chunk : receivedChunks(sim)) {
            bytes += chunk.bytes;
        }
        return bytes;
    };
    ASSERT_TRUE(waitFor([&] { return wire() == " \x1b\x1b \x1b\x1b"; }, 30s)) << wire();
    EXPECT_EQ(countSimulatorSaid(sim, "streaming"), 0);
    // The third S may come while that stop still waits for quiet: the start follows it.
    pressKeys(window, "s");
    ASSERT_TRUE(streams(1)) << errors();
    pressKeys(window, "s");
    ASSERT_TRUE(waitFor([&] { return simulatorSaid(sim, "silent"); }, 30s)) << errors();
    pressKeys(window, "s");
    ASSERT_TRUE(streams(2)) << errors();
    pressKeys(window, "Escape");
    EXPECT_EQ(waitProcess(child, 30s), 0) << errors();
    EXPECT_EQ(errors().find("Error"), std::string::npos) << errors();

    const std::string port = sim.folder + "/COM1";
    EXPECT_EQ(runUnprivileged([&] {
                  const int fd = open(port.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
                  if (fd < 0) {
                      return std::string(std::strerror(errno));
                  }
                  close(fd);
                  return std::string();
              }),
              "");
}

// The rows, counted up from the window's bottom edge, that the green "Hit s to start/stop" covers
// in the middle columns of an 800 pixel wide dashboard (clear of the status panel's green).
struct HintRows {
    int lowest = -1;
    int highest = -1;
};
HintRows hintRows(const std::string& pixels, const ScreenRect& client) {
    HintRows rows;
    for (int y = 0; y < client.height; ++y) {
        for (int x = 250; x < 530 && x < client.width; ++x) {
            const std::size_t at = 3 * (static_cast<std::size_t>(y) * client.width + x);
            if (at + 2 >= pixels.size()) {
                return rows;
            }
            const auto blue = static_cast<unsigned char>(pixels[at]);
            const auto green = static_cast<unsigned char>(pixels[at + 1]);
            const auto red = static_cast<unsigned char>(pixels[at + 2]);
            if (green > 160 && red < 90 && blue < 90) {
                const int fromBottom = client.height - 1 - y;
                rows.highest = rows.highest < 0 ? fromBottom : rows.highest;
                rows.lowest = fromBottom;
            }
        }
    }
    return rows;
}

// Under a window manager, whose frame comes to the window a moment after it is shown: a refused
// full-screen switch leaves a window of the requested outer size, frame included. The manager
// runs on a display of this test's own, so that no other test meets it.
TEST_F(Program, UnderAWindowManagerARefusedFullScreenKeepsTheRequestedOuterSize) {
    const std::string xvfb = runCommand("command -v Xvfb");
    const std::string openbox = runCommand("command -v openbox");
    ASSERT_FALSE(xvfb.empty() || openbox.empty()) << "Xvfb and openbox are needed";
    const std::string serverFolder = folder + "/server";
    const std::string managerFolder = folder + "/manager";
    ASSERT_EQ(runCommand("mkdir '" + serverFolder + "' '" + managerFolder + "' && echo ok"), "ok");
    struct Display {
        ChildProcess server;
        ChildProcess manager;
        std::string previous = std::getenv("DISPLAY") != nullptr ? std::getenv("DISPLAY") : "";
        ~Display() {
            killProcess(manager);
            // Asked to end, the server takes its socket away with it.
            if (server.pid > 0) {
                kill(server.pid, SIGTERM);
                waitProcess(server, 10s);
            }
            killProcess(server);
            setenv("DISPLAY", previous.c_str(), 1);
        }
    } display;
    display.server = startProcess(
        xvfb, {"-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten", "tcp", "-noreset"},
        serverFolder);
    std::string number;
    ASSERT_TRUE(waitFor(
        [&] {
            number = readFile(display.server.stdoutPath);
            return !number.empty() && number.back() == '\n';
        },
        30s))
        << readFile(display.server.stderrPath);
    number.pop_back();
    setenv("DISPLAY", (":" + number).c_str(), 1);
    display.manager = startProcess(openbox, {"--sm-disable"}, managerFolder);
    ASSERT_TRUE(waitFor(
        [] {
            return runCommand("xprop -root _NET_SUPPORTING_WM_CHECK 2>&1").find("window id") !=
                   std::string::npos;
        },
        30s))
        << readFile(display.manager.stderrPath);

    // First a window of the requested client size, 800 x 600, and where its start hint stands.
    start({"nosetup"});
    const unsigned long first = waitForWindow(title, 30s);
    ASSERT_NE(first, 0u) << errors();
    const HintRows before = hintRows(settledPixels(first, 30s), windowGeometry(first));
    ASSERT_GT(before.highest, 0) << "no start hint in the first window";

    pressKeys(first, "F1"); // this display has no 800 x 600 mode
    ASSERT_TRUE(dismissErrorBox(30s)) << errors();
    unsigned long window = 0;
    ScreenRect client;
    ScreenRect outer;
    // The frame arrives with the window; the size it leaves to the client follows it.
    waitFor(
        [&] {
            const auto windows = findWindows(title);
            window = windows.size() == 1 && windows.front() != first ? windows.front() : 0;
            client = windowGeometry(window);
            outer = outerGeometry(window);
            return window != 0 && outer.width == 800 && outer.height == 600;
        },
        30s);
    ASSERT_NE(window, 0u) << errors();
    EXPECT_LT(client.height, 600) << "the window manager gave the window no frame";
    EXPECT_EQ(outer.x, 0);
    EXPECT_EQ(outer.y, 0);
    EXPECT_EQ(outer.width, 800);
    EXPECT_EQ(outer.height, 600);
    // The dashboard still works at the requested 800 x 600, as after every creation: the hint
    // stands as high above the client's bottom edge as before, not scaled to the smaller client.
    const HintRows after = hintRows(settledPixels(window, 30s), client);
    EXPECT_EQ(after.lowest, before.lowest);
    EXPECT_EQ(after.highest, before.highest);
}

// A German desktop, whose numbers take a decimal comma. GTK comes up only for the first error
// box (F1 on a screen without an 800 x 600 mode), and the program's numbers and title must not
// change with it: the window made after the box shows the frame of the one before, pixel for
// pixel, and X tools still read its title.
TEST_F(Program, UnderAGermanLocaleAnErrorBoxChangesNeitherItsNumbersNorItsTitle) {
    // The locale is made for the test alone (no root needed) from the system's locale sources.
    const std::string locales = folder + "/locales";
    runCommand("mkdir '" + locales + "' && localedef -i de_DE -f UTF-8 '" + locales +
               "/de_DE.UTF-8' 2>&1");
    const std::string half =
        runCommand("LOCPATH='" + locales + "' LC_ALL=de_DE.UTF-8 /usr/bin/printf %.2f 0.5 2>&1");
    if (half != "0,50") {
        GTEST_SKIP() << "no German locale to test with: localedef -i de_DE needs the locale "
                        "sources of the Debian package \"locales\" (printf gave \""
                     << half << "\")";
    }
    struct Environment {
        Environment(const std::string& locales) {
            setenv("LOCPATH", locales.c_str(), 1);
            setenv("LANG", "de_DE.UTF-8", 1);
        }
        ~Environment() {
            unsetenv("LOCPATH");
            unsetenv("LANG");
        }
    };
    {
        const Environment german(locales);
        start({"nosetup"});
    }
    const unsigned long first = waitForWindow(title, 30s);
    ASSERT_NE(first, 0u) << errors();
    const std::string before = settledPixels(first, 30s);
    ASSERT_FALSE(before.empty());

    pressKeys(first, "F1");
    ASSERT_TRUE(dismissErrorBox(30s)) << errors();
    unsigned long second = 0;
    ASSERT_TRUE(waitFor(
        [&] {
            const auto windows = findWindows(title);
            second = windows.size() == 1 && windows.front() != first ? windows.front() : 0;
            return second != 0;
        },
        30s));
    EXPECT_TRUE(waitFor([&] { return windowPixels(second) == before; }, 30s))
        << "the frame after the box differs from the one before it";
    EXPECT_EQ(runCommand("xprop -id " + std::to_string(second) + " WM_NAME"),
              "WM_NAME(STRING) = \"KestroView 0.4\"");
}

// Without a display the class cannot be registered, but --help and --version answer there,
// exit 0 and touch nothing, from the program and from the desktop's launcher (which then makes
// no folder); a word that only holds one of them is no question.
TEST_F(Program, WithoutADisplayOnlyHelpAndVersionAnswer) {
    const std::string launcher = KV_SOURCE_DIR "/tools/kestroview-launcher";
    const std::string programFolder =
        std::string(KV_PROGRAM_PATH).substr(0, std::string(KV_PROGRAM_PATH).rfind('/'));
    const struct {
        std::string program, args;
        int exitCode;
        std::string starts; // the output, or its start when this ends in a line feed
    } cases[] = {
        {KV_PROGRAM_PATH, "--help", 0, "Usage: kestroview [WORD]...\n"},
        {KV_PROGRAM_PATH, "debug --help nosetup", 0, "Usage: kestroview [WORD]...\n"},
        {KV_PROGRAM_PATH, "--version", 0, "KestroView 0.4"},
        {launcher, "--help", 0, "Usage: kestroview-launcher [WORD]...\n"},
        {launcher, "nosetup --version", 0, "KestroView 0.4"},
        // Last: a start that goes as far as the display may leave caches in HOME.
        {KV_PROGRAM_PATH, "nosetup", 255, ""},
        {KV_PROGRAM_PATH, "nosetup --helpx", 255, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.program + " " + c.args);
        int exitCode = 0;
        const std::string output =
            runCommand("cd '" + folder + "' && env -u DISPLAY -u WAYLAND_DISPLAY HOME='" + folder +
                           "' PATH='" + programFolder + ":/usr/bin:/bin' '" + c.program + "' " +
                           c.args + " 2>&1",
                       &exitCode);
        EXPECT_EQ(exitCode, c.exitCode) << output;
        if (c.exitCode == 0) {
            EXPECT_EQ(c.starts.back() == '\n' ? output.substr(0, c.starts.size()) : output,
                      c.starts);
            EXPECT_EQ(runCommand("ls -A '" + folder + "'"), "") << "nothing written";
        } else {
            const size_t first = output.find("KestroView: Error: RegisterClassEx Failed!");
            const size_t second = output.find("KestroView: Error: Error Registering Window Class!");
            EXPECT_NE(first, std::string::npos) << output;
            EXPECT_NE(second, std::string::npos) << output;
            EXPECT_LT(first, second);
        }
    }
    // Each command-line word on a line of its own.
    const std::string help = runCommand("'" + std::string(KV_PROGRAM_PATH) + "' --help");
    for (const char* word :
         {"\n  nosetup ", "\n  debug ", "\n  mwmode ", "\n  reconnect ", "\n  --version "}) {
        EXPECT_NE(help.find(word), std::string::npos) << word;
    }
}

} // namespace
