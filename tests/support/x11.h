// The test display seen from outside, as a person at the screen would use it: find a window by
// its title, read its geometry, press keys into it, ask it to close as a close box does.
#pragma once
#include <chrono>
#include <string>
#include <vector>

struct ScreenRect {
    int x = 0; // top-left of the client area, in root (screen) coordinates
    int y = 0;
    int width = 0;
    int height = 0;
};

// Mapped top-level windows whose title is exactly title.
std::vector<unsigned long> findWindows(const std::string& title);

// Waits until a mapped window with that title exists; 0 when none appeared in time.
unsigned long waitForWindow(const std::string& title, std::chrono::milliseconds timeout);

// Waits until no mapped window with that title is left.
bool waitForNoWindow(const std::string& title, std::chrono::milliseconds timeout);

ScreenRect windowGeometry(unsigned long window);

// The window with whatever frame a window manager gave it, in root coordinates: its outer size.
ScreenRect outerGeometry(unsigned long window);

// Focuses the window and types the keys (xdotool key names, e.g. "Escape", "F1", "s"), each
// released the instant it is pressed.
void pressKeys(unsigned long window, const std::string& keys);

// The window's pixels as the screen shows them, three bytes each, row by row; "" when it is gone.
std::string windowPixels(unsigned long window);

// The window's pixels once two looks a second apart show the same drawn picture (its frame is up).
std::string settledPixels(unsigned long window, std::chrono::milliseconds timeout);

// Sends WM_DELETE_WINDOW, which is what a window manager does when the close box is clicked.
void askToClose(unsigned long window);

// Dismisses the "Error" message box (Return on its OK button); false when none showed up.
bool dismissErrorBox(std::chrono::milliseconds timeout);
