// The toolkit of the program's windows other than the dashboard: the setup dialog and the error
// box. GTK on Linux, the system's own controls on Windows.
#pragma once

// Readies the toolkit for the setup dialog and gives showErrorBox its box where the system has
// none of its own. Called once, first thing in runApp; GTK itself comes up only when first needed.
void prepareDesktop();

// Runs the setup dialog modally for `settings` and returns when "Start" or "Quit" ends it.
// Without a display the dialog cannot run: a line on standard error says so and the loaded
// settings stay.
void runSetupDialog();
