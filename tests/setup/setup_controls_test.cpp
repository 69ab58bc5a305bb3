// The setup dialog's rules on the control record, without a display: what the controls show for
// a record, and what "Start" stores from them.
#include <cfloat>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

#include "dashboard/gauges.h"
#include "shell/settings.h"
#include "shell/setup_controls.h"
#include "support/process.h"
#include "support/simulator.h"

namespace {
// "Start" reads every control back into a record that holds none of the loaded values (only the
// reserved bytes, which no control shows, are the loaded ones), so a field the read-back forgets
// shows.
Settings readBack(const Settings& loaded, const std::function<void(SetupControls&)>& edit = {}) {
    SetupControls controls = setupControlsFrom(loaded);
    if (edit) {
        edit(controls);
    }
    Settings stored;
    std::memset(&stored, 0xA5, sizeof stored);
    std::memcpy(stored.reserved, loaded.reserved, sizeof stored.reserved);
    readBackSetupControls(controls, stored);
    return stored;
}

bool sameBytes(const Settings& a, const Settings& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}
} // namespace

TEST(SetupControls, DefaultsShowAsThePersonExpects) {
    SetupControls c = setupControlsFrom(defaultSettings());
    EXPECT_EQ(c.comList.selected, 0); // COM1
    EXPECT_TRUE(c.comList.enabled);
    EXPECT_EQ(c.modelRadio, idModelK1K);
    EXPECT_EQ(c.temperatureRadio, idCelcius);
    EXPECT_EQ(c.distanceRadio, idKilometres);
    EXPECT_STREQ(c.rpmEdit.text, "0.012400");
    EXPECT_EQ(c.layoutRadio, idLayout3x3);
    EXPECT_EQ(c.resolutionRadio, id800x600);
    EXPECT_EQ(c.depthRadio, id16bpp);
    EXPECT_FALSE(c.fullScreenChecked);

    const struct {
        int id;
        const char* text;
    } edits[] = {{1014, "105"}, {1013, "130"}, {1019, "0"},   {1020, "300"}, {1024, "0"},
                 {1025, "40"},  {1011, "0"},   {1012, "120"}, {1015, "0"},   {1016, "600"},
                 {1030, "0"},   {1031, "120"}, {1026, "0"},   {1027, "400"}};
    for (const auto& e : edits) {
        ASSERT_NE(findEdit(c, e.id), nullptr) << e.id;
        EXPECT_STREQ(findEdit(c, e.id)->text, e.text) << e.id;
        EXPECT_TRUE(findEdit(c, e.id)->digitsOnly) << e.id;
    }
    EXPECT_EQ(findEdit(c, 1023), &c.rpmEdit);
    EXPECT_FALSE(c.rpmEdit.digitsOnly);
    EXPECT_EQ(findEdit(c, 1005), nullptr);
    EXPECT_EQ(findList(c, 1005), nullptr);
    EXPECT_EQ(findLabel(c, 1005), nullptr);

    EXPECT_STREQ(findLabel(c, idMultiplierLabel)->text, "Motor RPM -> km/h multiplier");
    EXPECT_STREQ(findLabel(c, idSpeedLabel)->text, "km/h");
    EXPECT_STREQ(findLabel(c, idPerDistanceLabel)->text, "w.hrs/km");

    const char* kinds[gaugeListCount] = {"Throttle",        "RPM",           "Controller Temp",
                                         "Speed",           "Motor Voltage", "Motor Current",
                                         "Duty Cycle",      "Whr/Distance",  "Battery Voltage",
                                         "Battery Current", "Battery Power"};
    for (int i = 0; i < gaugeListCount; ++i) {
        const ListState& list = c.gaugeLists[i];
        EXPECT_EQ(list.id, 1040 + i);
        EXPECT_STREQ(gaugeKindTable[list.selected].name, kinds[i]) << list.id;
        const bool fourthColumn = list.id == 1043 || list.id == 1047 || list.id == 1050;
        EXPECT_EQ(list.enabled, !fourthColumn) << list.id;
    }
}

TEST(SetupControls, AComPortOutsideTheListShowsNoSelection) {
    for (int32_t comPort : {0, 11, -3}) {
        Settings loaded = defaultSettings();
        loaded.comPort = comPort;
        const SetupControls c = setupControlsFrom(loaded);
        EXPECT_EQ(c.comList.selected, -1) << comPort;
        EXPECT_STREQ(c.comDevice.text, "") << comPort;
    }
}

// Untouched controls store what was loaded (the defaults as they are), except what the controls
// cannot show.
TEST(SetupControls, StartWithUntouchedControlsNormalisesOnlyWhatCannotBeShown) {
    const struct Case {
        const char* name;
        std::function<void(Settings&)> load;   // how the loaded record differs from the defaults
        std::function<void(Settings&)> expect; // what "Start" stores instead, else the same
    } cases[] = {
        {"the defaults stay", {}, {}},
        {"model 2 shows K2K, stores 1", [](Settings& s) { s.controllerModel = 2; },
         [](Settings& s) { s.controllerModel = 1; }},
        {"temperature -1 becomes 1", [](Settings& s) { s.temperatureUnit = -1; },
         [](Settings& s) { s.temperatureUnit = 1; }},
        {"distance 7 becomes 1", [](Settings& s) { s.distanceUnit = 7; },
         [](Settings& s) { s.distanceUnit = 1; }},
        {"layout 5 becomes 1", [](Settings& s) { s.gaugeLayout = 5; },
         [](Settings& s) { s.gaugeLayout = 1; }},
        {"depth 9 becomes 1", [](Settings& s) { s.colorDepth = 9; },
         [](Settings& s) { s.colorDepth = 1; }},
        {"full screen byte 3 becomes 1", [](Settings& s) { s.fullScreen = 3; },
         [](Settings& s) { s.fullScreen = 1; }},
        {"resolution 5 becomes 0", [](Settings& s) { s.screenResolution = 5; },
         [](Settings& s) { s.screenResolution = 0; }},
        {"resolution -1 becomes 0", [](Settings& s) { s.screenResolution = -1; },
         [](Settings& s) { s.screenResolution = 0; }},
        {"resolution 2 stays", [](Settings& s) { s.screenResolution = 2; }, {}},
        {"COM 0 becomes 1", [](Settings& s) { s.comPort = 0; }, [](Settings& s) { s.comPort = 1; }},
        {"COM 11 becomes 1", [](Settings& s) { s.comPort = 11; },
         [](Settings& s) { s.comPort = 1; }},
        {"COM 10 stays", [](Settings& s) { s.comPort = 10; }, {}},
        {"gauge id 12 (no list entry) becomes 0", [](Settings& s) { s.gaugeSlots[3] = 12; },
         [](Settings& s) { s.gaugeSlots[3] = 0; }},
        {"gauge id 99 becomes 0", [](Settings& s) { s.gaugeSlots[10] = 99; },
         [](Settings& s) { s.gaugeSlots[10] = 0; }},
        {"gauge id 13 stays", [](Settings& s) { s.gaugeSlots[5] = 13; }, {}},
        {"multiplier rounds to six decimals", [](Settings& s) { s.rpmToSpeed = 0.0123456789f; },
         [](Settings& s) { s.rpmToSpeed = 0.012346f; }},
        {"multiplier below half a millionth is stored as 0",
         [](Settings& s) { s.rpmToSpeed = 4e-7f; }, [](Settings& s) { s.rpmToSpeed = 0.0f; }},
        {"negative multiplier stays", [](Settings& s) { s.rpmToSpeed = -0.5f; }, {}},
        {"negative and large scale limits stay",
         [](Settings& s) {
             s.batteryAmpsMin = -250;
             s.motorAmpsMax = INT32_MAX;
             s.whPerDistanceMin = INT32_MIN;
         },
         {}},
        {"reserved bytes stay as loaded",
         [](Settings& s) {
             s.reserved[0] = 0xAB;
             s.reserved[2] = 0x01;
         },
         {}},
    };
    for (const Case& c : cases) {
        Settings loaded = defaultSettings();
        if (c.load) {
            c.load(loaded);
        }
        Settings expected = loaded;
        if (c.expect) {
            c.expect(expected);
        }
        const Settings stored = readBack(loaded);
        EXPECT_TRUE(sameBytes(stored, expected)) << c.name;
        if (c.expect && std::strstr(c.name, "multiplier") != nullptr) {
            EXPECT_EQ(stored.rpmToSpeed, expected.rpmToSpeed) << c.name;
        }
    }
}

TEST(SetupControls, EditTextsParseLikeTheCLibrary) {
    const struct {
        const char* text;
        int32_t value;
    } integers[] = {
        {"", 0},
        {"abc", 0},
        {"  42abc", 42},
        {"-7", -7},
        {"+15", 15},
        {"0012", 12},
        {"2147483647", INT32_MAX},
        {"2147483648", INT32_MAX},
        {"99999999999999999999", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"-99999999999", INT32_MIN},
        {"12 34", 12},
        {"- 5", 0},
        {"\t\n\v\f\r 8", 8},
        {"-2147483647", -2147483647},
        {"-2147483649", INT32_MIN},
        {"90", 90},
    };
    for (const auto& c : integers) {
        EXPECT_EQ(parseDecimalInt(c.text), c.value) << '"' << c.text << '"';
    }

    const struct {
        const char* text;
        float value;
    } numbers[] = {
        {"", 0.0f},     {"x1", 0.0f},   {" 0.5x", 0.5f},       {"1e3", 1000.0f},
        {".25", 0.25f}, {"3,5", 3.0f},  {"-2.5", -2.5f},       {"nan", 0.0f},
        {"inf", 0.0f},  {"1e39", 0.0f}, {"0.012400", 0.0124f}, {"3.4028234663852886e38", FLT_MAX},
    };
    for (const auto& c : numbers) {
        EXPECT_EQ(parseDecimalFloat(c.text), c.value) << '"' << c.text << '"';
    }
}

// Each control changed alone changes its own field and no other.
TEST(SetupControls, EachControlIsReadBackIntoItsOwnField) {
    const struct Typed {
        int id;
        const char* text;
        int32_t Settings::*field;
        int32_t value;
    } typed[] = {
        {1014, "1", &Settings::batteryVoltsMin, 1},
        {1013, "2", &Settings::batteryVoltsMax, 2},
        {1019, "3", &Settings::batteryAmpsMin, 3},
        {1020, "4", &Settings::batteryAmpsMax, 4},
        {1024, "5", &Settings::batteryKwMin, 5},
        {1025, "6", &Settings::batteryKwMax, 6},
        {1011, "7", &Settings::motorVoltsMin, 7},
        {1012, "8", &Settings::motorVoltsMax, 8},
        {1015, "9", &Settings::motorAmpsMin, 9},
        {1016, "750", &Settings::motorAmpsMax, 750},
        {1030, "11", &Settings::speedMin, 11},
        {1031, "12", &Settings::speedMax, 12},
        {1026, "13", &Settings::whPerDistanceMin, 13},
        {1027, "12x", &Settings::whPerDistanceMax, 12}, // digits up to the first other character
        {1014, "", &Settings::batteryVoltsMin, 0},
    };
    for (const Typed& t : typed) {
        Settings expected = defaultSettings();
        expected.*t.field = t.value;
        const Settings stored = readBack(defaultSettings(), [&](SetupControls& c) {
            std::strcpy(findEdit(c, t.id)->text, t.text);
        });
        EXPECT_TRUE(sameBytes(stored, expected)) << t.id << " \"" << t.text << '"';
    }

    const struct Case {
        const char* what;
        std::function<void(SetupControls&)> edit;
        std::function<void(Settings&)> expect;
    } cases[] = {
        {"1023", [](SetupControls& c) { std::strcpy(c.rpmEdit.text, "0.0155"); },
         [](Settings& s) { s.rpmToSpeed = 0.0155f; }},
        {"COM5", [](SetupControls& c) { c.comList.selected = 4; },
         [](Settings& s) { s.comPort = 5; }},
        {"COM10", [](SetupControls& c) { c.comList.selected = 9; },
         [](Settings& s) { s.comPort = 10; }},
        {"K2K", [](SetupControls& c) { c.modelRadio = idModelK2K; },
         [](Settings& s) { s.controllerModel = 1; }},
        {"Fahrenheit", [](SetupControls& c) { c.temperatureRadio = idFahrenheit; },
         [](Settings& s) { s.temperatureUnit = 1; }},
        {"miles", [](SetupControls& c) { c.distanceRadio = idMiles; },
         [](Settings& s) { s.distanceUnit = 1; }},
        {"3x4", [](SetupControls& c) { c.layoutRadio = idLayout3x4; },
         [](Settings& s) { s.gaugeLayout = 1; }},
        {"640x480", [](SetupControls& c) { c.resolutionRadio = id640x480; },
         [](Settings& s) { s.screenResolution = 0; }},
        {"1024x768", [](SetupControls& c) { c.resolutionRadio = id1024x768; },
         [](Settings& s) { s.screenResolution = 2; }},
        {"32bpp", [](SetupControls& c) { c.depthRadio = id32bpp; },
         [](Settings& s) { s.colorDepth = 1; }},
        {"full screen", [](SetupControls& c) { c.fullScreenChecked = true; },
         [](Settings& s) { s.fullScreen = 1; }},
        {"list 1040: Volts/Amps", [](SetupControls& c) { findList(c, 1040)->selected = 12; },
         [](Settings& s) { s.gaugeSlots[0] = BatteryModel; }},
        {"list 1045: Speed", [](SetupControls& c) { findList(c, 1045)->selected = 2; },
         [](Settings& s) { s.gaugeSlots[5] = Speed; }},
        {"list 1050: Throttle", [](SetupControls& c) { findList(c, 1050)->selected = 0; },
         [](Settings& s) { s.gaugeSlots[10] = Throttle; }},
    };
    for (const Case& c : cases) {
        Settings expected = defaultSettings();
        c.expect(expected);
        EXPECT_TRUE(sameBytes(readBack(defaultSettings(), c.edit), expected)) << c.what;
    }
}

TEST(SetupControls, DisabledListsKeepAndStoreTheirSelection) {
    SetupControls c = setupControlsFrom(defaultSettings());
    enableFourthColumn(c, 1);
    for (const ListState& list : c.gaugeLists) {
        EXPECT_TRUE(list.enabled) << list.id;
    }
    findList(c, 1043)->selected = gaugeKindRow(BatteryModel);
    enableFourthColumn(c, 0);
    EXPECT_FALSE(findList(c, 1043)->enabled);
    EXPECT_EQ(findList(c, 1043)->selected, gaugeKindRow(BatteryModel));

    // A list without selection, or with a row past its end, keeps its slot.
    findList(c, 1047)->selected = -1;
    findList(c, 1050)->selected = gaugeKindCount;
    Settings stored = defaultSettings();
    stored.gaugeSlots[7] = 6;
    stored.gaugeSlots[10] = 6;
    readBackSetupControls(c, stored);
    EXPECT_EQ(stored.gaugeSlots[3], BatteryModel);
    EXPECT_EQ(stored.gaugeSlots[7], 6);
    EXPECT_EQ(stored.gaugeSlots[10], 6);
}

TEST(SetupControls, DigitsOnlyEditsTakeOnlyDigits) {
    const struct {
        const char* typed;
        const char* taken;
        std::size_t room;
    } cases[] = {{"123", "123", 16},   {"a1b2", "12", 16},   {"-5", "5", 16},  {"x", "", 16},
                 {"", "", 16},         {"\xd9\xa1", "", 16}, {" 7 ", "7", 16}, {"x9y0", "90", 16},
                 {"123456", "123", 4}, {"5", "", 1}};
    for (const auto& c : cases) {
        char digits[17];
        std::memset(digits, 'z', sizeof digits);
        keepDigits(c.typed, digits, c.room);
        EXPECT_STREQ(digits, c.taken) << '"' << c.typed << '"';
        EXPECT_EQ(digits[c.room], 'z') << "nothing past the room given";
    }
}

TEST(SetupControls, ComDeviceNamesWhatThePortOpens) {
    const ScratchFolder folder("kv-setup-com");
    ASSERT_FALSE(folder.path.empty());
    WorkingDirectoryGuard here(folder.path);
    ASSERT_EQ(symlink("/dev/null", "COM3"), 0);
    std::FILE* device = std::fopen("d", "w"); // a device of a one-letter name beside the link
    ASSERT_NE(device, nullptr);
    std::fclose(device);
    ASSERT_EQ(symlink("d", "COM1"), 0);
    device = std::fopen("COM2", "w"); // a device of that name, not a link
    ASSERT_NE(device, nullptr);
    std::fclose(device);

    char text[128];
    EXPECT_TRUE(describeComDevice(3, text, sizeof text));
    EXPECT_STREQ(text, "COM3 -> /dev/null");
    EXPECT_TRUE(describeComDevice(1, text, sizeof text));
    EXPECT_STREQ(text, "COM1 -> d");
    EXPECT_TRUE(describeComDevice(2, text, sizeof text));
    EXPECT_STREQ(text, "COM2");
    EXPECT_FALSE(describeComDevice(0, text, sizeof text));
    EXPECT_STREQ(text, "no device for COM0");

    EXPECT_STREQ(setupControlsFrom(defaultSettings()).comDevice.text, "COM1 -> d");
    Settings loaded = defaultSettings();
    loaded.comPort = 3;
    SetupControls c = setupControlsFrom(loaded);
    EXPECT_STREQ(c.comDevice.text, "COM3 -> /dev/null");
    c.comList.selected = -1;
    updateComDevice(c);
    EXPECT_STREQ(c.comDevice.text, "");
    Settings stored = loaded;
    readBackSetupControls(c, stored);
    EXPECT_EQ(stored.comPort, 1); // the device is only shown; the number is stored
}
