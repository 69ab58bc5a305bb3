// Frames drawn the quick way (what does not change is kept, rings have one loop, battery dots go
// in one draw, lines are measured without drawing) against the same frames drawn plainly, every
// part from scratch. They must agree in every pixel, in more states than the reference frames
// hold: random battery samples, other window sizes, and a window whose state changes between
// frames (settings applied, resized, values moving, link stopped).
#include <gtest/gtest.h>

#include <string>

#include "frame_render.h"
#include "support/plain_drawing.h"

namespace {
// Samples spread over the whole plot and beyond its axes, from a seed, each taken three times
// running, as frames take them between two lines at 20 lines and 60 frames a second.
uint32_t sampleSeed = 1;
void fillRandomSamples() {
    uint32_t seed = sampleSeed;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<double>(seed >> 8) / 16777216.0;
    };
    for (int i = 0; i < sampleRingSize; ++i) {
        const bool repeat = i % 3 != 0;
        tripTotals.currentSamples[i] =
            repeat ? tripTotals.currentSamples[i - 1] : -40.0 + 380.0 * next();
        tripTotals.voltageSamples[i] =
            repeat ? tripTotals.voltageSamples[i - 1] : 100.0 + 35.0 * next();
    }
    tripTotals.sampleIndex = 600 + sampleSeed;
}

void batteryEverywhere() {
    settings.gaugeLayout = 1;
    for (int slot = 0; slot < 11; slot += 2) {
        settings.gaugeSlots[slot] = BatteryModel;
    }
}

void runningWithSamples() {
    linkRunning = true;
    driveLine("c4 2a 48 4c 90 52 3a 2c 0 OMFPV");
    fillRandomSamples();
}

Image drawWith(void (*draw)(), const Scene& scene) {
    GlContext gl;
    std::string why;
    EXPECT_TRUE(openGlContext(gl, scene.width, scene.height, &why)) << why;
    Image frame = drawSceneFrame(gl, scene, &why, draw);
    EXPECT_TRUE(why.empty()) << why;
    releaseDashboard();
    closeGlContext(gl);
    resetDashboardState();
    return frame;
}

void expectSameFrames(const Scene& scene) {
    const Image plain = drawWith(drawPlainFrame, scene);
    const Image kept = drawWith(drawDashboard, scene);
    ASSERT_EQ(plain.width, scene.width);
    const std::size_t different = countDifferentPixels(plain, kept, 0);
    if (different != 0) {
        savePng(plain, std::string(::testing::TempDir()) + "/" + scene.name + ".plain.png");
        savePng(kept, std::string(::testing::TempDir()) + "/" + scene.name + ".kept.png");
    }
    EXPECT_EQ(different, 0u) << scene.name << ": both frames are kept in " << ::testing::TempDir();
}

class KeptFrame : public ::testing::TestWithParam<Scene> {};

TEST_P(KeptFrame, EqualsThePlainFrame) {
    expectSameFrames(GetParam());
}

std::vector<Scene> keptScenes() {
    std::vector<Scene> scenes = referenceScenes();
    const std::vector<std::pair<int, int>> sizes = {{640, 480}, {1024, 768}, {997, 701}};
    for (const auto& size : sizes) {
        scenes.push_back({"battery_everywhere_" + std::to_string(size.first), size.first,
                          size.second, batteryEverywhere, runningWithSamples});
    }
    return scenes;
}

INSTANTIATE_TEST_SUITE_P(Dashboard, KeptFrame, ::testing::ValuesIn(keptScenes()),
                         [](const ::testing::TestParamInfo<Scene>& info) {
                             return info.param.name;
                         });

// Many seeds of random dots in a large and a small window: each dot is placed by the kept
// drawing's own arithmetic, so many positions are tried.
TEST(KeptFrame, RandomDotsLandWhereThePlainDotsLand) {
    for (uint32_t seed = 2; seed < 8; ++seed) {
        sampleSeed = seed;
        const int width = seed % 2 == 0 ? 1024 : 640;
        const int height = seed % 2 == 0 ? 768 : 480;
        expectSameFrames({"dots_seed_" + std::to_string(seed), width, height, batteryEverywhere,
                          runningWithSamples});
    }
    sampleSeed = 1;
}

// The plain frame for the state as it stands, drawn in the same window between kept frames.
Image plainFrameNow(const GlContext& gl) {
    drawPlainFrame();
    glFinish();
    return readPixels(gl);
}

Image keptFrameNow(const GlContext& gl) {
    drawDashboard();
    glFinish();
    return readPixels(gl);
}

// One window through a drive: every step changes what a frame is drawn from, and the kept
// frame (faces copied back where they still hold, drawn anew where they do not) must equal
// the plain frame of the same state, twice in a row.
TEST(KeptFrame, FollowsEveryChangeOfStateInOneWindow) {
    struct Step {
        const char* what;
        void (*change)();
    };
    const Step steps[] = {
        {"first frame", [] {}},
        {"link started", [] { linkRunning = true; }},
        {"a line arrived", [] { driveLine("d8 36 60 58 a1 64 3c 2e 0 OMFPV"); }},
        {"another line", [] { driveLine("160 3c 10 40 c0 40 8 60 0 SMS"); }},
        {"samples in the plot", [] { fillBatterySamples(637); }},
        {"window resized", [] { resizeDashboard(640, 480); }},
        {"units changed",
         [] {
             settings.distanceUnit = 1;
             settings.temperatureUnit = 1;
             applyGaugeSettings();
         }},
        {"battery scale changed",
         [] {
             settings.batteryVoltsMin = 95;
             settings.batteryAmpsMax = 500;
             applyGaugeSettings();
         }},
        {"layout changed", [] { settings.gaugeLayout = 0; }},
        {"slots changed", [] { settings.gaugeSlots[4] = BatteryModel; }},
        {"window back to full size", [] { resizeDashboard(1024, 768); }},
        {"debug on", [] { debugMode = 1; }},
        {"link stopped", [] { linkRunning = false; }},
    };
    GlContext gl;
    std::string why;
    ASSERT_TRUE(openGlContext(gl, 1024, 768, &why)) << why;
    resetDashboardState();
    settings.gaugeLayout = 1;
    settings.gaugeSlots[10] = BatteryModel;
    static GlWindow window{};
    static int32_t keys[256]{};
    ASSERT_TRUE(initDashboard(window, keys));
    resizeDashboard(1024, 768);
    for (const Step& step : steps) {
        step.change();
        for (int again = 0; again < 2; ++again) {
            const Image kept = keptFrameNow(gl);
            const Image plain = plainFrameNow(gl);
            EXPECT_EQ(countDifferentPixels(plain, kept, 0), 0u)
                << step.what << (again != 0 ? ", drawn again" : "");
        }
    }
    releaseDashboard();
    closeGlContext(gl);
    resetDashboardState();
}

// Fonts built anew (a window created again after F1) may get other list names: faces kept with
// the old fonts must not be copied back.
TEST(KeptFrame, NewFontsDrawNewFaces) {
    GlContext gl;
    std::string why;
    ASSERT_TRUE(openGlContext(gl, 800, 600, &why)) << why;
    resetDashboardState();
    static GlWindow window{};
    static int32_t keys[256]{};
    ASSERT_TRUE(initDashboard(window, keys));
    resizeDashboard(800, 600);
    keptFrameNow(gl);
    releaseDashboard();
    ASSERT_TRUE(initDashboard(window, keys));
    resizeDashboard(800, 600);
    const Image kept = keptFrameNow(gl);
    const Image plain = plainFrameNow(gl);
    EXPECT_EQ(countDifferentPixels(plain, kept, 0), 0u);
    releaseDashboard();
    closeGlContext(gl);
    resetDashboardState();
}
} // namespace
