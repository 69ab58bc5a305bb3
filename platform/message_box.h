// The modal error message box, captioned "Error".
#pragma once

// Shows text in a modal warning box titled "Error" with one OK button, kept above other
// windows, and returns when it is dismissed. The same text always goes to standard error as one
// line "KestroView: Error: TEXT" (newlines shown as spaces), so a person at a terminal, and a
// test, sees it even where no box can be shown (no display).
void showErrorBox(const char* text);

// Lets an in-process test take the box's place: while a hook is set, the text goes to it instead
// of a box (the standard-error line is still written). nullptr restores the box.
using ErrorBoxHook = void (*)(const char* text);
void setErrorBoxHook(ErrorBoxHook hook);

// The system's box for showErrorBox: MessageBoxA on Windows; elsewhere the one the program's
// desktop toolkit gave (platform/posix/desktop_error_box.h), or none.
void presentErrorBox(const char* text);
