// The modal setup dialog: GTK widgets built from the compiled-in templates, mirroring the
// SetupControls record that holds every rule. "Start" reads the controls back into `settings`
// and saves them; "Quit" clears `running`.
#pragma once
#include <gtk/gtk.h>

#include "shell/desktop.h"
#include "shell/setup_controls.h"

// True when GTK could connect to a display; initialises GTK on first use, the one place it is,
// keeping the program in the C locale.
bool desktopAvailable();

// The open dialog's widgets and their record; one program-wide instance, alive while the dialog
// is open.
struct SetupDialog {
    GtkBuilder* builder;
    GtkWidget* window;        // "dialog103"
    GtkNotebook* tabs;        // control 1036
    GtkWidget* setupPages[4]; // Parameters, Fixed Ratio, Gauge Layout, Screen Settings
    GtkCssProvider* style;
    GMainLoop* loop; // the modal loop, while runSetupDialog waits
    bool mirroring;  // set while the record is written to the widgets
    SetupControls controls;
};
extern SetupDialog setupDialog;

// Builds the dialog for source, fills every control and shows it (centred, undecorated, modal,
// titled and with the program's icons). Needs GTK initialised. Returns false, with nothing left
// behind, when the templates cannot be built.
bool openSetupDialog(const Settings& source);

// The widget of a control by its id ("control<id>" in the templates), or nullptr.
GtkWidget* setupControl(int id);

// Writes the record to the widgets, and reads the widgets into the record.
void showSetupControls();
void takeSetupControls();

// "Start": reads every control back into `settings`, saves the file, closes the dialog.
void pressStart();

// "Quit": clears `running` and closes the dialog; nothing is read back or written.
void pressQuit();

// Destroys the pages with the dialog window and lets the display take them down.
void destroySetupPages();
