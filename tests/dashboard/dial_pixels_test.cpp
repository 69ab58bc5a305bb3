// Every dial read back from the pixels of a large frame and held against its scale, worked out
// by hand from the gauge definitions: each red tick mark at the angle of its value, each tick
// number, caption and value line where its text belongs, each needle at the angle of its value,
// the W.h dial's orange second needle and the speed dial's caption with the trip distance.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "dashboard/dial.h"
#include "dashboard/status_panel.h"
#include "dial_scales.h"
#include "frame_render.h"

namespace {
constexpr int width = 1280;
constexpr int height = 1024;

// The default definitions with the default settings' ranges, cells 0 to 10 of the 3 x 4 layout.
const std::vector<DialScale>& kmCelsiusDials() {
    static const std::vector<DialScale> dials = {
        {Throttle, 0, 100, -135, 60, steps(0, 100, 10), "Throttle", "0%"},
        {Rpm, 0, 6000, -135, 60, steps(0, 6000, 1000), "RPM", "0"},
        {DutyCycle, 0, 100, -135, 60, steps(0, 100, 10), "Duty Cycle", "0%"},
        // 10..80 by 10: the 10 is clamped to 20 and drawn twice.
        {ControllerTemp, 20, 80, -135, 60, {20, 20, 30, 40, 50, 60, 70, 80}, "Cont. Temp.", "0 C"},
        {MotorVoltage, 0, 120, 150, 30, steps(0, 120, 20), "Motor", "0V"},
        {MotorCurrent, 0, 600, 150, 30, steps(0, 600, 100), "Motor", "0A"},
        {MotorCurrentLimit, 0, 600, 150, 30, steps(0, 600, 100), "Motor Limit", "0A"},
        {BatteryVoltage, 105, 130, 150, 30, steps(105, 130, 5), "Battery", "0V"},
        {Speed, 0, 120, -135, -45, steps(0, 120, 20), "0.00 km", "0 km/h"},
        {BatteryCurrent, 0, 300, 150, 30, steps(0, 300, 50), "Battery", "0A"},
        {BatteryPower, 0, 40, 150, 30, steps(0, 40, 10), "Battery", "0.0kW"},
    };
    return dials;
}

// Miles and Fahrenheit, cells 0 to 3.
const std::vector<DialScale>& milesFahrenheitDials() {
    static const std::vector<DialScale> dials = {
        {WhPerDistance, 0, 400, 150, 30, steps(0, 400, 100), "w.hrs/mile", "0"},
        {WhPerDistanceNow, 0, 400, 150, 30, steps(0, 400, 100), "w.hrs/mile", "0"},
        // 60..180 by 20: the 60 is clamped to 70.
        {ControllerTemp,
         70,
         180,
         -135,
         60,
         {70, 80, 100, 120, 140, 160, 180},
         "Cont. Temp.",
         "0 F"},
        {Speed, 0, 120, -135, -45, steps(0, 120, 20), "0.00 miles", "0 mph"},
    };
    return dials;
}

class DialPixels : public FrameFixture {
  protected:
    DialPixels() : FrameFixture(width, height) {}
    CellMap cell(int i) const { return FrameFixture::cell(i, 4); }

    // The texts each dial should carry, drawn alone in white: tick numbers at 425 along their
    // angles, the caption at (500, 185) and the value line at (500, 312.5).
    Image expectedTexts(const std::vector<DialScale>& dials) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        for (std::size_t i = 0; i < dials.size(); ++i) {
            const DialScale& d = dials[i];
            const CellRect r = cell(static_cast<int>(i)).r;
            useDashboardCell(r.x, r.y, r.width, r.height);
            glColor3f(1, 1, 1);
            glTranslatef(500, 500, 0);
            for (float s : d.ticks) {
                const double radians = angleAsDrawn(d, s) * 0.0174532793f;
                printText(smallFont, true, static_cast<float>(425.0 * std::cos(radians)),
                          static_cast<float>(425.0 * std::sin(radians)), "%.0f", double(s));
            }
            printText(largeFont, true, 0, -315, "%s", d.caption);
            printText(largeFont, true, 0, -187.5f, "%s", d.stoppedValue);
        }
        glFinish();
        return readPixels(gl);
    }

    // The colour the frame buffer holds for (0.7, 0.7, 0.7), from a quad of that colour.
    Rgb8 greyOfSevenTenths() {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        useDashboardCell(0, 0, 100, 100);
        glColor3f(0.7f, 0.7f, 0.7f);
        glRectf(0, 0, 1000, 1000);
        return pixelAt(readPixels(gl), 50, 50);
    }

    // Tick marks, ring and texts of the dials in cells 0.. of a stopped frame.
    void expectScales(const Image& image, const std::vector<DialScale>& dials) {
        const Rgb8 ringGrey = greyOfSevenTenths();
        const Image texts = expectedTexts(dials);
        for (std::size_t i = 0; i < dials.size(); ++i) {
            const DialScale& d = dials[i];
            const CellMap c = cell(static_cast<int>(i));
            SCOPED_TRACE("kind " + std::to_string(d.kind));
            std::vector<double> angles;
            for (float s : d.ticks) {
                angles.push_back(scaleAngle(d, s));
            }
            for (double a : angles) {
                int pixels = 0;
                const double measured = meanAngleNear(image, c, a, 4, 350, 370, isRed, &pixels);
                EXPECT_GT(pixels, 8) << "a tick mark at " << a;
                EXPECT_NEAR(wrapDegrees(measured - a), 0.0, 0.3) << "the tick mark at " << a;
            }
            // No red in the marks' ring but the marks.
            EXPECT_EQ(countPixels(
                          image, c,
                          [&](double u, double v) {
                              const double r = std::hypot(u - 500, v - 500);
                              const double at = std::atan2(v - 500, u - 500) * 180 / M_PI;
                              return r >= 345 && r <= 375 &&
                                     std::none_of(angles.begin(), angles.end(), [&](double a) {
                                         return std::fabs(wrapDegrees(at - a)) <= 4;
                                     });
                          },
                          isRed),
                      0);
            // The ring, in the grey that 0.7 gives (but for a few pixels where the start hint
            // crosses it).
            const auto inRing = [](double u, double v) {
                const double r = std::hypot(u - 500, v - 500);
                return r > 482 && r < 488;
            };
            const int ring = countPixels(image, c, inRing, [](Rgb8) { return true; });
            const int grey = countPixels(image, c, inRing, [&](Rgb8 p) {
                return p.r == ringGrey.r && p.g == ringGrey.g && p.b == ringGrey.b;
            });
            EXPECT_GT(grey, ring * 9 / 10);
            // The white texts, wherever the green start hint does not lie over them (its pixels
            // are the only ones whose red and green differ).
            int different = 0;
            for (int y = c.r.y; y < c.r.y + c.r.height; ++y) {
                for (int x = c.r.x; x < c.r.x + c.r.width; ++x) {
                    const double r = std::hypot(c.u(x) - 500, c.v(y) - 500);
                    const bool numbers = r > 375 && r < 475;
                    const bool lines = c.v(y) > 140 && c.v(y) < 360 && r < 345;
                    const Rgb8 p = pixelAt(image, x, y);
                    const Rgb8 q = pixelAt(texts, x, y);
                    if ((numbers || lines) && p.r == p.g && p.r != q.r) {
                        ++different;
                    }
                }
            }
            EXPECT_EQ(different, 0) << "tick numbers, caption and value line";
        }
    }
};

void kmCelsiusLayout() {
    settings.gaugeLayout = 1;
    for (int slot = 0; slot < 11; ++slot) {
        settings.gaugeSlots[slot] = kmCelsiusDials()[static_cast<std::size_t>(slot)].kind;
    }
}

TEST_F(DialPixels, TickMarksNumbersCaptionsAndValuesOfEveryKind) {
    expectScales(frame(kmCelsiusLayout, [] {}), kmCelsiusDials());
}

TEST_F(DialPixels, TickMarksNumbersCaptionsAndValuesInMilesAndFahrenheit) {
    const Image image = frame(
        [] {
            settings.gaugeLayout = 1;
            settings.distanceUnit = 1;
            settings.temperatureUnit = 1;
            for (int slot = 0; slot < 4; ++slot) {
                settings.gaugeSlots[slot] =
                    milesFahrenheitDials()[static_cast<std::size_t>(slot)].kind;
            }
        },
        [] {});
    expectScales(image, milesFahrenheitDials());
}

// A line with a value of its own in every channel, all inside their scales; the speed is 3100
// RPM x 0.02, and the trip's 200 Wh over 3.42 km give 58.5 W.h per km.
void runningDrive() {
    linkRunning = true;
    driveLine("9c 1f 29 34 7f 44 3d 2a 9 SOMF");
    tripTotals.energyWattMs = 200 * 3.6e6;
    tripTotals.distance = 3.42;
}

TEST_F(DialPixels, NeedlesPointAtTheirValues) {
    const struct {
        int32_t kind;
        double angle; // the value's angle on the scale, worked out by hand
    } needles[] = {
        {Throttle, 125.532},        // 60.28 % of 0..100 from -135 over 165
        {Rpm, 139.75},              // 3100 of 0..6000
        {DutyCycle, 93.208},        // 79.87 %
        {ControllerTemp, -143.333}, // 23.03 of 20..80
        {MotorVoltage, 43.012},     // 106.99 V of 0..120 from 150 over 120
        {MotorCurrent, 109.0},      // 205 A of 0..600
        {MotorCurrentLimit, 98.0},  // 260 A of 0..600
        {BatteryVoltage, 81.525},   // 119.27 V of 105..130
        {Speed, 85.5},              // 62 km/h of 0..120 from -135 over 270
        {BatteryCurrent, 84.503},   // 163.74 A of 0..300
        {BatteryPower, 91.414},     // 19.53 kW of 0..40
    };
    const Image image = frame(
        [] {
            kmCelsiusLayout();
            settings.rpmToSpeed = 0.02f;
        },
        runningDrive);
    for (int i = 0; i < 11; ++i) {
        SCOPED_TRACE("kind " + std::to_string(needles[i].kind));
        int pixels = 0;
        const double measured =
            meanAngleNear(image, cell(i), needles[i].angle, 6, 40, 140, isWhite, &pixels);
        EXPECT_GT(pixels, 20);
        EXPECT_NEAR(wrapDegrees(measured - needles[i].angle), 0.0, 0.2);
        EXPECT_NEAR(needleAngle(image, cell(i), needles[i].angle), needles[i].angle, 0.2)
            << "nothing else near it";
    }
}

// The W.h dial carries the instantaneous value as an orange needle under its white one; a dial
// of the instantaneous kind itself has only its own needle.
TEST_F(DialPixels, TheSecondNeedleOfTheWattHourDialAndTheSpeedCaption) {
    const Image image = frame(
        [] {
            settings.gaugeLayout = 1;
            settings.rpmToSpeed = 0.02f;
            settings.gaugeSlots[0] = WhPerDistance;
            settings.gaugeSlots[1] = WhPerDistanceNow;
            settings.gaugeSlots[2] = Speed;
        },
        runningDrive);
    int pixels = 0;
    // 58.48 W.h per km of 0..400 from 150 over 120; the instantaneous 314.98 W.h per km.
    EXPECT_NEAR(meanAngleNear(image, cell(0), 132.456, 6, 40, 140, isWhite, &pixels), 132.456, 0.2);
    EXPECT_GT(pixels, 20);
    EXPECT_NEAR(meanAngleNear(image, cell(0), 55.506, 6, 40, 140, isOrange, &pixels), 55.506, 0.2);
    EXPECT_GT(pixels, 20);
    EXPECT_NEAR(meanAngleNear(image, cell(1), 55.506, 6, 40, 140, isWhite, &pixels), 55.506, 0.2);
    EXPECT_EQ(countPixels(
                  image, cell(1), [](double, double) { return true; }, isOrange),
              0);

    // The caption of the speed dial: the trip distance with two decimals and the unit word.
    const Image caption = drawTextAlone(gl, cell(2).r, white, largeFont, true, 500, 185, "3.42 km");
    EXPECT_EQ(differencesInBand(image, caption, cell(2), 300, 700, 140, 240), 0);
    const Image value =
        drawTextAlone(gl, cell(2).r, white, largeFont, true, 500, 312.5f, "62 km/h");
    EXPECT_EQ(differencesInBand(image, value, cell(2), 330, 670, 270, 360), 0);
}

// What a cell draws over its face stays within the area it names: a cell drawn again over the
// last frame gets its faces back only there, and takes a neighbour sharing a row of pixels along
// only when that area reaches the row. Each dial's live part of a running drive and the status
// panel with every flag set (the warning line too) are drawn alone on black.
TEST_F(DialPixels, LivePartsDrawOnlyWithinTheAreaTheyName) {
    frame(
        [] {
            kmCelsiusLayout();
            settings.rpmToSpeed = 0.02f;
        },
        runningDrive);
    telemetry.statusFlags = {1, 1, 1, 1, 1, 1, 1, 1, 1};
    // Wide letters lower a centred caption by half their mean advance, and the g goes lower
    // still: below where the needles reach.
    std::strcpy(gaugeDefs[Rpm].label, "WWWWWg");
    for (int i = 0; i < 12; ++i) {
        const CellMap c = cell(i);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        useDashboardCell(c.r.x, c.r.y, c.r.width, c.r.height);
        CellBox boxes[2] = {};
        if (i == 11) {
            drawStatusPanel();
            const VerticalSpan span = statusPanelSpan();
            boxes[0] = boxes[1] = {0.0f, span.low, 1000.0f, span.high};
        } else {
            const int32_t kind = kmCelsiusDials()[static_cast<std::size_t>(i)].kind;
            drawDialLive(kind);
            const DialLiveArea area = dialLiveArea(kind);
            boxes[0] = area.needles;
            boxes[1] = area.lines;
        }
        glFinish();
        const Image image = readPixels(gl);
        const auto outside = [&](double u, double v) {
            for (const CellBox& b : boxes) {
                if (u >= b.x0 && u <= b.x1 && v >= b.y0 && v <= b.y1) {
                    return false;
                }
            }
            return true;
        };
        EXPECT_GT(countPixels(
                      image, c, [](double, double) { return true; }, isWhite),
                  0)
            << i;
        EXPECT_EQ(countPixels(image, c, outside, [](Rgb8 p) { return !isDark(p); }), 0)
            << "cell " << i;
    }
}
} // namespace

namespace {
// The needle in one draw covers the very pixels of GLU's partial disk, whatever its angle and
// the cell: angles on a fine odd step round the dial (past both ends of the usual range), in
// cells of the three window sizes' 3 x 4 layouts and a small one.
TEST_F(DialPixels, ANeedleInOneDrawCoversTheDiskGluDraws) {
    frame([] {}, [] {});
    GLUquadric* quadric = gluNewQuadric();
    const CellRect cells[] = {{0, 0, 160, 160}, {0, 0, 200, 160}, {3, 5, 256, 256}, {0, 0, 33, 27}};
    int compared = 0;
    for (const CellRect& r : cells) {
        for (float angle = -200.0f; angle < 560.0f; angle += 2.371f) {
            std::vector<uint8_t> images[2];
            for (int way = 0; way < 2; ++way) {
                useDashboardCell(r.x, r.y, r.width, r.height);
                glEnable(GL_SCISSOR_TEST);
                glScissor(r.x, r.y, r.width, r.height);
                glClear(GL_COLOR_BUFFER_BIT);
                glDisable(GL_SCISSOR_TEST);
                glPushMatrix();
                glTranslatef(500.0f, 500.0f, 0.0f);
                glColor3f(1.0f, 1.0f, 1.0f);
                if (way == 0) {
                    drawNeedle(angle);
                } else {
                    gluPartialDisk(quadric, 0.0, 360.0, 10, 10, dialAngle(angle) - 1.0f, 2.0);
                }
                glPopMatrix();
                images[way].resize(std::size_t(r.width) * r.height * 4);
                glReadPixels(r.x, r.y, r.width, r.height, GL_RGBA, GL_UNSIGNED_BYTE,
                             images[way].data());
            }
            ASSERT_TRUE(images[0] == images[1])
                << "angle " << angle << " in a cell of " << r.width << " x " << r.height;
            ++compared;
        }
    }
    EXPECT_EQ(compared, 4 * 321);
    gluDeleteQuadric(quadric);
}
} // namespace
