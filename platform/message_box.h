// The modal error message box, captioned "Error".
#pragma once

// Shows text in a modal warning dialog titled "Error" with one OK button, kept above other
// windows, and returns when it is dismissed. The same text always goes to standard error as one
// line "KestroView: Error: TEXT" (newlines shown as spaces), so a person at a terminal, and a
// test, sees it even where no dialog can be shown (no display).
void showErrorBox(const char* text);

// Lets an in-process test take the dialog's place: while a hook is set, the text goes to it
// instead of a dialog (the standard-error line is still written). nullptr restores the dialog.
using ErrorBoxHook = void (*)(const char* text);
void setErrorBoxHook(ErrorBoxHook hook);

// True when GTK could connect to a display; initialises GTK on first use, the one place it is,
// keeping the program in the C locale.
bool desktopAvailable();
