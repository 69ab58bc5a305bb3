#include "shell/desktop.h"

#include <windows.h>

#include <commctrl.h>

void prepareDesktop() {
    // The tab control's window class must exist before the setup dialog's template makes it.
    INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_TAB_CLASSES};
    InitCommonControlsEx(&classes);
}
