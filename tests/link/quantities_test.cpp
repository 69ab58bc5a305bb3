// Calibrated values by gauge kind with the float32 roundings the dials have always shown, the
// calibration overrides, and the trip totals with their sample rings.
#include <array>
#include <cstring>
#include <gtest/gtest.h>

#include "link/controller_protocol.h"
#include "link/quantities.h"
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
    static void raw(int channel, float value) { telemetry.rawChannels[channel] = value; }
};

struct KindCase {
    const char* what;
    int controllerModel;
    int temperatureUnit;
    std::array<float, 9> raw;
    int32_t kind;
    double expected;
};

TEST_F(Quantities, KindsGiveTheirCalibratedValues) {
    const std::array<float, 9> none{};
    const std::array<float, 9> drive{0, 10, 40, 0, 159, 68, 0, 42, 0};
    const KindCase cases[] = {
        {"no data: throttle", 0, 0, none, 0, -50.35461097955704},
        {"no data: temperature", 0, 0, none, 3, -1.1515151262283325},
        {"no data: RPM", 0, 0, none, 1, 0.0},
        {"no data: battery current", 0, 0, none, 9, 0.0},
        {"no data: battery power", 0, 0, none, 10, 0.0},
        {"no data: energy per distance", 0, 0, none, 11, 0.0},
        {"no data: instantaneous energy per distance", 0, 0, none, 12, 0.0},
        {"battery voltage 68", 0, 0, drive, 7, 119.265625},
        {"temperature 42 in C", 0, 0, drive, 3, 23.03030252456665},
        {"temperature 42 in F", 0, 1, drive, 3, 72.54545211791992},
        {"motor current 40", 0, 0, drive, 5, 200.0},
        {"motor current 40, K2K", 1, 0, drive, 5, 400.0},
        {"duty cycle 159", 0, 0, drive, 2, 99.99999833106995},
        {"battery current: duty rounds to float 100", 0, 0, drive, 9, 200.0},
        {"battery current, K2K", 1, 0, drive, 9, 400.0},
        {"battery power in kW", 0, 0, drive, 10, 23.853125},
        {"speed: 1000 RPM x 0.01", 0, 0, drive, 8, 9.999999776482582},
        {"instantaneous Wh per km at float speed 10", 0, 0, drive, 12, 2385.3125},
        {"volts/amps has no value", 0, 0, drive, 13, -999.0},
        {"above the table", 0, 0, drive, 14, -999.0},
        {"below the table", 0, 0, drive, -1, -999.0},
    };
    for (const KindCase& c : cases) {
        SetUp();
        settings.controllerModel = c.controllerModel;
        settings.temperatureUnit = c.temperatureUnit;
        settings.rpmToSpeed = 0.01f;
        applyCalibrationOverrides();
        for (int i = 0; i < 9; ++i) {
            raw(i, c.raw[static_cast<std::size_t>(i)]);
        }
        EXPECT_DOUBLE_EQ(quantityByKind(c.kind), c.expected) << c.what;
    }
}

TEST_F(Quantities, InstantaneousEnergyPerDistanceIsZeroWithoutForwardSpeed) {
    settings.rpmToSpeed = 0.01f;
    raw(2, 40);
    raw(4, 159);
    raw(5, 68);
    for (float rpm : {0.0f, -5.0f}) {
        raw(1, rpm);
        EXPECT_EQ(quantityByKind(12), 0.0) << rpm;
    }
}

TEST_F(Quantities, EnergyPerDistanceIsTheTripsWattHoursPerDistance) {
    EXPECT_EQ(quantityByKind(11), 0.0);
    tripTotals.energyWattMs = 50.0 * 3600000.0; // 50 Wh
    tripTotals.distance = 2.0;
    EXPECT_NEAR(quantityByKind(11), 25.0, 1e-12);
}

TEST_F(Quantities, OverridesAppliedTwiceLeaveTheTableOfOnce) {
    mwMode = 1;
    settings.controllerModel = 1;
    settings.temperatureUnit = 1;
    applyCalibrationOverrides();
    std::array<ChannelCalibration, 9> once;
    std::memcpy(once.data(), channelCalibration, sizeof channelCalibration);
    applyCalibrationOverrides();
    EXPECT_EQ(std::memcmp(once.data(), channelCalibration, sizeof channelCalibration), 0);
    EXPECT_EQ(channelCalibration[6].scale, 1.14385188f);
    EXPECT_EQ(channelCalibration[2].scale, 10.0f);
    EXPECT_EQ(channelCalibration[3].scale, 10.0f);
    EXPECT_EQ(channelCalibration[7].offset, -28);
    EXPECT_EQ(channelCalibration[7].scale, 1.03636360f);
    EXPECT_EQ(channelCalibration[0].offset, 71); // untouched channels keep their values
}

TEST_F(Quantities, AFrameAddsChargeEnergyDistanceAndASample) {
    settings.rpmToSpeed = 0.01f;
    raw(1, 10);
    raw(2, 40);
    raw(4, 159);
    raw(5, 68);
    accumulateFrame(100);
    EXPECT_DOUBLE_EQ(tripTotals.chargeAmpMs, 20000.0);
    EXPECT_DOUBLE_EQ(tripTotals.energyWattMs, 2385312.5);
    EXPECT_DOUBLE_EQ(tripTotals.distance,
                     9.999999776482582 * 100.0 * static_cast<double>(2.77777787e-7f));
    EXPECT_EQ(tripTotals.sampleIndex, 1u);
    EXPECT_EQ(tripTotals.currentSamples[0], 200.0);
    EXPECT_EQ(tripTotals.voltageSamples[0], 119.265625);
    EXPECT_EQ(tripTotals.lastFrameMs, 100u);
}

TEST_F(Quantities, APairWithAZeroIsStoredButItsSlotIsReused) {
    raw(5, 68); // voltage, no current
    accumulateFrame(16);
    EXPECT_EQ(tripTotals.sampleIndex, 0u);
    EXPECT_EQ(tripTotals.voltageSamples[0], 119.265625);
    raw(2, 40);
    raw(4, 159);
    accumulateFrame(16);
    EXPECT_EQ(tripTotals.sampleIndex, 1u);
    EXPECT_EQ(tripTotals.currentSamples[0], 200.0);
}

TEST_F(Quantities, TheRingsKeepTheLatest600Pairs) {
    raw(2, 1);
    raw(4, 159);
    for (int i = 0; i < 601; ++i) {
        raw(5, static_cast<float>(i + 1));
        accumulateFrame(10);
    }
    EXPECT_EQ(tripTotals.sampleIndex, 601u);
    EXPECT_EQ(tripTotals.voltageSamples[0], 601 * 1.75390625); // pair 601 overwrote slot 0
    EXPECT_EQ(tripTotals.voltageSamples[1], 2 * 1.75390625);
    EXPECT_EQ(tripTotals.voltageSamples[599], 600 * 1.75390625);
}
} // namespace
