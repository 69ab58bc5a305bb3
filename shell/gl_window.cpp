// The window on SDL 2: registration is SDL's video subsystem, the window procedure a function
// of one event, the quit and toggle messages SDL user events.
#include "shell/gl_window.h"

#include <cstring>

#include "dashboard/frame.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "shell/app.h"
#include "shell/virtual_keys.h"

uint32_t quitEventType = 0;
uint32_t toggleEventType = 0;

namespace {
// Key-downs no frame has read yet, and which of them have had their key-up already. A tap whose
// press and release both arrive between two frames (on-screen keyboards, remote desktops, quick
// fingers) must still act: its key stays down until the next frame has read it.
bool unreadPress[256];
bool releasedUnread[256];

// Without a display SDL falls back on drivers that draw into memory; a dashboard nobody can
// see is a failure to start, not a success.
bool isRealDisplay(const char* driver) {
    return driver != nullptr && SDL_strcmp(driver, "offscreen") != 0 &&
           SDL_strcmp(driver, "dummy") != 0;
}
} // namespace

int registerWindowClass(AppInfo& /*app*/) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        showErrorBox("RegisterClassEx Failed!");
        return 0;
    }
    if (!isRealDisplay(SDL_GetCurrentVideoDriver())) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        showErrorBox("RegisterClassEx Failed!");
        return 0;
    }
    if (quitEventType == 0) {
        const Uint32 first = SDL_RegisterEvents(2);
        if (first == static_cast<Uint32>(-1)) {
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
            showErrorBox("RegisterClassEx Failed!");
            return 0;
        }
        quitEventType = first;
        toggleEventType = first + 1;
    }
    return 1;
}

void unregisterWindowClass(AppInfo& /*app*/) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

int changeScreenResolution(int32_t width, int32_t height, int32_t /*bitsPerPixel*/) {
    // SDL switches the mode when a full-screen window appears; here we only make sure the
    // display has a mode of exactly this size, as a mode switch would insist on.
    const int modes = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < modes; ++i) {
        SDL_DisplayMode mode;
        if (SDL_GetDisplayMode(0, i, &mode) == 0 && mode.w == width && mode.h == height) {
            return 1;
        }
    }
    return 0;
}

namespace {
void setPixelFormat(int32_t bitsPerPixel) {
    // Software OpenGL (llvmpipe) hands each frame's pixels to threads of its own. A streaming
    // frame draws a few small parts of the window again, where handing the work over costs
    // more than it saves (a third of the program's processor time), so the driver rasterises on
    // the drawing thread. Drivers that do not know the variable ignore it; the user's value holds.
    SDL_setenv("LP_NUM_THREADS", "0", 0);
    const bool deep = bitsPerPixel > 16;
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, deep ? 8 : 5);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, deep ? 8 : 6);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, deep ? 8 : 5);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
}

int dropSizeEvents(void*, SDL_Event* event) {
    return event->type == SDL_WINDOWEVENT && (event->window.event == SDL_WINDOWEVENT_RESIZED ||
                                              event->window.event == SDL_WINDOWEVENT_SIZE_CHANGED)
               ? 0
               : 1;
}

// A refused mode switch keeps the outer size: the frame comes out of the client area. The frame
// reaches SDL as an event a moment after the window is shown, so it is waited for, at most this
// long: without a window manager none ever comes. The size notifications of the fitting are
// dropped, so that the dashboard then takes the requested size, as after every creation, even
// though the client area is smaller.
constexpr uint32_t frameWaitMs = 500;

void fitOuterSize(SDL_Window* window, int32_t width, int32_t height) {
    const uint32_t start = tickCount();
    int top = 0, left = 0, bottom = 0, right = 0;
    for (;;) {
        SDL_PumpEvents();
        if (SDL_GetWindowBordersSize(window, &top, &left, &bottom, &right) == 0 &&
            (top | left | bottom | right) != 0) {
            break;
        }
        if (tickCount() - start >= frameWaitMs) {
            return;
        }
        sleepMs(10);
    }
    SDL_SetWindowSize(window, width - left - right, height - top - bottom);
    SDL_FilterEvents(dropSizeEvents, nullptr);
}

// SDL switches the display when a full-screen window appears, and goes on as if it had when the
// switch fails: the display then still shows another mode.
bool displayInMode(SDL_Window* window, int32_t width, int32_t height) {
    SDL_DisplayMode current;
    return SDL_GetCurrentDisplayMode(SDL_GetWindowDisplayIndex(window), &current) != 0 ||
           (current.w == width && current.h == height);
}

void abandonWindow(GlWindow& window, bool modeSwitched) {
    if (window.hglrc != nullptr) {
        SDL_GL_DeleteContext(window.hglrc);
        window.hglrc = nullptr;
    }
    window.hdc = nullptr;
    if (window.hwnd != nullptr) {
        SDL_DestroyWindow(window.hwnd);
        window.hwnd = nullptr;
    }
    if (modeSwitched) {
        SDL_ShowCursor(SDL_ENABLE);
    }
}
} // namespace

int createGlWindow(GlWindow& window) {
    setPixelFormat(window.bitsPerPixel);

    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    bool modeSwitched = false;
    bool refused = false;
    if (window.fullScreen == 1) {
        if (changeScreenResolution(window.width, window.height, window.bitsPerPixel) == 1) {
            modeSwitched = true;
            SDL_ShowCursor(SDL_DISABLE);
            flags |= SDL_WINDOW_FULLSCREEN;
        } else {
            showErrorBox("Mode Switch Failed.\nRunning In Windowed Mode.");
            window.fullScreen = 0;
            refused = true;
        }
    }
    if (!modeSwitched) {
        flags |= SDL_WINDOW_RESIZABLE;
    }

    window.hwnd = SDL_CreateWindow(window.title, 0, 0, window.width, window.height, flags);
    if (window.hwnd == nullptr) {
        abandonWindow(window, modeSwitched);
        return 0;
    }
    if (modeSwitched) {
        SDL_DisplayMode mode{};
        mode.w = window.width;
        mode.h = window.height;
        SDL_SetWindowDisplayMode(window.hwnd, &mode);
    }
    window.hdc = window.hwnd;

    window.hglrc = SDL_GL_CreateContext(window.hwnd);
    if (window.hglrc == nullptr) {
        abandonWindow(window, modeSwitched);
        return 0;
    }
    if (SDL_GL_MakeCurrent(window.hwnd, window.hglrc) != 0) {
        abandonWindow(window, modeSwitched);
        return 0;
    }
    SDL_GL_SetSwapInterval(1); // refused on some drivers (Xvfb); frames then do not wait

    SDL_ShowWindow(window.hwnd);
    if (modeSwitched && !displayInMode(window.hwnd, window.width, window.height)) {
        SDL_SetWindowFullscreen(window.hwnd, 0);
        SDL_SetWindowResizable(window.hwnd, SDL_TRUE);
        SDL_ShowCursor(SDL_ENABLE);
        showErrorBox("Mode Switch Failed.\nRunning In Windowed Mode.");
        window.fullScreen = 0;
        refused = true;
    }
    if (refused) {
        fitOuterSize(window.hwnd, window.width, window.height);
    }
    window.visible = 1;
    setWindowIcons(window.hwnd);
    SDL_DisableScreenSaver();
    resizeDashboard(window.width, window.height);
    std::memset(window.keys, 0, 256 * sizeof(int32_t));
    window.lastTick = tickCount();
    return 1;
}

int killGlWindow(GlWindow& window) {
    if (window.hwnd != nullptr) {
        if (window.hdc != nullptr) {
            SDL_GL_MakeCurrent(window.hwnd, nullptr);
            if (window.hglrc != nullptr) {
                SDL_GL_DeleteContext(window.hglrc);
                window.hglrc = nullptr;
            }
            window.hdc = nullptr;
        }
        // Destroying a full-screen window gives the display its own mode back.
        SDL_DestroyWindow(window.hwnd);
        window.hwnd = nullptr;
    }
    if (window.fullScreen != 0) {
        SDL_ShowCursor(SDL_ENABLE);
    }
    SDL_EnableScreenSaver();
    return 1;
}

namespace {
void recordKey(GlWindow& window, const SDL_KeyboardEvent& key) {
    // Keys held with Alt, and F10, arrive as system keys and are not recorded.
    if ((key.keysym.mod & KMOD_ALT) != 0 || key.keysym.sym == SDLK_F10) {
        return;
    }
    const int code = virtualKeyOf(key.keysym);
    if (code < 0 || code > 255) {
        return;
    }
    if (key.type == SDL_KEYDOWN) {
        window.keys[code] = 1;
        unreadPress[code] = true;
        releasedUnread[code] = false;
    } else if (unreadPress[code]) {
        releasedUnread[code] = true;
    } else {
        window.keys[code] = 0;
    }
}

void followSize(GlWindow& window) {
    int width = 0, height = 0;
    SDL_GetWindowSize(window.hwnd, &width, &height);
    window.visible = 1;
    resizeDashboard(width, height);
}
} // namespace

void keysReadByFrame(GlWindow& window) {
    for (int code = 0; code < 256; ++code) {
        if (releasedUnread[code]) {
            window.keys[code] = 0;
        }
        unreadPress[code] = false;
        releasedUnread[code] = false;
    }
}

int windowProc(GlWindow& window, const SDL_Event& event) {
    if (event.type == SDL_KEYDOWN || event.type == SDL_KEYUP) {
        recordKey(window, event.key);
        return 0;
    }
    if (event.type == SDL_WINDOWEVENT) {
        switch (event.window.event) {
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            window.visible = 1;
            resizeDashboard(event.window.data1, event.window.data2);
            return 0;
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_MAXIMIZED:
            followSize(window);
            return 0;
        case SDL_WINDOWEVENT_MINIMIZED:
            window.visible = 0;
            return 0;
        case SDL_WINDOWEVENT_CLOSE:
            requestQuit(window);
            return 0;
        default:
            return 1;
        }
    }
    if (event.type == SDL_QUIT) {
        // Ctrl-C in the terminal, or the session ending: quit as the close box does.
        requestQuit(window);
        return 0;
    }
    if (event.type == toggleEventType && toggleEventType != 0) {
        fullScreenWanted = fullScreenWanted == 1 ? 0 : 1;
        SDL_Event quit{};
        quit.type = quitEventType;
        quit.user.windowID = window.hwnd != nullptr ? SDL_GetWindowID(window.hwnd) : 0;
        SDL_PushEvent(&quit);
        return 1;
    }
    return 1;
}
