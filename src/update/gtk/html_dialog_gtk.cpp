#include "update/gtk/html_dialog_gtk.h"

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include "update/html_dialog.h"

namespace kelvra::update::gtk {
namespace {

constexpr int kDialogWidth = 640;
constexpr int kDialogHeight = 480;

// Shows url in a modal window and returns once the window has been closed.
void ShowWebDialog(ui::NativeWindow owner, const std::string& url) {
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_modal(GTK_WINDOW(window), TRUE);
    gtk_window_set_default_size(GTK_WINDOW(window), kDialogWidth, kDialogHeight);
    if (owner != nullptr)
        gtk_window_set_transient_for(GTK_WINDOW(window), GTK_WINDOW(owner));
    gtk_window_set_position(GTK_WINDOW(window),
                            owner != nullptr ? GTK_WIN_POS_CENTER_ON_PARENT : GTK_WIN_POS_CENTER);
    GtkWidget* view = webkit_web_view_new();
    gtk_container_add(GTK_CONTAINER(window), view);
    // The page's title becomes the window's, as a dialog of the page.
    g_signal_connect(view, "notify::title",
                     G_CALLBACK(+[](WebKitWebView* v, GParamSpec*, gpointer w) {
                         const char* title = webkit_web_view_get_title(v);
                         gtk_window_set_title(GTK_WINDOW(w), title != nullptr ? title : "");
                     }),
                     window);
    // window.close() from the page closes the dialog.
    g_signal_connect_swapped(view, "close", G_CALLBACK(gtk_widget_destroy), window);
    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    g_signal_connect_swapped(window, "destroy", G_CALLBACK(g_main_loop_quit), loop);
    webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view), url.c_str());
    gtk_widget_show_all(window);
    g_main_loop_run(loop);
    g_main_loop_unref(loop);
}

}  // namespace

void InstallHtmlDialog() {
    update::SetHtmlDialogHandler(&ShowWebDialog);
}

}  // namespace kelvra::update::gtk
