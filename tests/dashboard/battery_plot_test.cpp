// The battery model read back from the pixels: the fitted line and its figures, the axes'
// numbers and marks, one dot per sample; and the least-squares figures themselves.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "dashboard/battery_fit.h"
#include "dashboard/battery_model.h"
#include "frame_render.h"

namespace {
class BatteryPlot : public FrameFixture {
  protected:
    BatteryPlot() : FrameFixture(800, 600) {}
};

// The battery model in slot 0 (cell 0): samples on V = 120 - 0.05 x I.
void batteryInFirstCell() {
    settings.gaugeSlots[0] = BatteryModel;
}

void samplesOnTheLine() {
    const double amps[] = {50, 100, 150, 200, 250};
    for (int i = 0; i < 5; ++i) {
        tripTotals.currentSamples[i] = amps[i];
        tripTotals.voltageSamples[i] = 120.0 - 0.05 * amps[i];
    }
    tripTotals.sampleIndex = 5;
}

TEST_F(BatteryPlot, BatteryModelFitsItsLineAndPrintsTheFigures) {
    const Image image = frame(batteryInFirstCell, samplesOnTheLine);
    const CellMap plot = cell(0);
    double voc = 0;
    double slope = 0;
    ASSERT_TRUE(readFittedLine(image, plot, 0, 300, 105, 130, &voc, &slope));
    EXPECT_NEAR(voc, 120.0, 0.3);
    EXPECT_NEAR(slope, -0.05, 0.003);

    const Image vocText =
        drawTextAlone(gl, plot.r, white, smallFont, false, 400, 900, "Voc  = 120.0 V");
    EXPECT_EQ(differencesInBand(image, vocText, plot, 380, 999, 888, 960), 0);
    const Image rintText =
        drawTextAlone(gl, plot.r, white, smallFont, false, 400, 800, "Rint = 0.050 ohms");
    EXPECT_EQ(differencesInBand(image, rintText, plot, 380, 999, 790, 850), 0);
}

// The plot's axes with the default scales (0..300 A by 50, 105..130 V by 5): numbers and marks at
// x = 100, 233.3, ... 900 and y = 100, 260, ... 900 of the cell, and one dot per sample where its
// current and voltage lie, none anywhere else.
TEST_F(BatteryPlot, BatteryModelAxesAndDotsWhereTheirValuesLie) {
    // Two volts either side of V = 120 - 0.05 x I, clear of the fitted line.
    const Image image = frame(batteryInFirstCell, [] {
        for (int i = 0; i < 5; ++i) {
            tripTotals.currentSamples[i] = 50.0 * (i + 1);
            tripTotals.voltageSamples[i] = 120.0 - 2.5 * (i + 1) + (i % 2 == 0 ? 2 : -2);
        }
        tripTotals.sampleIndex = 5;
    });
    const CellMap plot = cell(0);
    const std::vector<float> amps = {0, 50, 100, 150, 200, 250, 300};
    const std::vector<float> volts = {105, 110, 115, 120, 125, 130};

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    useDashboardCell(plot.r.x, plot.r.y, plot.r.width, plot.r.height);
    glColor3f(1, 1, 1);
    glTranslatef(100, 100, 0);
    for (float a : amps) {
        printText(smallFont, true, static_cast<float>(a * 800.0 / 300.0), -50, "%.0f", double(a));
    }
    for (float v : volts) {
        printText(smallFont, true, -50, static_cast<float>((v - 105.0) * 800.0 / 25.0), "%.0f",
                  double(v));
    }
    glFinish();
    const Image numbers = readPixels(gl);
    EXPECT_EQ(differencesInBand(image, numbers, plot, 0, 999, 10, 85), 0) << "current numbers";
    EXPECT_EQ(differencesInBand(image, numbers, plot, 0, 85, 60, 940), 0) << "voltage numbers";

    // The marks: white columns just below the current axis, rows just left of the voltage axis,
    // past the other axis's numbers.
    const auto marksAt = [&](bool alongCurrent) {
        std::vector<double> centres;
        double sum = 0;
        int count = 0;
        int last = -10;
        const int from = alongCurrent ? plot.px(95) - plot.r.x : plot.py(95) - plot.r.y;
        const int n = alongCurrent ? plot.r.width : plot.r.height;
        for (int i = from; i < n; ++i) {
            const int x = alongCurrent ? plot.r.x + i : plot.px(93);
            const int y = alongCurrent ? plot.py(93) : plot.r.y + i;
            if (!isWhite(pixelAt(image, x, y))) {
                continue;
            }
            if (i > last + 1 && count > 0) {
                centres.push_back(sum / count);
                sum = 0;
                count = 0;
            }
            sum += alongCurrent ? plot.u(x) : plot.v(y);
            ++count;
            last = i;
        }
        if (count > 0) {
            centres.push_back(sum / count);
        }
        return centres;
    };
    const std::vector<double> currentMarks = marksAt(true);
    ASSERT_EQ(currentMarks.size(), amps.size());
    for (std::size_t i = 0; i < amps.size(); ++i) {
        EXPECT_NEAR(currentMarks[i], 100 + amps[i] * 800 / 300, 4) << amps[i] << " A";
    }
    const std::vector<double> voltageMarks = marksAt(false);
    ASSERT_EQ(voltageMarks.size(), volts.size());
    for (std::size_t i = 0; i < volts.size(); ++i) {
        EXPECT_NEAR(voltageMarks[i], 100 + (volts[i] - 105) * 800 / 25, 4) << volts[i] << " V";
    }

    const double sampleVolts[] = {119.5, 113, 114.5, 108, 109.5};
    std::vector<std::pair<double, double>> dots;
    for (int i = 0; i < 5; ++i) {
        dots.push_back({100 + 50 * (i + 1) * 800 / 300.0, 100 + (sampleVolts[i] - 105) * 800 / 25});
    }
    for (const auto& d : dots) {
        double su = 0, sv = 0;
        int count = 0;
        for (int y = plot.py(d.second - 15); y <= plot.py(d.second + 15); ++y) {
            for (int x = plot.px(d.first - 15); x <= plot.px(d.first + 15); ++x) {
                if (isWhite(pixelAt(image, x, y))) {
                    su += plot.u(x);
                    sv += plot.v(y);
                    ++count;
                }
            }
        }
        ASSERT_GT(count, 2) << d.first;
        EXPECT_NEAR(su / count, d.first, 4);
        EXPECT_NEAR(sv / count, d.second, 4);
    }
    EXPECT_EQ(countPixels(
                  image, plot,
                  [&](double u, double v) {
                      const bool figures = u > 380 && v > 780;
                      return u > 115 && v > 115 && !figures &&
                             std::none_of(dots.begin(), dots.end(), [&](const auto& d) {
                                 return std::hypot(u - d.first, v - d.second) < 20;
                             });
                  },
                  isWhite),
              0);
}

TEST_F(BatteryPlot, BatteryModelWithOneSampleHasNoLineAndNoFigures) {
    const Image image = frame(batteryInFirstCell, [] {
        tripTotals.currentSamples[0] = 150;
        tripTotals.voltageSamples[0] = 112.5;
        tripTotals.sampleIndex = 1;
    });
    const CellMap plot = cell(0);
    EXPECT_EQ(countPixels(
                  image, plot, [](double, double) { return true; }, isOrange),
              0);
    EXPECT_EQ(countPixels(
                  image, plot, [](double u, double v) { return u > 380 && v > 905; },
                  [](Rgb8 c) { return !isDark(c); }),
              0);
    // The one point: a white dot at I = 150, V = 112.5, i.e. (500, 340) of the cell.
    EXPECT_GT(countPixels(
                  image, plot, [](double u, double v) { return std::hypot(u - 500, v - 340) < 15; },
                  isWhite),
              2);
    // Without a line the width is back at 1, also where a fitted line of an earlier frame left
    // 3 and the kept axes are not drawn again.
    const auto lineWidth = [] {
        GLfloat width = 0;
        glGetFloatv(GL_LINE_WIDTH, &width);
        return width;
    };
    EXPECT_EQ(lineWidth(), 1.0f);
    glLineWidth(3.0f);
    drawBatteryModelLive();
    EXPECT_EQ(lineWidth(), 1.0f);
}

TEST(BatteryFit, LeastSquaresFigures) {
    const double amps[] = {50, 100, 150, 200};
    const double volts[] = {117.5, 115, 112.5, 110};
    const BatteryFit fit = fitBatteryLine(amps, volts, 4);
    ASSERT_TRUE(fit.valid);
    EXPECT_NEAR(fit.voc, 120.0, 1e-9);
    EXPECT_NEAR(fit.slope, -0.05, 1e-12);
    // One current fixes no line, also where rounding leaves a trace of spread in the sums.
    for (double current : {80.0, 80.1, 123.456, 299.9}) {
        std::vector<double> same(600, current);
        std::vector<double> v(600, 115.0);
        for (int n : {2, 3, 7, 600}) {
            EXPECT_FALSE(fitBatteryLine(same.data(), v.data(), n).valid) << current << " x " << n;
        }
    }
    // Neighbouring counts of the battery current still fit.
    const double close[] = {100.0, 100.03};
    const double closeVolts[] = {116.0, 115.9988};
    const BatteryFit closeFit = fitBatteryLine(close, closeVolts, 2);
    ASSERT_TRUE(closeFit.valid);
    EXPECT_NEAR(closeFit.slope, -0.04, 1e-6);
    EXPECT_FALSE(fitBatteryLine(amps, volts, 1).valid);
    EXPECT_FALSE(fitBatteryLine(amps, volts, 0).valid);
}
} // namespace
