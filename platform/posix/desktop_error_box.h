// A desktop here has no message box that any program may show: each toolkit brings its own. The
// program gives the box of the toolkit it uses; the link, which uses none, only calls
// showErrorBox.
#pragma once
#include "platform/message_box.h"

// The box showErrorBox shows after its standard-error line; nullptr: none.
void setDesktopErrorBox(ErrorBoxHook box);
