// The entry: program-wide state, the command-line words, the outer loop that re-creates the
// window on a full-screen toggle, and the message-then-frame loop, all on one thread.
#include "shell/app.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "dashboard/frame.h"
#include "link/controller_protocol.h"
#include "link/polling.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "shell/back_buffer.h"
#include "shell/desktop.h"
#include "shell/frame_pacing.h"
#include "shell/gl_window.h"
#include "shell/settings.h"

AppInfo appInfo;
GlWindow glWindow;

namespace {
int postToWindow(GlWindow& window, uint32_t type) {
    SDL_Event event{};
    event.type = type;
    event.user.windowID = window.hwnd != nullptr ? SDL_GetWindowID(window.hwnd) : 0;
    return SDL_PushEvent(&event) == 1 ? 1 : 0;
}

bool isQuitFor(const GlWindow& window, const SDL_Event& event) {
    return event.type == quitEventType && event.user.windowID == SDL_GetWindowID(window.hwnd);
}

// Events that may leave the window showing something other than the last frame (exposed,
// resized, restored) or that may change what it shows (keys).
bool asksForRedraw(const SDL_Event& event) {
    return event.type == SDL_WINDOWEVENT || event.type == SDL_KEYDOWN || event.type == SDL_KEYUP;
}

// While a wait for the next frame also watches the controller, events are looked at this often.
constexpr int eventLookMs = 2;

// The next event, waiting for one while the next frame is not yet due. While the link runs, the
// wait also ends (false) when a controller line has arrived: the frame that shows it starts at
// once instead of up to a refresh later, in place of the frame that was due, so that frames
// still keep to one per refresh.
bool nextEvent(const FramePacing& pacing, SDL_Event& event) {
    for (;;) {
        const int waitMs = msUntilDue(pacing, pacingClockUs());
        if (waitMs <= 0 || !linkRunning) {
            return (waitMs > 0 ? SDL_WaitEventTimeout(&event, waitMs) : SDL_PollEvent(&event)) != 0;
        }
        if (SDL_PollEvent(&event) != 0) {
            return true;
        }
        if (awaitLine(std::min(waitMs, eventLookMs))) {
            return false;
        }
    }
}

// Events are dispatched before any turn runs; a turn runs only when none is pending. Every turn
// acts on the keys and polls the link; an idle turn draws (and swaps) only when the frame
// would differ from the one on screen, or the window asked for it, so an idle dashboard costs
// next to nothing while still answering every key and window event at once. While the link
// streams, a turn waits (answering events) until the display's next refresh when the swap does
// not wait for it, or until a controller line arrives, whichever comes first; the wait comes
// before the link is read, so what a frame shows is as fresh as with vertical sync, and a line
// reaches the screen as soon as the frame that shows it can be drawn.
void runMessageLoop(GlWindow& window) {
    bool redraw = true;
    bool wasBusy = false;
    FramePacing pacing;
    BackBufferCheck backBuffer;
    pacing.periodUs = refreshPeriodUs(windowRefreshRate(window.hwnd));
    for (;;) {
        SDL_Event event;
        if (nextEvent(pacing, event)) {
            if (isQuitFor(window, event)) {
                return;
            }
            if (event.type != quitEventType) { // a stale quit of an earlier window is dropped
                redraw = redraw || asksForRedraw(event);
                windowProc(window, event);
            }
            if (event.type == SDL_WINDOWEVENT) { // moved to another display, perhaps
                pacing.periodUs = refreshPeriodUs(windowRefreshRate(window.hwnd));
            }
            continue;
        }
        const double startUs = pacingClockUs();
        const uint32_t now = tickCount();
        const bool busy = updateLink(now - window.lastTick);
        keysReadByFrame(window);
        window.lastTick = now;
        double swapEndUs = -1.0;
        if (window.visible != 0 && (busy || wasBusy || redraw || dashboardChangedSinceDrawn())) {
            // A frame over the last redraws only the cells that changed; what the window asked
            // for (exposed, resized) gets a whole frame.
            if (backHoldsLastFrame(backBuffer) && !redraw) {
                drawDashboardChanges();
            } else {
                drawDashboard();
            }
            keepCheckRow(backBuffer, viewWidth, viewHeight);
            SDL_GL_SwapWindow(window.hdc);
            swapEndUs = pacingClockUs();
            redraw = false;
        }
        noteFrame(pacing, startUs, swapEndUs, busy);
        wasBusy = busy;
        if (!busy) {
            sleepMs(10);
        }
    }
}

} // namespace

void takeWindowParameters(GlWindow& window) {
    window.fullScreen = settings.fullScreen;
    if (settings.colorDepth == 0) {
        window.bitsPerPixel = 16;
    } else if (settings.colorDepth == 1) {
        window.bitsPerPixel = 32;
    }
    switch (settings.screenResolution) {
    case 1:
        window.width = 800;
        window.height = 600;
        break;
    case 2:
        window.width = 1024;
        window.height = 768;
        break;
    default:
        window.width = 640;
        window.height = 480;
        break;
    }
    fullScreenWanted = settings.fullScreen;
}

int requestQuit(GlWindow& window) {
    const int posted = postToWindow(window, quitEventType);
    running = 0;
    return posted;
}

int requestFullScreenToggle(GlWindow& window) {
    return postToWindow(window, toggleEventType);
}

std::string commandLineText(int argc, char** argv) {
    std::string text;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) {
            text += ' ';
        }
        text += argv[i];
    }
    return text;
}

CommandWords findCommandWords(const std::string& text) {
    CommandWords words;
    words.debug = text.find("debug") != std::string::npos;
    words.mwmode = text.find("mwmode") != std::string::npos;
    words.nosetup = text.find("nosetup") != std::string::npos;
    words.reconnect = text.find("reconnect") != std::string::npos;
    return words;
}

int runApp(int argc, char** argv) {
    prepareDesktop();
    glWindow = GlWindow{};
    std::memset(keyDown, 0, sizeof keyDown);
    appInfo = AppInfo{nullptr, "OpenGL"};
    glWindow.keys = keyDown;
    glWindow.app = &appInfo;
    glWindow.title = "KestroView 0.4";
    glWindow.width = 640;
    glWindow.height = 480;
    glWindow.bitsPerPixel = 16;
    glWindow.fullScreen = 1;
    running = 1;

    loadSettings();

    const std::string text = commandLineText(argc, argv);
    bool setup = true;
    if (!text.empty()) {
        const CommandWords words = findCommandWords(text);
        debugMode = words.debug ? 1 : 0;
        mwMode = words.mwmode ? 1 : 0;
        reconnectMode = words.reconnect ? 1 : 0;
        setup = !words.nosetup;
    }
    if (setup) {
        runSetupDialog();
    }

    if (registerWindowClass(appInfo) == 0) {
        showErrorBox("Error Registering Window Class!");
        return -1;
    }

    takeWindowParameters(glWindow);

    while (running != 0) {
        glWindow.fullScreen = fullScreenWanted;
        if (createGlWindow(glWindow) != 1) {
            showErrorBox("Error Creating OpenGL Window");
            running = 0;
            break;
        }
        bool ready = false;
        try {
            ready = initDashboard(glWindow, keyDown);
        } catch (const std::runtime_error& error) {
            // A font that cannot be built: say so, then shut down in order.
            showErrorBox(error.what());
        }
        if (ready) {
            runMessageLoop(glWindow);
        } else {
            requestQuit(glWindow);
        }
        releaseDashboard();
        killGlWindow(glWindow);
    }

    unregisterWindowClass(appInfo);
    return 0;
}
