// The whole program against the controller simulator under Xvfb: the window, the S key, live
// needles, the battery model's fit, and the capture log of every line received.
#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "dashboard/battery_fit.h"
#include "link/controller_protocol.h"
#include "link/quantities.h"
#include "pixels.h"
#include "shell/settings.h"
#include "support/link_state.h"
#include "support/process.h"
#include "support/simulator.h"
#include "support/x11.h"

namespace {
constexpr int windowWidth = 800;
constexpr int windowHeight = 600;

bool fileExists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

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

TEST(EndToEnd, SimulatorDrivesNeedlesBatteryModelAndCaptureLog) {
    if (!fileExists(KV_SIMULATOR_PATH) || !fileExists(KV_PROGRAM_PATH)) {
        GTEST_SKIP() << "program or simulator not built";
    }
    SimulatorRun sim = startSimulator({"--voc", "125", "--rint", "0.040", "--start-at", "2"});
    ASSERT_FALSE(HasFailure());

    settings = defaultSettings();
    settings.gaugeLayout = 1;
    settings.gaugeSlots[batteryCell] = BatteryModel;
    settings.screenResolution = 1; // 800 x 600
    settings.colorDepth = 1;
    ASSERT_TRUE(saveSettings((sim.folder + "/" + settingsFileName).c_str()));
    settings = defaultSettings();

    ChildProcess app = startProcess(KV_PROGRAM_PATH, {"nosetup"}, sim.folder);
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
    // Four and a half seconds into the pull-away (the drive then cruises at a steady current):
    // the plot's 600 frames span a good range of currents at any frame rate.
    EXPECT_TRUE(waitFor([&] { return sentLines(sim).size() >= 45; }, std::chrono::seconds(60)));

    Image after = captureWindow(window, sim.folder, "after");
    // The lines received by then (the log is flushed line by line): the picture was drawn
    // from the latest of them.
    const std::size_t receivedBeforeCapture = linesOf(readFile(log)).size();
    ASSERT_EQ(after.width, windowWidth);
    for (int cell = 0; cell < 10; ++cell) {
        EXPECT_GE(needlePixels(after, cellOf(cell)), 3) << "cell " << cell;
    }
    EXPECT_EQ(hintPixels(after), 0);

    // The fitted line as drawn, read back against the default axes 0..300 A and 105..130 V.
    double drawnVoc = 0;
    double drawnSlope = 0;
    ASSERT_TRUE(
        readFittedLine(after, cellOf(batteryCell), 0, 300, 105, 130, &drawnVoc, &drawnSlope));
    EXPECT_NEAR(drawnVoc, 125.0, 1.5);
    EXPECT_NEAR(-drawnSlope, 0.040, 0.008);
    // The two figures are written above the plot.
    const CellMap battery = cellOf(batteryCell);
    for (double y : {900.0, 800.0}) {
        EXPECT_GT(countPixels(
                      after, battery,
                      [y](double u, double v) { return u > 400 && v > y - 10 && v < y + 40; },
                      isWhite),
                  10)
            << "figure line at " << y;
    }

    // Some nine seconds of lines for the capture log.
    EXPECT_TRUE(waitFor([&] { return sentLines(sim).size() >= 90; }, std::chrono::seconds(60)));
    pressKey(window, "Escape");
    // The program reads no line once its window is gone; the simulator stops then, not when the
    // program's process ends, which may take a while longer (the leak check of a sanitizer
    // build runs at exit) while lines pile up unread.
    EXPECT_TRUE(waitForNoWindow("KestroView 0.4", std::chrono::seconds(30)));
    kill(sim.process.pid, SIGTERM);
    waitProcess(sim.process, std::chrono::seconds(10));
    EXPECT_EQ(waitProcess(app, std::chrono::seconds(30)), 0);

    // The log is what the simulator sent, line for line; only the lines that were still on
    // their way when the program ended can be missing at the end.
    const std::vector<std::string> sent = sentLines(sim);
    const std::vector<std::string> logged = linesOf(readFile(log));
    ASSERT_GE(logged.size(), 90u);
    ASSERT_LE(logged.size(), sent.size());
    EXPECT_LE(sent.size() - logged.size(), 5u);
    for (std::size_t i = 0; i < logged.size(); ++i) {
        ASSERT_EQ(logged[i], sent[i]) << "line " << i;
    }

    // The same lines through the program's own parsing and quantities give the simulator's
    // battery back.
    std::vector<double> amps;
    std::vector<double> volts;
    std::vector<std::size_t> lineOfSample;
    for (std::size_t n = 0; n < logged.size(); ++n) {
        parseReplyLine(logged[n].c_str());
        const double i = quantityByKind(BatteryCurrent);
        const double v = quantityByKind(BatteryVoltage);
        if (i != 0 && v != 0) {
            amps.push_back(i);
            volts.push_back(v);
            lineOfSample.push_back(n);
        }
    }
    const BatteryFit fit = fitBatteryLine(amps.data(), volts.data(), static_cast<int>(amps.size()));
    ASSERT_TRUE(fit.valid);
    // Battery volts come in counts of 1.75 V and the first seconds of the drive span only some
    // 100 A, so the fit lands within about a count's worth of the simulated battery.
    EXPECT_NEAR(fit.voc, 125.0, 1.5);
    EXPECT_NEAR(-fit.slope, 0.040, 0.008);
    // What the program drew is the fit of the latest lines it had received: its ring holds the
    // latest 600 frames, which at a quick frame rate are only the last seconds before the
    // capture. Some run of at least 20 lines ending at the capture must fit to what was drawn
    // (frames weigh the lines by how long each was current, so closely but not exactly).
    std::size_t samplesByCapture = 0;
    while (samplesByCapture < lineOfSample.size() &&
           lineOfSample[samplesByCapture] < receivedBeforeCapture) {
        ++samplesByCapture;
    }
    double closestVoc = 1e9;
    double closestSlope = 1e9;
    for (std::size_t first = 0; first + 20 <= samplesByCapture; ++first) {
        const int n = static_cast<int>(samplesByCapture - first);
        const BatteryFit recent = fitBatteryLine(&amps[first], &volts[first], n);
        if (recent.valid &&
            std::abs(recent.voc - drawnVoc) + std::abs(recent.slope - drawnSlope) <
                std::abs(closestVoc - drawnVoc) + std::abs(closestSlope - drawnSlope)) {
            closestVoc = recent.voc;
            closestSlope = recent.slope;
        }
    }
    EXPECT_NEAR(drawnVoc, closestVoc, 0.5);
    EXPECT_NEAR(drawnSlope, closestSlope, 0.003);
    telemetry = Telemetry{};
}
} // namespace
