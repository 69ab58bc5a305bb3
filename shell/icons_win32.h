// The program's icon from its resources (icon 110), for the setup dialog and the window.
#pragma once
#include <windows.h>

// Gives window the icon at 16 x 16 (small) and 32 x 32 (big).
void setDialogIcons(HWND window);
