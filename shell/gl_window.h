// The one OpenGL window: class registration (SDL video), creation with a compatibility context,
// the full-screen display mode and its restoration, the event handler and the icons.
#pragma once
#include <SDL.h>
#include <cstdint>

struct AppInfo {
    void* instance;        // unused on this platform; kept so the record reads as everywhere
    const char* className; // "OpenGL"
};

struct GlWindow {
    int32_t* keys;       // keyDown, by Windows virtual-key code
    SDL_Window* hwnd;    // the window; null when there is none
    SDL_Window* hdc;     // the drawable that is swapped: SDL presents through the window itself
    SDL_GLContext hglrc; // the OpenGL context; null when there is none
    AppInfo* app;
    const char* title; // "KestroView 0.4"
    int32_t width;     // requested client size
    int32_t height;
    int32_t bitsPerPixel; // 16 or 32
    int32_t fullScreen;   // full screen only when exactly 1; 0 after a refused mode switch
    int32_t visible;      // 0 while minimised
    uint32_t lastTick;    // tick of the previous frame; first set on creation
};

// SDL user event types standing for the quit and full-screen toggle messages of the window.
// Valid after registerWindowClass.
extern uint32_t quitEventType;
extern uint32_t toggleEventType;

// Initialises SDL video and registers the two user events. Returns 1, or 0 after showing
// "RegisterClassEx Failed!".
int registerWindowClass(AppInfo& app);

// Shuts SDL video down again.
void unregisterWindowClass(AppInfo& app);

// Switches the display to exactly width x height at bitsPerPixel; 1 on success, 0 when the
// display has no such mode.
int changeScreenResolution(int32_t width, int32_t height, int32_t bitsPerPixel);

// Creates the window (full screen when window.fullScreen is exactly 1, falling back to a window
// with "Mode Switch Failed.\nRunning In Windowed Mode."), its context, made current, shows it,
// sets icons, calls resizeDashboard(width, height), zeroes the keys and sets lastTick.
// Returns 1, or 0 with nothing left behind (display mode restored too).
int createGlWindow(GlWindow& window);

// Releases context and window and restores the display mode and cursor after full screen.
int killGlWindow(GlWindow& window);

// Handles one event of the window: keys into window.keys, size/minimise/restore, close (through
// requestQuit), the quit and toggle user events. Returns 0 when handled.
int windowProc(GlWindow& window, const SDL_Event& event);

// Says that a frame has read the keys: a key whose key-up arrived before any frame read its
// key-down is up from now on. Until then such a key reads as down, so that a press and release
// that both arrive between two frames still act once.
void keysReadByFrame(GlWindow& window);

// Gives the window the program's icon: on Windows resource 110 at 16 x 16 and 32 x 32, elsewhere
// the 32 x 32 image (SDL picks the small one from it).
void setWindowIcons(SDL_Window* window);
