// Calibrated values by gauge kind with the float32 roundings the dials have always shown, the
// calibration overrides, and the trip totals with their sample rings. Expected values are worked
// out by hand from the calibration table (float32 scales as doubles), never by the code itself.
#include <array>
#include <cstring>
#include <gtest/gtest.h>

#include "link/quantities.h"
#include "link/telemetry.h"
#include "shell/app.h"
#include "shell/settings.h"

namespace {
std::array<ChannelCalibration, 9> initialCalibration() {
    std::array<ChannelCalibration, 9> table;
    std::memcpy(table.data(), channelCalibration, sizeof channelCalibration);
    return table;
}
const std::array<ChannelCalibration, 9> initialTable = initialCalibration();

class Quantities : public ::testing::Test {
  protected:
    void SetUp() override {
        std::memcpy(channelCalibration, initialTable.data(), sizeof channelCalibration);
        telemetry = Telemetry{};
        tripTotals = TripTotals{};
        settings = defaultSettings();
        mwMode = 0;
    }
    void TearDown() override { SetUp(); }
    static void rawLine(const std::array<float, 9>& raw) {
        for (int i = 0; i < 9; ++i) {
            telemetry.rawChannels[i] = raw[static_cast<std::size_t>(i)];
        }
    }
};

// A value of its own in every channel, so that a kind reading the wrong channel shows; a duty
// cycle and currents whose products are no float32, so that every rounding shows.
const std::array<float, 9> drive{156, 31, 41, 52, 127, 68, 61, 42, 9};
// The worked examples: motor current 40, duty cycle 159 (99.999998 %, the float32 100.0).
const std::array<float, 9> example{0, 10, 40, 0, 159, 68, 0, 42, 0};
const std::array<float, 9> none{};

enum Option { K1K = 0, K2K = 1, Fahrenheit = 2, MwMode = 4 };

struct KindCase {
    const char* what;
    int options;
    const std::array<float, 9>* raw;
    int32_t kind;
    double expected;
};

TEST_F(Quantities, KindsGiveTheirCalibratedValues) {
    const KindCase cases[] = {
        {"no data: throttle (0 - 71) x 0.709219873", K1K, &none, 0, -50.35461097955704},
        {"no data: temperature (0 - 2) x 0.575757563", K1K, &none, 3, -1.1515151262283325},
        {"no data: RPM", K1K, &none, 1, 0.0},
        {"no data: battery current", K1K, &none, 9, 0.0},
        {"no data: battery power", K1K, &none, 10, 0.0},
        {"no data: energy per distance", K1K, &none, 11, 0.0},
        {"no data: instantaneous energy per distance", K1K, &none, 12, 0.0},
        {"throttle (156 - 71) x 0.709219873", K1K, &drive, 0, 60.28368920087814},
        {"RPM 31 x 100", K1K, &drive, 1, 3100.0},
        {"duty cycle 127 x 0.628930807", K1K, &drive, 2, 79.87421250343323},
        {"temperature (42 - 2) x 0.575757563", K1K, &drive, 3, 23.03030252456665},
        {"temperature (42 + 28) x 1.03636360 in F", Fahrenheit, &drive, 3, 72.54545211791992},
        {"motor voltage 61 x 1.75390625", K1K, &drive, 4, 106.98828125},
        {"motor voltage 61 x 1.14385188 with mwmode", MwMode, &drive, 4, 69.77496445178986},
        {"motor current 41 x 5", K1K, &drive, 5, 205.0},
        {"motor current 41 x 10, K2K", K2K, &drive, 5, 410.0},
        {"motor current limit 52 x 5", K1K, &drive, 6, 260.0},
        {"motor current limit 52 x 10, K2K", K2K, &drive, 6, 520.0},
        {"battery voltage 68 x 1.75390625", K1K, &drive, 7, 119.265625},
        {"speed 3100 RPM x 0.0124 (float32)", K1K, &drive, 8, 38.44000110402703},
        // 205 x float32(79.874212503) x 0.01
        {"battery current: the duty cycle rounded to float32", K1K, &drive, 9, 163.74213905334474},
        {"battery current, K2K", K2K, &drive, 9, 327.4842781066895},
        // 119.265625 x float32(163.742139053) x 0.001
        {"battery power: the battery current rounded to float32", K1K, &drive, 10,
         19.528808871507646},
        {"battery power, K2K", K2K, &drive, 10, 39.05761774301529},
        // 119.265625 x float32(163.742139053) / float32(38.440001104)
        {"instantaneous Wh per km: current and speed rounded to float32", K1K, &drive, 12,
         508.03349716939357},
        {"duty cycle 159: 99.999998 %", K1K, &example, 2, 99.99999833106995},
        {"battery current: 200 A x the float32 100.0", K1K, &example, 9, 200.0},
        {"battery current 400 A with K2K", K2K, &example, 9, 400.0},
        {"battery voltage 68", K1K, &example, 7, 119.265625},
        {"volts/amps has no value", K1K, &drive, 13, -999.0},
        {"above the table", K1K, &drive, 14, -999.0},
        {"below the table", K1K, &drive, -1, -999.0},
    };
    for (const KindCase& c : cases) {
        SetUp();
        settings.controllerModel = (c.options & K2K) != 0 ? 1 : 0;
        settings.temperatureUnit = (c.options & Fahrenheit) != 0 ? 1 : 0;
        mwMode = (c.options & MwMode) != 0 ? 1 : 0;
        applyCalibrationOverrides();
        rawLine(*c.raw);
        EXPECT_DOUBLE_EQ(quantityByKind(c.kind), c.expected) << c.what;
    }
}

TEST_F(Quantities, InstantaneousEnergyPerDistanceNeedsForwardSpeed) {
    const struct {
        float rpm;
        float rpmToSpeed;
        double expected;
    } cases[] = {
        {0, 0.0124f, 0.0},
        {-5, 0.0124f, 0.0},
        // 119.265625 x float32(163.742139053) / float32(100 x 1e-6): any speed above 0 counts
        {1, 1e-6f, 195288093.64846864},
    };
    rawLine(drive);
    for (const auto& c : cases) {
        telemetry.rawChannels[1] = c.rpm;
        settings.rpmToSpeed = c.rpmToSpeed;
        EXPECT_DOUBLE_EQ(quantityByKind(12), c.expected) << c.rpm << " x " << c.rpmToSpeed;
    }
}

TEST_F(Quantities, EnergyPerDistanceIsTheTripsWattHoursPerDistance) {
    const struct {
        double wattHours;
        double distance;
        double expected;
    } cases[] = {{0, 0, 0}, {50, 0, 0}, {50, -1, 0}, {50, 2, 25}, {1, 0.0005, 2000}};
    for (const auto& c : cases) {
        tripTotals.energyWattMs = c.wattHours * 3600000.0;
        tripTotals.distance = c.distance;
        EXPECT_NEAR(quantityByKind(11), c.expected, c.expected * 1e-12)
            << c.wattHours << " Wh over " << c.distance;
    }
}

TEST_F(Quantities, OverridesReplaceTheirEntriesAndAppliedTwiceLeaveTheTableOfOnce) {
    const ChannelCalibration initial[8] = {{71, 0.709219873f}, {0, 100.0f},       {0, 5.0f},
                                           {0, 5.0f},          {0, 0.628930807f}, {0, 1.75390625f},
                                           {0, 1.75390625f},   {2, 0.575757563f}};
    const struct {
        int32_t mwMode, controllerModel, temperatureUnit;
    } cases[] = {{0, 0, 0}, {1, 1, 1}, {0, 2, 2}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (const auto& c : cases) {
        SetUp();
        mwMode = c.mwMode;
        settings.controllerModel = c.controllerModel;
        settings.temperatureUnit = c.temperatureUnit;
        ChannelCalibration expected[8];
        std::memcpy(expected, initial, sizeof expected);
        if (c.mwMode == 1) {
            expected[6] = {0, 1.14385188f};
        }
        if (c.controllerModel == 1) { // any other model, 2 included, is the K1K
            expected[2] = {0, 10.0f};
            expected[3] = {0, 10.0f};
        }
        if (c.temperatureUnit == 1) {
            expected[7] = {-28, 1.03636360f};
        }
        for (int times = 1; times <= 2; ++times) {
            applyCalibrationOverrides();
            for (int i = 0; i < 8; ++i) { // channel 8 is read by nothing
                EXPECT_EQ(channelCalibration[i].offset, expected[i].offset)
                    << "channel " << i << ", applied " << times << " times";
                EXPECT_EQ(channelCalibration[i].scale, expected[i].scale)
                    << "channel " << i << ", applied " << times << " times";
            }
        }
    }
}

TEST_F(Quantities, AFrameAddsChargeEnergyDistanceAndASample) {
    rawLine(drive);
    accumulateFrame(100);
    EXPECT_DOUBLE_EQ(tripTotals.chargeAmpMs, 16374.213905334474);  // 163.742139053 A x 100 ms
    EXPECT_DOUBLE_EQ(tripTotals.energyWattMs, 1952880.8871507645); // 119.265625 V x float32 A
    // 38.440001104 km/h x 100 ms x 2.77777787e-7 (float32)
    EXPECT_DOUBLE_EQ(tripTotals.distance, 0.0010677778421670002);
    EXPECT_EQ(tripTotals.sampleIndex, 1u);
    EXPECT_EQ(tripTotals.currentSamples[0], 163.74213905334474);
    EXPECT_EQ(tripTotals.voltageSamples[0], 119.265625);
    EXPECT_EQ(tripTotals.lastFrameMs, 100u);

    // The milliseconds go through float32: after 4.66 hours (a laptop that slept) the frame
    // counts 16777216 ms.
    tripTotals = TripTotals{};
    accumulateFrame(16777217);
    EXPECT_DOUBLE_EQ(tripTotals.chargeAmpMs, 163.74213905334474 * 16777216.0);
    EXPECT_EQ(tripTotals.lastFrameMs, 16777217u);
}

TEST_F(Quantities, APairWithAZeroIsStoredButItsSlotIsReused) {
    const struct {
        const char* what;
        float motorCurrent, batteryVoltage;
        bool accepted;
    } frames[] = {
        {"voltage without current", 0, 68, false},
        {"current without voltage", 41, 0, false},
        {"neither", 0, 0, false},
        {"both", 41, 68, true},
    };
    for (const auto& frame : frames) {
        SetUp();
        rawLine(drive);
        telemetry.rawChannels[2] = frame.motorCurrent;
        telemetry.rawChannels[5] = frame.batteryVoltage;
        accumulateFrame(16);
        EXPECT_EQ(tripTotals.sampleIndex, frame.accepted ? 1u : 0u) << frame.what;
        EXPECT_EQ(tripTotals.currentSamples[0], frame.motorCurrent == 0 ? 0 : 163.74213905334474)
            << frame.what;
        EXPECT_EQ(tripTotals.voltageSamples[0], frame.batteryVoltage * 1.75390625) << frame.what;
    }
}

TEST_F(Quantities, TheRingsKeepTheLatest600Pairs) {
    telemetry.rawChannels[2] = 1;
    telemetry.rawChannels[4] = 159;
    for (int i = 0; i < 601; ++i) {
        telemetry.rawChannels[5] = static_cast<float>(i + 1);
        accumulateFrame(10);
    }
    EXPECT_EQ(tripTotals.sampleIndex, 601u);
    EXPECT_EQ(tripTotals.voltageSamples[0], 601 * 1.75390625); // pair 601 overwrote slot 0
    EXPECT_EQ(tripTotals.voltageSamples[1], 2 * 1.75390625);
    EXPECT_EQ(tripTotals.voltageSamples[599], 600 * 1.75390625);
}
} // namespace
