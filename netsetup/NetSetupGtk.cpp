// netsetup-gtk: the network scanners in a GTK 2 window, one check box per
// device; OK registers the ticked and removes the unticked ones through the
// companion program, Cancel and closing the window change nothing.
#include <gtk/gtk.h>

#include <cstdio>

#include "netsetup/Apply.h"
#include "netsetup/EnumDev.h"
#include "netsetup/FrontEnd.h"

using namespace netsetup;

namespace {

constexpr int kWindowWidth = 730;
constexpr int kRowWidth = 700;
constexpr int kRowHeight = 16;
constexpr int kCellHeight = 14;
constexpr int kButtonWidth = 64;

// Whether the main loop ended through OK. Main thread.
bool g_apply = false;

void OnToggled(GtkToggleButton* button, gpointer data)
{
    static_cast<NetDevice*>(data)->action = gtk_toggle_button_get_active(button) ? kAdd : kRemove;
}

void OnOk(GtkButton*, gpointer)
{
    g_apply = true;
    gtk_main_quit();
}

void OnCancel(GtkButton*, gpointer)
{
    g_apply = false;
    gtk_main_quit();
}

GtkWidget* Label(int width)
{
    GtkWidget* label = gtk_label_new(nullptr);
    gtk_misc_set_alignment(GTK_MISC(label), 0.0f, 0.5f);
    gtk_widget_set_size_request(label, width, kCellHeight);
    return label;
}

// One row: the check box with the model, the address, the device name.
GtkWidget* DeviceRow(NetDevice& device)
{
    GtkWidget* row = gtk_hbox_new(FALSE, 0);
    gtk_widget_set_size_request(row, kRowWidth, kRowHeight);

    GtkWidget* check = gtk_check_button_new_with_label(device.model);
    gtk_widget_set_size_request(check, 150, kCellHeight);
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(check), device.state == kRegistered);
    g_signal_connect(check, "toggled", G_CALLBACK(OnToggled), &device);
    gtk_box_pack_start(GTK_BOX(row), check, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(row), gtk_vseparator_new(), FALSE, FALSE, 0);

    // The address comes from the network or the registration file: escaped
    // before it is set as markup.
    GtkWidget* address = Label(150);
    gchar* markup = g_markup_escape_text(device.address, -1);
    gtk_label_set_markup(GTK_LABEL(address), markup);
    g_free(markup);
    gtk_box_pack_start(GTK_BOX(row), address, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(row), gtk_vseparator_new(), FALSE, FALSE, 0);

    GtkWidget* name = Label(400);
    gtk_label_set_text(GTK_LABEL(name), device.name);
    gtk_box_pack_start(GTK_BOX(row), name, FALSE, FALSE, 0);
    return row;
}

GtkWidget* Button(const char* text, GCallback clicked)
{
    GtkWidget* button = gtk_button_new_with_label(text);
    gtk_widget_set_size_request(button, kButtonWidth, -1);
    g_signal_connect(button, "clicked", clicked, nullptr);
    return button;
}

}  // namespace

int main(int argc, char** argv)
{
    // GTK takes its own options first; the display is opened only once the
    // companion files were found.
    if (!gtk_parse_args(&argc, &argv)) {
        return 1;
    }
    RunSettings settings;
    read_arguments(argc, argv, false, settings);
    if (!prepare_run(settings)) {
        return 1;
    }
    if (!gtk_init_check(&argc, &argv)) {
        std::fprintf(stderr, "cannot open the display\n");
        return 1;
    }

    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), "tolmexconfig");
    gtk_container_set_border_width(GTK_CONTAINER(window), 10);
    gtk_window_set_default_size(GTK_WINDOW(window), kWindowWidth, -1);
    g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);

    GtkWidget* rows = gtk_vbox_new(FALSE, 2);
    gtk_container_add(GTK_CONTAINER(window), rows);
    for (int i = 0; i < get_net_device_num(); ++i) {
        NetDevice& device = *get_net_device(i);
        if (passes_filter(device.model, settings)) {
            gtk_box_pack_start(GTK_BOX(rows), DeviceRow(device), FALSE, FALSE, 0);
        }
    }
    gtk_box_pack_start(GTK_BOX(rows), gtk_hseparator_new(), TRUE, TRUE, 0);
    GtkWidget* buttons = gtk_hbox_new(FALSE, 0);
    gtk_box_pack_end(GTK_BOX(buttons), Button("OK", G_CALLBACK(OnOk)), FALSE, FALSE, 0);
    gtk_box_pack_end(GTK_BOX(buttons), Button("Cancel", G_CALLBACK(OnCancel)), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(rows), buttons, FALSE, FALSE, 0);

    gtk_widget_show_all(window);
    gtk_main();
    if (!g_apply) {
        return 0;
    }
    gtk_widget_hide(window);
    while (gtk_events_pending()) {
        gtk_main_iteration();
    }
    return apply_changes() ? 0 : 1;
}
