// Program entry, program-wide state and the main loop.
#pragma once
#include <cstdint>
#include <string>

#include "shell/program_flags.h"

// The window's records (shell/gl_window.h), named here without the window's library, so that the
// link's keys can ask the window to quit or toggle without building against it.
struct AppInfo;
struct GlWindow;

// Program-wide state, one instance each, owned here.
extern AppInfo appInfo;
extern GlWindow glWindow;

// Posts the quit event for the window and clears `running`. Returns the post's result (1 = ok).
int requestQuit(GlWindow& window);

// Posts the full-screen toggle event for the window. Returns the post's result.
int requestFullScreenToggle(GlWindow& window);

// The command-line text: the arguments after the program name joined by single spaces; empty
// when there are none.
std::string commandLineText(int argc, char** argv);

struct CommandWords {
    bool debug = false;
    bool mwmode = false;
    bool nosetup = false;
    bool reconnect = false;
};

// Case-sensitive substring search for the four words anywhere in the text.
CommandWords findCommandWords(const std::string& text);

// Size, depth and full-screen state of the window from `settings`; also sets fullScreenWanted.
// Values outside their range leave 16 bits and 640 x 480.
void takeWindowParameters(GlWindow& window);

// The whole program: returns the exit code (-1 when the window class cannot be registered).
int runApp(int argc, char** argv);
