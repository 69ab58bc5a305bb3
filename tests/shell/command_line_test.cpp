// The command-line words and the window parameters the entry takes from the settings.
#include <gtest/gtest.h>

#include "shell/app.h"
#include "shell/gl_window.h"
#include "shell/settings.h"

namespace {

TEST(CommandLineText, JoinsTheArgumentsWithSingleSpaces) {
    char program[] = "kestroview";
    char a[] = "debug";
    char b[] = "no setup";
    char* none[] = {program, nullptr};
    char* two[] = {program, a, b, nullptr};
    EXPECT_EQ(commandLineText(1, none), "");
    EXPECT_EQ(commandLineText(3, two), "debug no setup");
}

TEST(CommandWords, AreCaseSensitiveSubstringsAnywhere) {
    struct Case {
        const char* text;
        bool debug, mwmode, nosetup, reconnect;
    };
    const Case cases[] = {
        {"", false, false, false, false},
        {"xnosetupx", false, false, true, false},
        {"NOSETUP", false, false, false, false},
        {"no setup", false, false, false, false},
        {"nosetup mwmode debug", true, true, true, false},
        {"mwmodedebugnosetupreconnect", true, true, true, true},
        {"Debug MWMODE Reconnect", false, false, false, false},
        {"--debug", true, false, false, false},
        {"--reconnect", false, false, false, true},
        {"re connect", false, false, false, false},
    };
    for (const Case& c : cases) {
        const CommandWords words = findCommandWords(c.text);
        EXPECT_EQ(words.debug, c.debug) << c.text;
        EXPECT_EQ(words.mwmode, c.mwmode) << c.text;
        EXPECT_EQ(words.nosetup, c.nosetup) << c.text;
        EXPECT_EQ(words.reconnect, c.reconnect) << c.text;
    }
}

struct WindowCase {
    int32_t screenResolution;
    int32_t colorDepth;
    uint8_t fullScreen;
    int32_t width, height, bits, windowFullScreen;
};

TEST(WindowParameters, FollowTheSettingsWithFallbacks) {
    const WindowCase cases[] = {
        {1, 0, 0, 800, 600, 16, 0}, // the defaults
        {0, 1, 1, 640, 480, 32, 1},   {2, 0, 0, 1024, 768, 16, 0},
        {5, 7, 0, 640, 480, 16, 0},   // out of range: 640 x 480, 16 bits
        {-1, -1, 2, 640, 480, 16, 2}, // fullScreen is a plain byte; only 1 means full screen
    };
    for (const WindowCase& c : cases) {
        settings = defaultSettings();
        settings.screenResolution = c.screenResolution;
        settings.colorDepth = c.colorDepth;
        settings.fullScreen = c.fullScreen;
        GlWindow window{};
        window.width = 640;
        window.height = 480;
        window.bitsPerPixel = 16;
        window.fullScreen = 1;
        takeWindowParameters(window);
        EXPECT_EQ(window.width, c.width) << c.screenResolution;
        EXPECT_EQ(window.height, c.height) << c.screenResolution;
        EXPECT_EQ(window.bitsPerPixel, c.bits) << c.colorDepth;
        EXPECT_EQ(window.fullScreen, c.windowFullScreen);
        EXPECT_EQ(fullScreenWanted, c.fullScreen);
    }
    settings = defaultSettings();
}

} // namespace
