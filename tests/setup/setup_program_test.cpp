// The real program's setup dialog on Xvfb, driven from outside with xdotool as a person would:
// mouse clicks and keys, in a scratch working folder.
#include <chrono>
#include <cstdio>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

#include "shell/settings.h"
#include "support/process.h"

using namespace std::chrono_literals;

namespace {
// Where the controls sit inside the dialog: the templates place them on a fixed grid of twice
// the dialog units. Pages start below the tab strip, whose height the theme decides.
constexpr int pageLeft = 6;
constexpr int pageTop = 236;
struct Point {
    int x;
    int y;
};
constexpr Point startButton = {354 + 53, 490 + 13};
constexpr Point quitButton = {470 + 53, 490 + 13};
constexpr Point batteryVoltsMinEdit = {pageLeft + 346 + 47, pageTop + 44 + 14};
constexpr Point batteryVoltsMaxEdit = {pageLeft + 448 + 47, pageTop + 44 + 14};

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty()) {
            out.push_back(line);
        }
    }
    return out;
}

// The program's visible window titled "KestroView 0.4" that is (or is not) the setup dialog,
// or "". A window that is gone by the time its role is asked (the dialog closing as the
// dashboard opens) is neither.
std::string programWindow(const ChildProcess& child, bool dialog) {
    const std::string found =
        runCommand("xdotool search --all --onlyvisible --pid " + std::to_string(child.pid) +
                   " --name '^KestroView 0\\.4$' 2>/dev/null");
    for (const std::string& window : lines(found)) {
        // Of a window that is gone xprop prints the bare property name.
        const std::string role = runCommand("xprop -id " + window + " WM_WINDOW_ROLE 2>/dev/null");
        const bool isDialog = role.find("kestroview-setup") != std::string::npos;
        const bool isOther = role.find("not found") != std::string::npos ||
                             role.find("no such atom") != std::string::npos;
        if ((dialog && isDialog) || (!dialog && isOther)) {
            return window;
        }
    }
    return "";
}

std::string waitForWindow(const ChildProcess& child, bool dialog) {
    std::string window;
    waitFor(
        [&] {
            window = programWindow(child, dialog);
            return !window.empty();
        },
        30s);
    return window;
}

Point windowOrigin(const std::string& window) {
    Point origin{0, 0};
    for (const std::string& line :
         lines(runCommand("xdotool getwindowgeometry --shell " + window))) {
        std::sscanf(line.c_str(), "X=%d", &origin.x);
        std::sscanf(line.c_str(), "Y=%d", &origin.y);
    }
    return origin;
}

void clickAt(const std::string& window, Point where) {
    const Point origin = windowOrigin(window);
    runCommand("xdotool windowfocus --sync " + window + " mousemove " +
               std::to_string(origin.x + where.x) + " " + std::to_string(origin.y + where.y) +
               " click 1");
}

void keys(const std::string& keyNames) {
    runCommand("xdotool key --delay 50 " + keyNames);
}
void type(const std::string& text) {
    runCommand("xdotool type --delay 50 '" + text + "'");
}

struct ProgramRun {
    std::string folder = makeScratchFolder("kv-setup-run");
    ChildProcess child;
    ~ProgramRun() { killProcess(child); }
    void start(const std::vector<std::string>& args = {}) {
        child = startProcess(KV_PROGRAM_PATH, args, folder);
    }
    std::string settingsPath() const { return folder + "/" + settingsFileName; }
    std::string errors() const { return readFile(child.stderrPath); }
};

// Escape to the dashboard until the program ends; a frame must run before the key is seen.
int quitDashboard(ProgramRun& run, const std::string& window) {
    int code = -1;
    for (int attempt = 0; attempt < 30 && code < 0; ++attempt) {
        // Held a moment: the dashboard reads key states once per frame.
        runCommand("xdotool windowfocus --sync " + window +
                   " keydown Escape sleep 0.3 keyup Escape 2>/dev/null");
        code = waitProcess(run.child, 1s);
    }
    return code;
}

std::string bytesOf(const Settings& s) {
    return std::string(reinterpret_cast<const char*>(&s), sizeof s);
}
} // namespace

// "Start", or Return in an edit, saves what the controls hold and opens the dashboard; letters
// typed into digits-only edits change nothing.
TEST(SetupProgram, StartSavesWhatTheControlsHoldAndOpensTheDashboard) {
    Settings typed = defaultSettings();
    typed.batteryVoltsMin = 98;
    const struct {
        const char* what;
        bool typing;
        Settings expected;
    } cases[] = {
        {"Start with untouched controls", false, defaultSettings()},
        {"letters and digits typed, then Return", true, typed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ProgramRun run;
        run.start();
        const std::string dialog = waitForWindow(run.child, true);
        ASSERT_FALSE(dialog.empty()) << run.errors();
        if (c.typing) {
            clickAt(dialog, batteryVoltsMinEdit);
            keys("ctrl+a");
            type("x9y8");
            clickAt(dialog, batteryVoltsMaxEdit);
            keys("End");
            type("abc");
            keys("Return");
        } else {
            clickAt(dialog, startButton);
        }
        const std::string dashboard = waitForWindow(run.child, false);
        ASSERT_FALSE(dashboard.empty()) << run.errors();
        const std::string saved = readFile(run.settingsPath());
        EXPECT_EQ(saved.size(), 136u);
        EXPECT_TRUE(saved == bytesOf(c.expected));
        EXPECT_EQ(quitDashboard(run, dashboard), 0) << run.errors();
    }
}

TEST(SetupProgram, QuitAfterEditingWritesNothingAndOpensNoWindow) {
    Settings old = defaultSettings();
    old.comPort = 4;
    old.batteryVoltsMin = 90;
    const struct {
        const char* name;
        bool oldFile;
        bool byEscape;
    } cases[] = {
        {"Quit, fresh folder", false, false},
        {"Quit, old file", true, false},
        {"Escape, old file", true, true},
    };
    for (const auto& c : cases) {
        ProgramRun run;
        if (c.oldFile) {
            FILE* file = std::fopen(run.settingsPath().c_str(), "wb");
            ASSERT_NE(file, nullptr);
            std::fwrite(&old, sizeof old, 1, file);
            std::fclose(file);
        }
        run.start();
        const std::string dialog = waitForWindow(run.child, true);
        ASSERT_FALSE(dialog.empty()) << c.name << run.errors();
        clickAt(dialog, batteryVoltsMinEdit);
        keys("ctrl+a");
        type("77");
        if (c.byEscape) {
            keys("Escape");
        } else {
            clickAt(dialog, quitButton);
        }

        int code = -1;
        bool dashboardSeen = false;
        waitFor(
            [&] {
                dashboardSeen = dashboardSeen || !programWindow(run.child, false).empty();
                code = waitProcess(run.child, 0ms);
                return code >= 0;
            },
            30s);
        EXPECT_EQ(code, 0) << c.name << run.errors();
        EXPECT_FALSE(dashboardSeen) << c.name;
        const std::string saved = readFile(run.settingsPath());
        EXPECT_TRUE(c.oldFile ? saved == bytesOf(old) : saved.empty()) << c.name;
    }
}

TEST(SetupProgram, NosetupGoesStraightToTheDashboard) {
    ProgramRun run;
    run.start({"xnosetupx"});
    const std::string dashboard = waitForWindow(run.child, false);
    ASSERT_FALSE(dashboard.empty()) << run.errors();
    EXPECT_TRUE(programWindow(run.child, true).empty());
    EXPECT_EQ(quitDashboard(run, dashboard), 0) << run.errors();
    EXPECT_TRUE(readFile(run.settingsPath()).empty());
}

TEST(SetupProgram, WithoutADisplayTheDialogIsSkippedWithAMessage) {
    ProgramRun run;
    int code = 0;
    runCommand("cd '" + run.folder +
                   "' && env -u DISPLAY -u WAYLAND_DISPLAY SDL_VIDEODRIVER=x11 timeout 60 '" +
                   KV_PROGRAM_PATH + "' >out.txt 2>err.txt",
               &code);
    const std::string errors = readFile(run.folder + "/err.txt");
    EXPECT_NE(errors.find("no display for the setup dialog"), std::string::npos) << errors;
    // It went on to the window, which (held to X here) fails with its own message.
    EXPECT_NE(errors.find("RegisterClassEx Failed!"), std::string::npos) << errors;
    EXPECT_EQ(code, 255);
    EXPECT_TRUE(readFile(run.settingsPath()).empty());
}
