// Windows virtual-key codes for SDL keys: the key state array and the dashboard's keys are
// indexed by them.
#include "shell/virtual_keys.h"

namespace {
int virtualKeyOfKeycode(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) {
        return 0x41 + (key - SDLK_a);
    }
    if (key >= SDLK_0 && key <= SDLK_9) {
        return 0x30 + (key - SDLK_0);
    }
    if (key >= SDLK_F1 && key <= SDLK_F12) {
        return 0x70 + (key - SDLK_F1);
    }
    if (key >= SDLK_KP_1 && key <= SDLK_KP_9) {
        return 0x61 + (key - SDLK_KP_1);
    }
    struct Pair {
        SDL_Keycode key;
        int code;
    };
    static const Pair pairs[] = {
        {SDLK_BACKSPACE, 0x08},   {SDLK_TAB, 0x09},          {SDLK_RETURN, 0x0D},
        {SDLK_KP_ENTER, 0x0D},    {SDLK_LSHIFT, 0x10},       {SDLK_RSHIFT, 0x10},
        {SDLK_LCTRL, 0x11},       {SDLK_RCTRL, 0x11},        {SDLK_PAUSE, 0x13},
        {SDLK_CAPSLOCK, 0x14},    {SDLK_ESCAPE, 0x1B},       {SDLK_SPACE, 0x20},
        {SDLK_PAGEUP, 0x21},      {SDLK_PAGEDOWN, 0x22},     {SDLK_END, 0x23},
        {SDLK_HOME, 0x24},        {SDLK_LEFT, 0x25},         {SDLK_UP, 0x26},
        {SDLK_RIGHT, 0x27},       {SDLK_DOWN, 0x28},         {SDLK_PRINTSCREEN, 0x2C},
        {SDLK_INSERT, 0x2D},      {SDLK_DELETE, 0x2E},       {SDLK_KP_0, 0x60},
        {SDLK_KP_MULTIPLY, 0x6A}, {SDLK_KP_PLUS, 0x6B},      {SDLK_KP_MINUS, 0x6D},
        {SDLK_KP_PERIOD, 0x6E},   {SDLK_KP_DIVIDE, 0x6F},    {SDLK_NUMLOCKCLEAR, 0x90},
        {SDLK_SCROLLLOCK, 0x91},  {SDLK_SEMICOLON, 0xBA},    {SDLK_EQUALS, 0xBB},
        {SDLK_COMMA, 0xBC},       {SDLK_MINUS, 0xBD},        {SDLK_PERIOD, 0xBE},
        {SDLK_SLASH, 0xBF},       {SDLK_BACKQUOTE, 0xC0},    {SDLK_LEFTBRACKET, 0xDB},
        {SDLK_BACKSLASH, 0xDC},   {SDLK_RIGHTBRACKET, 0xDD}, {SDLK_QUOTE, 0xDE},
    };
    for (const Pair& p : pairs) {
        if (p.key == key) {
            return p.code;
        }
    }
    return -1;
}
} // namespace

int virtualKeyOf(const SDL_Keysym& key) {
    const int code = virtualKeyOfKeycode(key.sym);
    if (code >= 0) {
        return code;
    }
    // A letter or digit key whose layout gives no code of its own (a Cyrillic or Greek letter,
    // the "&" of a French keyboard's 1 key) is known by its place on a US keyboard, as Windows
    // knows it: S starts the link whatever the layout.
    if (key.scancode >= SDL_SCANCODE_A && key.scancode <= SDL_SCANCODE_Z) {
        return 0x41 + (key.scancode - SDL_SCANCODE_A);
    }
    if (key.scancode >= SDL_SCANCODE_1 && key.scancode <= SDL_SCANCODE_9) {
        return 0x31 + (key.scancode - SDL_SCANCODE_1);
    }
    if (key.scancode == SDL_SCANCODE_0) {
        return 0x30;
    }
    return -1;
}
