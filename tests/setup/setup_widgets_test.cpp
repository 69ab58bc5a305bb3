// The setup dialog's widgets on a real X server (Xvfb): every control of the templates where the
// layout tables put it, the widgets mirroring the record, and the page rules acting on clicks.
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "dashboard/gauges.h"
#include "platform/message_box.h"
#include "shell/app.h"
#include "shell/settings.h"
#include "shell/setup_dialog.h"
#include "support/process.h"
#include "support/simulator.h"

namespace {
void settle() {
    while (gtk_events_pending()) {
        gtk_main_iteration();
    }
}

class SetupWidgets : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(desktopAvailable()) << "these tests need an X display (tools/with-xvfb.sh)";
        ASSERT_TRUE(openSetupDialog(defaultSettings()));
        settle();
    }
    void TearDown() override { destroySetupPages(); }

    static const char* labelText(int id) { return gtk_label_get_text(GTK_LABEL(setupControl(id))); }
    static const char* editText(int id) { return gtk_entry_get_text(GTK_ENTRY(setupControl(id))); }
};

std::string lastError;
void keepError(const char* text) {
    lastError = text;
}
} // namespace

TEST_F(SetupWidgets, EveryControlOfTheLayoutIsInTheTemplates) {
    const struct {
        GType type;
        int ids[16];
    } kinds[] = {
        {GTK_TYPE_BUTTON, {1, 2}},
        {GTK_TYPE_FRAME, {104}},
        {GTK_TYPE_NOTEBOOK, {1036}},
        {GTK_TYPE_COMBO_BOX_TEXT,
         {1008, 1040, 1041, 1042, 1043, 1044, 1045, 1046, 1047, 1048, 1049, 1050}},
        {GTK_TYPE_RADIO_BUTTON,
         {1009, 1010, 1017, 1018, 1021, 1022, 1052, 1053, 1001, 1002, 1003, 1004, 1006}},
        {GTK_TYPE_CHECK_BUTTON, {1007}},
        {GTK_TYPE_ENTRY,
         {1014, 1013, 1019, 1020, 1024, 1025, 1011, 1012, 1015, 1016, 1023, 1030, 1031, 1026,
          1027}},
        {GTK_TYPE_LABEL, {1037, 1038, 1039}},
    };
    for (const auto& kind : kinds) {
        for (const int id : kind.ids) {
            if (id == 0) {
                break;
            }
            GtkWidget* widget = setupControl(id);
            ASSERT_NE(widget, nullptr) << "control" << id;
            EXPECT_TRUE(G_TYPE_CHECK_INSTANCE_TYPE(widget, kind.type)) << "control" << id;
        }
    }
    EXPECT_EQ(setupControl(1005), nullptr);
}

TEST_F(SetupWidgets, TheWindowIsTheProgramsModalUndecoratedDialog) {
    GtkWindow* window = GTK_WINDOW(setupDialog.window);
    EXPECT_STREQ(gtk_window_get_title(window), "KestroView 0.4");
    EXPECT_FALSE(gtk_window_get_decorated(window));
    EXPECT_TRUE(gtk_window_get_modal(window));
    GList* icons = gtk_window_get_icon_list(window);
    EXPECT_EQ(g_list_length(icons), 4u);
    g_list_free(icons);

    const char* tabs[] = {"Parameters", "Fixed Ratio", "Gauge Layout", "Screen Settings"};
    ASSERT_EQ(gtk_notebook_get_n_pages(setupDialog.tabs), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_STREQ(gtk_notebook_get_tab_label_text(setupDialog.tabs, setupDialog.setupPages[i]),
                     tabs[i]);
    }
    GtkWidget* banner = gtk_bin_get_child(GTK_BIN(setupControl(idBanner)));
    GdkPixbuf* picture = gtk_image_get_pixbuf(GTK_IMAGE(banner));
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(gdk_pixbuf_get_width(picture), 291);
    EXPECT_EQ(gdk_pixbuf_get_height(picture), 165);
}

TEST_F(SetupWidgets, WidgetsShowTheDefaults) {
    EXPECT_EQ(gtk_combo_box_get_active(GTK_COMBO_BOX(setupControl(idComList))), 0);
    gchar* com = gtk_combo_box_text_get_active_text(GTK_COMBO_BOX_TEXT(setupControl(idComList)));
    EXPECT_STREQ(com, "COM1");
    g_free(com);
    for (const int id : {idModelK1K, idCelcius, idKilometres, idLayout3x3, id800x600, id16bpp}) {
        EXPECT_TRUE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(setupControl(id)))) << id;
    }
    EXPECT_FALSE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(setupControl(idFullScreen))));
    EXPECT_STREQ(editText(idRpmToSpeed), "0.012400");
    EXPECT_STREQ(editText(1014), "105");
    EXPECT_STREQ(labelText(idSpeedLabel), "km/h");
    for (int i = 0; i < gaugeListCount; ++i) {
        GtkWidget* list = setupControl(idFirstGaugeList + i);
        gchar* name = gtk_combo_box_text_get_active_text(GTK_COMBO_BOX_TEXT(list));
        EXPECT_STREQ(name, gaugeKindTable[gaugeKindRow(defaultSettings().gaugeSlots[i])].name);
        g_free(name);
        const bool fourth = i == 3 || i == 7 || i == 10;
        EXPECT_EQ(gtk_widget_get_sensitive(list) != FALSE, !fourth) << 1040 + i;
    }
}

TEST_F(SetupWidgets, SwitchingTabsShowsExactlyOnePageAndKeepsTypedValues) {
    gtk_entry_set_text(GTK_ENTRY(setupControl(1016)), "777");
    for (const int tab : {1, 2, 3, 0, 2}) {
        gtk_notebook_set_current_page(setupDialog.tabs, tab);
        settle();
        int shown = 0;
        for (int i = 0; i < 4; ++i) {
            if (gtk_widget_get_mapped(setupDialog.setupPages[i])) {
                ++shown;
                EXPECT_EQ(i, tab);
            }
        }
        EXPECT_EQ(shown, 1) << "tab " << tab;
    }
    EXPECT_STREQ(editText(1016), "777");
}

TEST_F(SetupWidgets, ClicksOnUnitAndLayoutRadiosApplyTheirRulesAndLeaveTheEditsAsTyped) {
    // Texts longer than the 99 bytes read back, one with a "µ" across byte 99.
    const std::string digits(120, '7');
    const std::string multiplier = "0." + std::string(96, '5') + "\u00b5 per rpm, or so";
    gtk_entry_set_text(GTK_ENTRY(setupControl(1031)), "160");
    gtk_entry_set_text(GTK_ENTRY(setupControl(1014)), digits.c_str());
    gtk_entry_set_text(GTK_ENTRY(setupControl(idRpmToSpeed)), multiplier.c_str());
    gtk_button_clicked(GTK_BUTTON(setupControl(idMiles)));
    EXPECT_STREQ(labelText(idMultiplierLabel), "Motor RPM -> mph multiplier");
    EXPECT_STREQ(labelText(idSpeedLabel), "mph");
    EXPECT_STREQ(labelText(idPerDistanceLabel), "w.hrs/mile");
    gtk_button_clicked(GTK_BUTTON(setupControl(idKilometres)));
    EXPECT_STREQ(labelText(idMultiplierLabel), "Motor RPM -> km/h multiplier");
    EXPECT_STREQ(labelText(idSpeedLabel), "km/h");
    EXPECT_STREQ(labelText(idPerDistanceLabel), "w.hrs/km");

    gtk_button_clicked(GTK_BUTTON(setupControl(idLayout3x4)));
    EXPECT_TRUE(gtk_widget_get_sensitive(setupControl(1050)));
    gtk_combo_box_set_active(GTK_COMBO_BOX(setupControl(1050)), gaugeKindRow(BatteryModel));
    gtk_button_clicked(GTK_BUTTON(setupControl(idLayout3x3)));
    EXPECT_FALSE(gtk_widget_get_sensitive(setupControl(1050)));
    EXPECT_EQ(gtk_combo_box_get_active(GTK_COMBO_BOX(setupControl(1050))),
              gaugeKindRow(BatteryModel));

    EXPECT_STREQ(editText(1031), "160");
    EXPECT_EQ(editText(1014), digits);
    EXPECT_EQ(editText(idRpmToSpeed), multiplier);
    EXPECT_STREQ(editText(1013), "130");
}

TEST_F(SetupWidgets, DigitsOnlyEditsTakeTheDigitsOfInsertedText) {
    const struct {
        int id;
        const char* inserted;
        const char* text;
    } cases[] = {{1014, "a1b2", "12"}, {1014, "xyz", ""}, {idRpmToSpeed, "1.5e-3", "1.5e-3"}};
    for (const auto& c : cases) {
        GtkEditable* edit = GTK_EDITABLE(setupControl(c.id));
        gtk_editable_delete_text(edit, 0, -1);
        gint position = 0;
        gtk_editable_insert_text(edit, c.inserted, -1, &position);
        EXPECT_STREQ(editText(c.id), c.text) << c.inserted;
    }
}

TEST_F(SetupWidgets, StartThatCannotSaveSaysSoAndKeepsTheValues) {
    WorkingDirectoryGuard here(makeScratchFolder("kv-setup-save"));
    ASSERT_EQ(mkdir(settingsFileName, 0755), 0); // a folder in the file's place cannot be written

    const Settings before = settings;
    gtk_entry_set_text(GTK_ENTRY(setupControl(1013)), "144");
    lastError.clear();
    setErrorBoxHook(keepError);
    pressStart();
    setErrorBoxHook(nullptr);
    EXPECT_NE(lastError.find("could not be saved to KestroView.ini"), std::string::npos)
        << lastError;
    EXPECT_EQ(settings.batteryVoltsMax, 144);
    EXPECT_EQ(setupDialog.window, nullptr);

    settings = before;
}

TEST_F(SetupWidgets, ChoosingAComPortShowsItsDevice) {
    WorkingDirectoryGuard here(makeScratchFolder("kv-setup-device"));
    ASSERT_EQ(symlink("/dev/null", "COM2"), 0);

    gtk_combo_box_set_active(GTK_COMBO_BOX(setupControl(idComList)), 1);
    GtkWidget* device = GTK_WIDGET(gtk_builder_get_object(setupDialog.builder, "comDevice"));
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(device)), "COM2 -> /dev/null");
    takeSetupControls();
    Settings stored = defaultSettings();
    readBackSetupControls(setupDialog.controls, stored);
    EXPECT_EQ(stored.comPort, 2);
}
