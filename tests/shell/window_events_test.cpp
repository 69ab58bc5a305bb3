// The window procedure on a real window: keys by virtual-key code, minimise and restore.
#include <gtest/gtest.h>

#include "dashboard/frame.h"
#include "platform/message_box.h"
#include "shell/app.h"
#include "shell/gl_window.h"
#include "shell/virtual_keys.h"

namespace {

class RealWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(registerWindowClass(appInfo), 1);
        window = GlWindow{};
        window.keys = keys;
        window.app = &appInfo;
        window.title = "window events";
        window.width = 640;
        window.height = 480;
        window.bitsPerPixel = 32;
        ASSERT_EQ(createGlWindow(window), 1);
    }
    void TearDown() override {
        killGlWindow(window);
        unregisterWindowClass(appInfo);
    }
    SDL_Event key(Uint32 type, SDL_Keycode code, Uint16 mod = KMOD_NONE) {
        SDL_Event e{};
        e.type = type;
        e.key.type = type;
        e.key.keysym.sym = code;
        e.key.keysym.mod = mod;
        return e;
    }
    SDL_Event windowEvent(Uint8 what, int w = 0, int h = 0) {
        SDL_Event e{};
        e.type = SDL_WINDOWEVENT;
        e.window.event = what;
        e.window.data1 = w;
        e.window.data2 = h;
        return e;
    }
    GlWindow window;
    int32_t keys[256];
};

TEST_F(RealWindow, CreationLeavesACompleteRecordWithZeroedKeysAndTheRequestedSize) {
    EXPECT_NE(window.hwnd, nullptr);
    EXPECT_NE(window.hglrc, nullptr);
    EXPECT_EQ(window.visible, 1);
    for (int k : keys) {
        EXPECT_EQ(k, 0);
    }
    EXPECT_EQ(viewWidth, 640);
    EXPECT_EQ(viewHeight, 480);
}

TEST_F(RealWindow, KeysAreRecordedByVirtualKeyCodeExceptSystemKeys) {
    windowProc(window, key(SDL_KEYDOWN, SDLK_s));
    EXPECT_EQ(keys['S'], 1);
    keysReadByFrame(window);
    windowProc(window, key(SDL_KEYDOWN, SDLK_s)); // auto-repeat sets it again
    EXPECT_EQ(keys['S'], 1);
    keysReadByFrame(window);
    keysReadByFrame(window);
    EXPECT_EQ(keys['S'], 1); // held
    windowProc(window, key(SDL_KEYUP, SDLK_s));
    EXPECT_EQ(keys['S'], 0);
    // A tap that no frame has read yet: down until one has, even though its key-up came first.
    windowProc(window, key(SDL_KEYDOWN, SDLK_s));
    windowProc(window, key(SDL_KEYUP, SDLK_s));
    EXPECT_EQ(keys['S'], 1);
    keysReadByFrame(window);
    EXPECT_EQ(keys['S'], 0);

    windowProc(window, key(SDL_KEYDOWN, SDLK_ESCAPE));
    windowProc(window, key(SDL_KEYDOWN, SDLK_F1));
    windowProc(window, key(SDL_KEYDOWN, SDLK_7));
    EXPECT_EQ(keys[0x1B], 1);
    EXPECT_EQ(keys[0x70], 1);
    EXPECT_EQ(keys['7'], 1);

    windowProc(window, key(SDL_KEYDOWN, SDLK_a, KMOD_LALT)); // held with Alt: a system key
    windowProc(window, key(SDL_KEYDOWN, SDLK_F10));
    EXPECT_EQ(keys['A'], 0);
    EXPECT_EQ(keys[0x79], 0);

    int32_t before[256];
    std::copy(std::begin(keys), std::end(keys), before);
    windowProc(window, key(SDL_KEYDOWN, SDLK_AUDIOPLAY)); // no virtual-key code
    EXPECT_TRUE(std::equal(std::begin(keys), std::end(keys), before));
}

TEST_F(RealWindow, MinimisingStopsDrawingAndRestoringResizes) {
    windowProc(window, windowEvent(SDL_WINDOWEVENT_MINIMIZED));
    EXPECT_EQ(window.visible, 0);
    windowProc(window, windowEvent(SDL_WINDOWEVENT_RESTORED));
    EXPECT_EQ(window.visible, 1);
    windowProc(window, windowEvent(SDL_WINDOWEVENT_SIZE_CHANGED, 500, 0));
    EXPECT_EQ(viewWidth, 500);
    EXPECT_EQ(viewHeight, 1); // a height of 0 is never stored
}

TEST_F(RealWindow, TheToggleFlipsTheWishAndPostsAQuitForThisWindow) {
    fullScreenWanted = 1;
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    SDL_Event toggle{};
    toggle.type = toggleEventType;
    windowProc(window, toggle);
    EXPECT_EQ(fullScreenWanted, 0);
    SDL_Event posted{};
    bool sawQuit = false;
    while (SDL_PollEvent(&posted) != 0) {
        sawQuit = sawQuit || (posted.type == quitEventType &&
                              posted.user.windowID == SDL_GetWindowID(window.hwnd));
    }
    EXPECT_TRUE(sawQuit);
}

int fullScreenBoxes = 0;
void countBox(const char*) {
    ++fullScreenBoxes;
}

// A mode the display has (here its own): the window comes up full screen, with no message.
TEST(FullScreen, AModeTheDisplayHasGivesAFullScreenWindowWithoutAMessage) {
    ASSERT_EQ(registerWindowClass(appInfo), 1);
    SDL_DisplayMode desktop;
    ASSERT_EQ(SDL_GetDesktopDisplayMode(0, &desktop), 0);
    int32_t keys[256];
    GlWindow window{};
    window.keys = keys;
    window.app = &appInfo;
    window.title = "full screen";
    window.width = desktop.w;
    window.height = desktop.h;
    window.bitsPerPixel = 32;
    window.fullScreen = 1;
    fullScreenBoxes = 0;
    setErrorBoxHook(countBox);
    ASSERT_EQ(createGlWindow(window), 1);
    setErrorBoxHook(nullptr);
    EXPECT_EQ(fullScreenBoxes, 0);
    EXPECT_EQ(window.fullScreen, 1);
    EXPECT_NE(SDL_GetWindowFlags(window.hwnd) & SDL_WINDOW_FULLSCREEN, 0u);
    killGlWindow(window);
    unregisterWindowClass(appInfo);
}

TEST(VirtualKeys, CommonKeysMapToTheirWindowsCodesAndLettersOfOtherScriptsByTheirPlace) {
    const struct {
        SDL_Keycode key;
        SDL_Scancode place;
        int code;
    } cases[] = {
        {SDLK_a, SDL_SCANCODE_A, 0x41},
        {SDLK_z, SDL_SCANCODE_Z, 0x5A},
        {SDLK_a, SDL_SCANCODE_Q, 0x41}, // French: the layout's Latin letter wins
        {SDLK_m, SDL_SCANCODE_SEMICOLON, 0x4D},
        {SDLK_COMMA, SDL_SCANCODE_M, 0xBC},
        {0x44B, SDL_SCANCODE_S, 0x53},          // Cyrillic "ы": the key of S on a US keyboard
        {0x444, SDL_SCANCODE_A, 0x41},          // Cyrillic "ф"
        {0x3B6, SDL_SCANCODE_Z, 0x5A},          // Greek "ζ"
        {0x436, SDL_SCANCODE_SEMICOLON, -1},    // Cyrillic "ж" is no letter key there
        {SDLK_AMPERSAND, SDL_SCANCODE_1, 0x31}, // French 1 key
        {0xE9, SDL_SCANCODE_2, 0x32},           // French "é" on the 2 key
        {0xE7, SDL_SCANCODE_9, 0x39},           // French "ç" on the 9 key
        {0xE0, SDL_SCANCODE_0, 0x30},           // French "à" on the 0 key
        {SDLK_0, SDL_SCANCODE_0, 0x30},
        {SDLK_7, SDL_SCANCODE_7, 0x37},
        {SDLK_F1, SDL_SCANCODE_F1, 0x70},
        {SDLK_F12, SDL_SCANCODE_F12, 0x7B},
        {SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, 0x1B},
        {SDLK_RETURN, SDL_SCANCODE_RETURN, 0x0D},
        {SDLK_KP_0, SDL_SCANCODE_KP_0, 0x60},
        {SDLK_KP_9, SDL_SCANCODE_KP_9, 0x69},
        {SDLK_AUDIOPLAY, SDL_SCANCODE_AUDIOPLAY, -1},
    };
    for (const auto& c : cases) {
        SDL_Keysym key{};
        key.sym = c.key;
        key.scancode = c.place;
        EXPECT_EQ(virtualKeyOf(key), c.code) << std::hex << c.key << " at " << std::dec << c.place;
    }
}

} // namespace
