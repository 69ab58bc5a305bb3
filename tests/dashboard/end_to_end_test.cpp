// The whole program against the controller simulator under Xvfb: the window, the S key, live
// needles, the battery model's line and figures, the frame rate while streaming, and the capture
// log of every line received.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "frame_render.h"
#include "pixels.h"
#include "shell/settings.h"
#include "support/link_state.h"
#include "support/process.h"
#include "support/simulator.h"
#include "support/x11.h"

namespace {
constexpr int windowWidth = 800;
constexpr int windowHeight = 600;

std::string findWindow() {
    std::string id;
    waitFor(
        [&] {
            id = runCommand("xdotool search --name 'KestroView 0.4' 2>/dev/null | head -n1");
            return !id.empty();
        },
        std::chrono::seconds(30));
    return id;
}

Image captureWindow(const std::string& window, const std::string& folder, const char* name) {
    const std::string path = folder + "/" + name + ".png";
    runCommand("import -window " + window + " '" + path + "'");
    Image image;
    loadPng(path, image);
    return image;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    return lines;
}

// Released the instant it is pressed, as on-screen keyboards and remote desktops type.
void pressKey(const std::string& window, const std::string& key) {
    runCommand("xdotool windowfocus --sync " + window + " && xdotool key --delay 0 " + key);
}

CellMap cellOf(int cell) {
    return {cellViewport(cell, 4, windowWidth, windowHeight)};
}

constexpr int batteryCell = 10; // slot 10 holds the battery model, cell 11 the status panel

// A controller that reports three battery states in turn, each a whole count apart in both
// current and voltage: 4, 12 and 20 counts of 5 A at a duty cycle of 159 counts (100 %) are 20,
// 60 and 100 A; 71, 70 and 69 counts of 1.75390625 V. The three pairs lie exactly on one line,
// V = 125.404296875 - 0.0438476563 x I, so the least-squares fit of any mixture of at least two of
// them is that line, however many frames each line lasted: what the plot must show does not depend
// on the frame rate or on how many frames its ring holds. The other fields keep every needle on its
// scale.
const char* const replayedLines = "b0 1e 4 4e 9f 47 40 2a 0 OMFS\n"
                                  "b0 1e c 4e 9f 46 40 2a 0 OMFS\n"
                                  "b0 1e 14 4e 9f 45 40 2a 0 OMFS\n";
constexpr double batteryVoc = 71 * 1.75390625 + 20 * 1.75390625 / 40;
constexpr double batterySlope = -1.75390625 / 40;

// Frames presented so far, as the preloaded counter has them.
uint64_t framesPresented(const std::string& countFile) {
    uint64_t count = 0;
    std::ifstream in(countFile, std::ios::binary);
    in.read(reinterpret_cast<char*>(&count), sizeof count);
    return count;
}

// The picture of one text as the battery cell prints it, drawn here with the program's own
// fonts, to be compared with the program's window.
Image textAsPrinted(const CellRect& cell, const char* text, float y) {
    GlContext gl;
    std::string why;
    if (!openGlContext(gl, windowWidth, windowHeight, &why)) {
        ADD_FAILURE() << why;
        return {};
    }
    static GlWindow window{};
    static int32_t keys[256]{};
    Image image;
    if (initDashboard(window, keys)) {
        const float white[3] = {1, 1, 1};
        image = drawTextAlone(gl, cell, white, smallFont, false, 400, y, text);
    }
    releaseDashboard();
    closeGlContext(gl);
    return image;
}

TEST(EndToEnd, SimulatorDrivesNeedlesBatteryModelAndCaptureLog) {
    if (!fileExists(KV_SIMULATOR_PATH) || !fileExists(KV_PROGRAM_PATH)) {
        GTEST_SKIP() << "program or simulator not built";
    }
    const std::string replayFolder = makeScratchFolder("kv-end-to-end");
    const std::string replay = replayFolder + "/battery.log";
    {
        std::FILE* file = std::fopen(replay.c_str(), "w");
        ASSERT_NE(file, nullptr);
        std::fputs(replayedLines, file);
        std::fclose(file);
    }
    SimulatorRun sim = startSimulator({"--replay", replay, "--loop"});
    ASSERT_FALSE(HasFailure());

    settings = defaultSettings();
    settings.gaugeLayout = 1;
    settings.gaugeSlots[batteryCell] = BatteryModel;
    settings.screenResolution = 1; // 800 x 600
    settings.colorDepth = 1;
    ASSERT_TRUE(saveSettings((sim.folder + "/" + settingsFileName).c_str()));
    settings = defaultSettings();

    // The program runs with a frame counter preloaded (the sanitizers' runtime then is not the
    // first library, which they accept when told).
    const std::string frameCount = sim.folder + "/frames";
    const char* asan = std::getenv("ASAN_OPTIONS");
    ChildProcess app = startProcess(
        "/usr/bin/env",
        {"LD_PRELOAD=" KV_SWAP_COUNTER_PATH, "KV_SWAP_COUNT_FILE=" + frameCount,
         "ASAN_OPTIONS=" + std::string(asan != nullptr ? asan : "") + ":verify_asan_link_order=0",
         KV_PROGRAM_PATH, "nosetup"},
        sim.folder);
    std::string log;
    const std::string window = findWindow();
    ASSERT_FALSE(window.empty()) << readFile(app.stderrPath);

    // Stopped: the green hint over the middle of the window and no needle anywhere.
    const CellMap whole{{0, 0, windowWidth, windowHeight}};
    const auto hintPixels = [&](const Image& image) {
        return countPixels(
            image, whole,
            [](double u, double v) { return std::abs(u - 500) < 150 && std::abs(v - 500) < 30; },
            isGreen);
    };
    Image before;
    EXPECT_TRUE(waitFor(
        [&] {
            before = captureWindow(window, sim.folder, "before");
            return before.width == windowWidth && hintPixels(before) > 20;
        },
        std::chrono::seconds(30)));
    ASSERT_EQ(before.width, windowWidth);
    for (int cell = 0; cell < 10; ++cell) {
        EXPECT_EQ(needlePixels(before, cellOf(cell)), 0) << "cell " << cell;
    }

    pressKey(window, "s");
    ASSERT_TRUE(waitFor([&] { return simulatorSaid(sim, "streaming"); }, std::chrono::seconds(30)))
        << readFile(app.stderrPath);
    ASSERT_TRUE(waitFor(
        [&] {
            log = noteCaptureLogOf(app.pid);
            return !log.empty();
        },
        std::chrono::seconds(30)));
    EXPECT_EQ(log.rfind("/var/tmp/kestro_original_", 0), 0u) << log;
    EXPECT_TRUE(waitFor([&] { return sentLines(sim).size() >= 30; }, std::chrono::seconds(60)));

    const Image after = captureWindow(window, sim.folder, "after");
    ASSERT_EQ(after.width, windowWidth);
    for (int cell = 0; cell < 10; ++cell) {
        EXPECT_GE(needlePixels(after, cellOf(cell)), 3) << "cell " << cell;
    }
    EXPECT_EQ(hintPixels(after), 0);

    // The fitted line as drawn, read back against the default axes 0..300 A and 105..130 V,
    // and its two figures above the plot, as the program's fonts print them.
    const CellMap battery = cellOf(batteryCell);
    double drawnVoc = 0;
    double drawnSlope = 0;
    ASSERT_TRUE(readFittedLine(after, battery, 0, 300, 105, 130, &drawnVoc, &drawnSlope));
    EXPECT_NEAR(drawnVoc, batteryVoc, 0.3);
    EXPECT_NEAR(drawnSlope, batterySlope, 0.003);
    const Image voc = textAsPrinted(battery.r, "Voc  = 125.4 V", 900);
    ASSERT_EQ(voc.width, windowWidth);
    EXPECT_EQ(differencesInBand(after, voc, battery, 380, 999, 888, 960), 0);
    const Image rint = textAsPrinted(battery.r, "Rint = 0.044 ohms", 800);
    ASSERT_EQ(rint.width, windowWidth);
    EXPECT_EQ(differencesInBand(after, rint, battery, 380, 999, 790, 850), 0);

    // Some six seconds of lines for the capture log, two of them from here on (a slow machine or
    // an emulator may have sent the rest already). Meanwhile the swaps do not wait (Xvfb), so
    // the program itself keeps to one frame per refresh of the display, which Xvfb does not
    // give: 60 Hz. The frames are counted between two readings of the clock.
    const auto from = std::chrono::steady_clock::now();
    const uint64_t framesBefore = framesPresented(frameCount);
    const std::size_t sentBefore = sentLines(sim).size();
    EXPECT_TRUE(waitFor(
        [&] {
            const std::size_t sent = sentLines(sim).size();
            return sent >= 60 && sent >= sentBefore + 20;
        },
        std::chrono::seconds(60)));
    const uint64_t frames = framesPresented(frameCount) - framesBefore;
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - from;
    EXPECT_GT(frames, 0u);
    EXPECT_LE(frames, took.count() * 60 + 2) << took.count() << " s";

    // Every line sent so far reaches the log (flushed line by line); the lines still on their
    // way when the program quits may not.
    const std::size_t sentBeforeQuit = sentLines(sim).size();
    EXPECT_TRUE(waitFor([&] { return linesOf(readFile(log)).size() >= sentBeforeQuit; },
                        std::chrono::seconds(30)));
    pressKey(window, "Escape");
    // The program reads no line once its window is gone; the simulator stops then, not when the
    // program's process ends, which may take a while longer (the leak check of a sanitizer
    // build runs at exit) while lines pile up unread.
    EXPECT_TRUE(waitForNoWindow("KestroView 0.4", std::chrono::seconds(30)));
    kill(sim.process.pid, SIGTERM);
    waitProcess(sim.process, std::chrono::seconds(10));
    EXPECT_EQ(waitProcess(app, std::chrono::seconds(30)), 0);

    // The log is what the simulator sent, line for line.
    const std::vector<std::string> sent = sentLines(sim);
    const std::vector<std::string> logged = linesOf(readFile(log));
    ASSERT_GE(logged.size(), sentBeforeQuit);
    ASSERT_LE(logged.size(), sent.size());
    for (std::size_t i = 0; i < logged.size(); ++i) {
        ASSERT_EQ(logged[i], sent[i]) << "line " << i;
    }
}
} // namespace
