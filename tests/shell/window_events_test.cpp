// The window procedure on a real window: keys by virtual-key code, minimise and restore.
#include <gtest/gtest.h>

#include "dashboard/frame.h"
#include "shell/app.h"

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

TEST(VirtualKeys, CommonKeysMapToTheirWindowsCodes) {
    EXPECT_EQ(virtualKeyOf(SDLK_a), 0x41);
    EXPECT_EQ(virtualKeyOf(SDLK_z), 0x5A);
    EXPECT_EQ(virtualKeyOf(SDLK_0), 0x30);
    EXPECT_EQ(virtualKeyOf(SDLK_F12), 0x7B);
    EXPECT_EQ(virtualKeyOf(SDLK_RETURN), 0x0D);
    EXPECT_EQ(virtualKeyOf(SDLK_KP_0), 0x60);
    EXPECT_EQ(virtualKeyOf(SDLK_KP_9), 0x69);
    EXPECT_EQ(virtualKeyOf(SDLK_AUDIOPLAY), -1);
}

} // namespace
