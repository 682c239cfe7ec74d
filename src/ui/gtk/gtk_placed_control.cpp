#include "ui/gtk/gtk_placed_control.h"

#include "ui/form.h"
#include "ui/gtk/gtk_form.h"

namespace kelvra::ui::gtk {
namespace {

// Position of a control in the client area: its own place plus its parents' places.
void ClientOrigin(const Control& control, int& x, int& y) {
    x = control.Bounds().left;
    y = control.Bounds().top;
    for (const Control* p = control.parent(); p != nullptr; p = p->parent()) {
        x += p->Bounds().left;
        y += p->Bounds().top;
    }
}

}  // namespace

GtkForm& FormPeer(const Control& control) {
    return static_cast<GtkForm&>(control.form().native());
}

GtkPlacedControl::GtkPlacedControl(Control& control, GtkWidget* widget)
    : control_(control), widget_(widget) {
    g_object_ref_sink(widget_);
    FormPeer(control).PackFixed(widget_, 0, 0);
    gtk_widget_show(widget_);
}

GtkPlacedControl::~GtkPlacedControl() {
    g_signal_handlers_disconnect_by_data(widget_, this);
    gtk_widget_destroy(widget_);
    g_object_unref(widget_);
}

void GtkPlacedControl::Place() {
    int x = 0;
    int y = 0;
    ClientOrigin(control_, x, y);
    int width = control_.Bounds().width;
    const int height = control_.Bounds().height;
    if (control_.GetAlign() == Align::Top) {
        x = 0;
        y = 0;
        width = control_.form().ClientWidth();
    }
    FormPeer(control_).MoveFixed(widget_, x, y);
    gtk_widget_set_size_request(widget_, width > 0 ? width : -1, height > 0 ? height : -1);
    gtk_widget_set_visible(widget_, control_.Visible());
    gtk_widget_set_sensitive(widget_, control_.Enabled());
}

}  // namespace kelvra::ui::gtk
