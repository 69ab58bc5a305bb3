#include "shell/icons_win32.h"

#include <SDL.h>
#include <SDL_syswm.h>

#include "shell/gl_window.h"

void setDialogIcons(HWND window) {
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    HANDLE small = LoadImageA(instance, MAKEINTRESOURCEA(110), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR);
    HANDLE big = LoadImageA(instance, MAKEINTRESOURCEA(110), IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR);
    SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
    SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
}

void setWindowIcons(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(window, &info) == SDL_TRUE) {
        setDialogIcons(info.info.win.window);
    }
}
