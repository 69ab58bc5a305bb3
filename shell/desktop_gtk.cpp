#include "shell/desktop.h"

#include <gtk/gtk.h>

#include "platform/posix/desktop_error_box.h"
#include "shell/setup_dialog.h"

namespace {
void showGtkErrorBox(const char* text) {
    if (!desktopAvailable()) {
        return;
    }
    GtkWidget* box = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_WARNING,
                                            GTK_BUTTONS_OK, "%s", text);
    gtk_window_set_title(GTK_WINDOW(box), "Error");
    gtk_window_set_keep_above(GTK_WINDOW(box), TRUE);
    gtk_window_set_position(GTK_WINDOW(box), GTK_WIN_POS_CENTER);
    gtk_dialog_run(GTK_DIALOG(box));
    gtk_widget_destroy(box);
    // Let GTK unmap the dialog before the caller goes on (and maybe blocks in a serial drain).
    while (gtk_events_pending()) {
        gtk_main_iteration();
    }
}
} // namespace

bool desktopAvailable() {
    static const bool available = [] {
        // GTK would switch the whole program to the desktop's locale the moment it starts: the
        // dashboard's numbers and the logs would take a decimal comma, and the window's title
        // would be written in an encoding X tools do not read. The program keeps the C locale it
        // starts with, wherever GTK first comes up (setup dialog, error box, no display): its
        // texts are fixed English ones, so GTK's own few words (the OK button) stay English too.
        gtk_disable_setlocale();
        return gtk_init_check(nullptr, nullptr) != FALSE;
    }();
    return available;
}

void prepareDesktop() {
    setDesktopErrorBox(showGtkErrorBox);
}
