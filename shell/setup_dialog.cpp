// The setup dialog's widgets. Everything a control shows comes from the SetupControls record;
// a click first reads the widgets into the record, applies the rule there, and writes the record
// back, so the widgets never hold a rule of their own.
#include "shell/setup_dialog.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "dashboard/gauges.h"
#include "platform/message_box.h"
#include "shell/app.h"
#include "shell/gl_window.h"
#include "shell/icons.h"
#include "shell/settings.h"

SetupDialog setupDialog;

namespace {
constexpr const char* templates[] = {
    "/org/kestroview/ui/setup_dialog.ui",         "/org/kestroview/ui/page_parameters.ui",
    "/org/kestroview/ui/page_fixed_ratio.ui",     "/org/kestroview/ui/page_gauge_layout.ui",
    "/org/kestroview/ui/page_screen_settings.ui",
};

// Tabs in order, with the page template object each shows.
struct TabPage {
    const char* text;
    const char* page;
};
constexpr TabPage tabPages[4] = {
    {"Parameters", "page107"},
    {"Fixed Ratio", "page109"},
    {"Gauge Layout", "page110"},
    {"Screen Settings", "page108"},
};

// Each radio group and the record field holding its checked id.
struct RadioGroup {
    int SetupControls::*checked;
    int ids[3]; // 0 ends a shorter group
};
constexpr RadioGroup radioGroups[] = {
    {&SetupControls::modelRadio, {idModelK1K, idModelK2K, 0}},
    {&SetupControls::temperatureRadio, {idCelcius, idFahrenheit, 0}},
    {&SetupControls::distanceRadio, {idKilometres, idMiles, 0}},
    {&SetupControls::layoutRadio, {idLayout3x3, idLayout3x4, 0}},
    {&SetupControls::resolutionRadio, {id640x480, id800x600, id1024x768}},
    {&SetupControls::depthRadio, {id16bpp, id32bpp, 0}},
};

std::vector<EditState*> allEdits(SetupControls& c) {
    std::vector<EditState*> edits;
    for (EditState& edit : c.parameterEdits) {
        edits.push_back(&edit);
    }
    edits.push_back(&c.rpmEdit);
    for (EditState& edit : c.ratioEdits) {
        edits.push_back(&edit);
    }
    return edits;
}

std::vector<ListState*> allLists(SetupControls& c) {
    std::vector<ListState*> lists{&c.comList};
    for (ListState& list : c.gaugeLists) {
        lists.push_back(&list);
    }
    return lists;
}

GtkWidget* builderWidget(const char* name) {
    GObject* object = gtk_builder_get_object(setupDialog.builder, name);
    return object != nullptr && GTK_IS_WIDGET(object) ? GTK_WIDGET(object) : nullptr;
}

// A digits-only edit takes the digits of whatever is typed or pasted and rings for the rest.
void onDigitsInsert(GtkEditable* editable, const gchar* text, gint length, gint* position,
                    gpointer) {
    if (setupDialog.mirroring) {
        return; // the record's own text, which may carry a sign
    }
    const std::string typed(text, length < 0 ? std::strlen(text) : static_cast<size_t>(length));
    std::vector<char> digits(typed.size() + 1);
    keepDigits(typed.c_str(), digits.data(), digits.size());
    if (typed == digits.data()) {
        return;
    }
    g_signal_handlers_block_by_func(editable, reinterpret_cast<gpointer>(onDigitsInsert), nullptr);
    if (digits[0] != '\0') {
        gtk_editable_insert_text(editable, digits.data(), -1, position);
    }
    g_signal_handlers_unblock_by_func(editable, reinterpret_cast<gpointer>(onDigitsInsert),
                                      nullptr);
    g_signal_stop_emission_by_name(editable, "insert-text");
    gtk_widget_error_bell(GTK_WIDGET(editable));
}

// What the record keeps of an edit's text: the first 99 bytes, as much as the read-back takes.
void keepEditText(int id, char (&kept)[editTextSize]) {
    std::snprintf(kept, sizeof kept, "%s", gtk_entry_get_text(GTK_ENTRY(setupControl(id))));
}

// Reads the widgets, applies change to the record and shows the result.
template <typename Change> void applyToRecord(Change change) {
    if (setupDialog.mirroring) {
        return;
    }
    takeSetupControls();
    change(setupDialog.controls);
    showSetupControls();
}

void onDistanceToggled(GtkToggleButton* button, gpointer) {
    if (gtk_toggle_button_get_active(button)) {
        const int32_t miles = GTK_WIDGET(button) == setupControl(idMiles) ? 1 : 0;
        applyToRecord([miles](SetupControls& c) { setUnitLabels(c, miles); });
    }
}

void onLayoutToggled(GtkToggleButton* button, gpointer) {
    if (gtk_toggle_button_get_active(button)) {
        const int32_t four = GTK_WIDGET(button) == setupControl(idLayout3x4) ? 1 : 0;
        applyToRecord([four](SetupControls& c) { enableFourthColumn(c, four); });
    }
}

void onComChanged(GtkComboBox*, gpointer) {
    applyToRecord([](SetupControls& c) { updateComDevice(c); });
}

void onStartClicked(GtkButton*, gpointer) {
    pressStart();
}
void onQuitClicked(GtkButton*, gpointer) {
    pressQuit();
}

// Escape and a close request from the desktop end the dialog as "Quit" does.
gboolean onKeyPress(GtkWidget*, GdkEventKey* event, gpointer) {
    if (event->keyval == GDK_KEY_Escape) {
        pressQuit();
        return TRUE;
    }
    return FALSE;
}

gboolean onDeleteEvent(GtkWidget*, GdkEvent*, gpointer) {
    pressQuit();
    return TRUE;
}

void connect(int id, const char* signal, GCallback handler) {
    g_signal_connect(setupControl(id), signal, handler, nullptr);
}

void fillLists() {
    for (int n = 1; n <= 10; ++n) {
        char text[16];
        std::snprintf(text, sizeof text, "COM%d", n);
        gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(setupControl(idComList)), text);
    }
    for (int i = 0; i < gaugeListCount; ++i) {
        GtkWidget* list = setupControl(idFirstGaugeList + i);
        for (const GaugeKindEntry& kind : gaugeKindTable) {
            gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(list), kind.name);
        }
        // Long names are cut short rather than widening the list past its grid cell; the
        // pop-up still shows them whole.
        GList* cells = gtk_cell_layout_get_cells(GTK_CELL_LAYOUT(list));
        for (GList* cell = cells; cell != nullptr; cell = cell->next) {
            if (GTK_IS_CELL_RENDERER_TEXT(cell->data)) {
                g_object_set(cell->data, "ellipsize", PANGO_ELLIPSIZE_END, nullptr);
                gtk_cell_renderer_set_fixed_size(GTK_CELL_RENDERER(cell->data), 80, -1);
            }
        }
        g_list_free(cells);
    }
}

void setIcons(GtkWindow* window) {
    GList* icons = nullptr;
    for (const int size : {16, 32, 48, 256}) {
        if (GdkPixbuf* icon = loadIconPixbuf(size)) {
            icons = g_list_append(icons, icon);
        }
    }
    gtk_window_set_icon_list(window, icons);
    g_list_free_full(icons, g_object_unref);
}

void addStyle() {
    setupDialog.style = gtk_css_provider_new();
    gtk_css_provider_load_from_resource(setupDialog.style, "/org/kestroview/ui/setup_dialog.css");
    gtk_style_context_add_provider_for_screen(gdk_screen_get_default(),
                                              GTK_STYLE_PROVIDER(setupDialog.style),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
}

bool buildFromTemplates() {
    // Loading an icon registers the compiled-in bundle that also holds the templates.
    if (GdkPixbuf* icon = loadIconPixbuf(16)) {
        g_object_unref(icon);
    }
    setupDialog.builder = gtk_builder_new();
    for (const char* path : templates) {
        GError* error = nullptr;
        if (gtk_builder_add_from_resource(setupDialog.builder, path, &error) == 0) {
            std::string text = "The setup dialog could not be built: ";
            text += error != nullptr ? error->message : path;
            g_clear_error(&error);
            // A window already built belongs to GTK, not to the builder: take it down too.
            if (GtkWidget* window = builderWidget("dialog103")) {
                gtk_widget_destroy(window);
            }
            g_clear_object(&setupDialog.builder);
            showErrorBox(text.c_str());
            return false;
        }
    }
    setupDialog.window = builderWidget("dialog103");
    setupDialog.tabs = GTK_NOTEBOOK(setupControl(idTabs));
    return true;
}
} // namespace

GtkWidget* setupControl(int id) {
    if (setupDialog.builder == nullptr) {
        return nullptr;
    }
    char name[32];
    std::snprintf(name, sizeof name, "control%d", id);
    return builderWidget(name);
}

void showSetupControls() {
    setupDialog.mirroring = true;
    SetupControls& c = setupDialog.controls;
    for (const RadioGroup& group : radioGroups) {
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(setupControl(c.*group.checked)), TRUE);
    }
    for (EditState* edit : allEdits(c)) {
        // An edit that reads back as the record already stays exactly as typed, however long.
        char kept[editTextSize];
        keepEditText(edit->id, kept);
        if (std::strcmp(kept, edit->text) != 0) {
            gtk_entry_set_text(GTK_ENTRY(setupControl(edit->id)), edit->text);
        }
    }
    for (ListState* list : allLists(c)) {
        GtkWidget* widget = setupControl(list->id);
        if (gtk_combo_box_get_active(GTK_COMBO_BOX(widget)) != list->selected) {
            gtk_combo_box_set_active(GTK_COMBO_BOX(widget), list->selected);
        }
        gtk_widget_set_sensitive(widget, list->enabled);
    }
    for (const LabelState& label : c.unitLabels) {
        gtk_label_set_text(GTK_LABEL(setupControl(label.id)), label.text);
    }
    GtkWidget* device = builderWidget("comDevice");
    gtk_label_set_text(GTK_LABEL(device), c.comDevice.text);
    gtk_widget_set_tooltip_text(device, c.comDevice.text);
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(setupControl(idFullScreen)),
                                 c.fullScreenChecked);
    setupDialog.mirroring = false;
}

void takeSetupControls() {
    SetupControls& c = setupDialog.controls;
    for (const RadioGroup& group : radioGroups) {
        for (const int id : group.ids) {
            if (id != 0 && gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(setupControl(id)))) {
                c.*group.checked = id;
            }
        }
    }
    for (EditState* edit : allEdits(c)) {
        keepEditText(edit->id, edit->text);
    }
    for (ListState* list : allLists(c)) {
        GtkWidget* widget = setupControl(list->id);
        list->selected = gtk_combo_box_get_active(GTK_COMBO_BOX(widget));
        list->enabled = gtk_widget_get_sensitive(widget) != FALSE;
    }
    c.fullScreenChecked =
        gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(setupControl(idFullScreen))) != FALSE;
}

bool openSetupDialog(const Settings& source) {
    setupDialog = SetupDialog{};
    if (!buildFromTemplates()) {
        return false;
    }
    GtkWindow* window = GTK_WINDOW(setupDialog.window);
    gtk_window_set_title(window, glWindow.title != nullptr ? glWindow.title : "KestroView 0.4");
    setIcons(window);
    for (int i = 0; i < 4; ++i) {
        setupDialog.setupPages[i] = builderWidget(tabPages[i].page);
        gtk_notebook_append_page(setupDialog.tabs, setupDialog.setupPages[i],
                                 gtk_label_new(tabPages[i].text));
    }
    fillLists();

    setupDialog.controls = setupControlsFrom(source);
    for (EditState* edit : allEdits(setupDialog.controls)) {
        GtkWidget* entry = setupControl(edit->id);
        gtk_entry_set_activates_default(GTK_ENTRY(entry), TRUE);
        if (edit->digitsOnly) {
            g_signal_connect(entry, "insert-text", G_CALLBACK(onDigitsInsert), nullptr);
        }
    }
    showSetupControls();
    gtk_notebook_set_current_page(setupDialog.tabs, 0);

    connect(idKilometres, "toggled", G_CALLBACK(onDistanceToggled));
    connect(idMiles, "toggled", G_CALLBACK(onDistanceToggled));
    connect(idLayout3x3, "toggled", G_CALLBACK(onLayoutToggled));
    connect(idLayout3x4, "toggled", G_CALLBACK(onLayoutToggled));
    connect(idComList, "changed", G_CALLBACK(onComChanged));
    connect(idStart, "clicked", G_CALLBACK(onStartClicked));
    connect(idQuit, "clicked", G_CALLBACK(onQuitClicked));
    g_signal_connect(window, "key-press-event", G_CALLBACK(onKeyPress), nullptr);
    g_signal_connect(window, "delete-event", G_CALLBACK(onDeleteEvent), nullptr);

    addStyle();
    gtk_window_set_default(window, setupControl(idStart));
    gtk_window_set_keep_above(window, TRUE);
    gtk_widget_show(setupDialog.window);
    gtk_window_present(window);
    return true;
}

void pressStart() {
    takeSetupControls();
    readBackSetupControls(setupDialog.controls, settings);
    const bool saved = saveSettings();
    const int saveError = errno;
    destroySetupPages();
    // The values are used for this run either way; the person learns they will not come back.
    if (!saved) {
        std::string text = "The settings could not be saved to ";
        text += settingsFileName;
        text += " (";
        text += std::strerror(saveError);
        text += ").\nThey are used for this run only.";
        showErrorBox(text.c_str());
    }
}

void pressQuit() {
    running = 0;
    destroySetupPages();
}

void destroySetupPages() {
    if (setupDialog.window != nullptr) {
        gtk_widget_destroy(setupDialog.window);
        setupDialog.window = nullptr;
    }
    for (GtkWidget*& page : setupDialog.setupPages) {
        page = nullptr;
    }
    g_clear_object(&setupDialog.builder);
    if (setupDialog.style != nullptr) {
        gtk_style_context_remove_provider_for_screen(gdk_screen_get_default(),
                                                     GTK_STYLE_PROVIDER(setupDialog.style));
        g_clear_object(&setupDialog.style);
    }
    // Let the display take the window down before the dashboard's window appears.
    while (gtk_events_pending()) {
        gtk_main_iteration();
    }
    if (setupDialog.loop != nullptr) {
        g_main_loop_quit(setupDialog.loop);
    }
}

void runSetupDialog() {
    if (!desktopAvailable()) {
        std::fputs("KestroView: no display for the setup dialog; going on with the loaded "
                   "settings\n",
                   stderr);
        return;
    }
    if (!openSetupDialog(settings)) {
        return;
    }
    setupDialog.loop = g_main_loop_new(nullptr, FALSE);
    g_main_loop_run(setupDialog.loop);
    g_main_loop_unref(setupDialog.loop);
    setupDialog.loop = nullptr;
}
