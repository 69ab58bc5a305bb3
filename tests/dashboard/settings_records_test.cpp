// Settings files as a hand, a disk fault or another program may leave them: a thousand random
// records (fixed seed) each load, lay out, fill the setup dialog's controls and draw a frame;
// cells of unknown kinds stay empty; a NaN, infinite or huge speed factor draws like any other.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

#include "dashboard/frame.h"
#include "pixels.h"
#include "scenes.h"
#include "shell/gl_window.h"
#include "support/gl_context.h"
#include "support/process.h"
#include "support/settings_frame.h"

namespace {
constexpr int width = 800;
constexpr int height = 600;

class SettingsRecords : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string why;
        ASSERT_TRUE(openGlContext(gl, width, height, &why)) << why;
        resetDashboardState();
        ASSERT_TRUE(initDashboard(window, keys)) << "no font";
    }
    void TearDown() override {
        releaseDashboard();
        closeGlContext(gl);
        resetDashboardState();
    }
    // Lays out and draws the current settings as the program would after loading them.
    Image draw() {
        applySettingsRecord();
        drawSettingsFrame(width, height);
        return readPixels(gl);
    }
    GlContext gl;
    GlWindow window{};
    int32_t keys[256]{};
};

int inkedPixels(const Image& image, int cell, int columns) {
    const CellRect r = cellViewport(cell, columns, width, height);
    int count = 0;
    for (int y = r.y; y < r.y + r.height; ++y) {
        for (int x = r.x; x < r.x + r.width; ++x) {
            count += isDark(pixelAt(image, x, y)) ? 0 : 1;
        }
    }
    return count;
}

TEST_F(SettingsRecords, AThousandRandomRecordsEachLoadLayOutAndDraw) {
    const std::string folder = makeScratchFolder("kv-records");
    const std::string path = folder + "/" + settingsFileName;
    RecordRandom random{20240611};
    for (int i = 0; i < 1000; ++i) {
        SCOPED_TRACE("record " + std::to_string(i));
        const Settings record = randomSettingsRecord(random);
        std::FILE* file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        ASSERT_EQ(std::fwrite(&record, sizeof record, 1, file), 1u);
        std::fclose(file);

        resetDashboardState();
        ASSERT_TRUE(loadSettings(path.c_str()));
        ASSERT_EQ(std::memcmp(&settings, &record, sizeof record), 0);
        debugMode = i % 2;
        mwMode = (i / 2) % 2;
        linkRunning = (i / 4) % 2 != 0;
        char line[128];
        std::snprintf(line, sizeof line, "%x %x %x %x %x %x %x %x %x SGOMRFPSV", random.next(),
                      random.next() % 256, random.next(), random.next() % 256, random.next(),
                      random.next() % 256, random.next() % 256, random.next() % 256, random.next());
        driveLine(line);
        accumulateFrame(random.next() % 2000);

        applySettingsRecord();
        ASSERT_EQ(checkCellLayout(width, height), "");
        ASSERT_EQ(checkControlsRoundTrip(settings), "");
        drawSettingsFrame(width, height);
        ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
    std::remove(path.c_str());
    std::remove(folder.c_str());
}

TEST_F(SettingsRecords, CellsOfUnknownKindsStayEmpty) {
    const int32_t unknown[] = {-1, 14, 99, INT32_MIN, INT32_MAX};
    for (int32_t kind : unknown) {
        SCOPED_TRACE("kind " + std::to_string(kind));
        resetDashboardState();
        settings.gaugeLayout = 1;
        for (int32_t& slot : settings.gaugeSlots) {
            slot = kind;
        }
        settings.gaugeSlots[0] = Throttle; // one real dial, to show the frame was drawn
        linkRunning = true;                // no start hint across the cells
        driveLine("b0 1e 30 40 7f 40 38 2a 0 OMFP");
        const Image frame = draw();
        EXPECT_GT(inkedPixels(frame, 0, 4), 1000);
        for (int cell = 1; cell < 11; ++cell) {
            EXPECT_EQ(inkedPixels(frame, cell, 4), 0) << "cell " << cell;
        }
        EXPECT_GT(inkedPixels(frame, 11, 4), 1000); // the status panel
    }
}

TEST_F(SettingsRecords, ANaNInfiniteOrHugeSpeedFactorDrawsTheSpeedDials) {
    const float speedFactors[] = {
        std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
        -std::numeric_limits<float>::infinity(), std::numeric_limits<float>::max(),
        -std::numeric_limits<float>::max(),      std::numeric_limits<float>::denorm_min()};
    for (float factor : speedFactors) {
        SCOPED_TRACE("rpmToSpeed " + std::to_string(factor));
        resetDashboardState();
        settings.rpmToSpeed = factor;
        // Speed, both energy-per-distance needles, power, and the battery model.
        settings.gaugeSlots[0] = Speed;
        settings.gaugeSlots[1] = WhPerDistance;
        settings.gaugeSlots[2] = BatteryPower;
        settings.gaugeSlots[4] = BatteryModel;
        linkRunning = true;
        driveLine("b0 1e 30 40 7f 40 38 2a 0 OMFP");
        for (int frame = 0; frame < 100; ++frame) {
            accumulateFrame(16);
        }
        const Image frame = draw();
        ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        for (int cell = 0; cell < 3; ++cell) {
            EXPECT_GT(inkedPixels(frame, cell, 3), 1000) << "cell " << cell;
        }
    }
}
} // namespace
