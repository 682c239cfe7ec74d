#include "browser/gtk/wheel_rule.h"

namespace kelvra::browser::gtk {

GtkWidget* ProcessFocusWidget() {
    GtkWidget* focus = nullptr;
    GList* windows = gtk_window_list_toplevels();
    for (GList* w = windows; w != nullptr && focus == nullptr; w = w->next)
        if (gtk_window_is_active(GTK_WINDOW(w->data)))
            focus = gtk_window_get_focus(GTK_WINDOW(w->data));
    g_list_free(windows);
    return focus;
}

bool ApplyWheelRule(GtkWidget* view, const GdkEventScroll* event) {
    switch (event->direction) {
        case GDK_SCROLL_UP:
        case GDK_SCROLL_DOWN:
            break;
        case GDK_SCROLL_SMOOTH:
            if (event->delta_y == 0)
                return false;  // horizontal
            break;
        default:
            return false;
    }
    GtkWidget* focus = ProcessFocusWidget();
    if (focus == nullptr)
        return false;
    // The page is the web view itself: it holds the focus or it does not.
    if (focus == view || gtk_widget_is_ancestor(focus, view))
        return false;
    GtkWidget* top = gtk_widget_get_toplevel(view);
    if (GTK_IS_WINDOW(top) && !gtk_window_is_active(GTK_WINDOW(top)))
        gtk_window_present_with_time(GTK_WINDOW(top), event->time);
    gtk_widget_grab_focus(view);
    return true;
}

}  // namespace kelvra::browser::gtk
