// The wheel rule over web views: when the wheel turns over a page that does not hold the
// keyboard focus, that page takes the focus and the one wheel event is dropped; later wheel
// events then scroll it.
#pragma once

#include <gtk/gtk.h>

namespace kelvra::browser::gtk {

// The keyboard focus of the process: the focus widget of the active top-level window, or
// null when none of the process's windows is active.
GtkWidget* ProcessFocusWidget();

// Called for a wheel event over view (a web view) before the view handles it; true drops
// the event. Horizontal wheel events always pass.
bool ApplyWheelRule(GtkWidget* view, const GdkEventScroll* event);

}  // namespace kelvra::browser::gtk
