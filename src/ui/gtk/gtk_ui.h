// The GTK 3 backend of the GUI port: each form is a GtkWindow whose title bar is a
// GtkHeaderBar, controls are GTK widgets at their designed places, timers are GLib
// timeouts, and the loops iterate the default main context.
#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <memory>

#include "ui/backend.h"

namespace kelvra::ui {
class Control;
}

namespace kelvra::ui::gtk {

// Height of every form's header bar: the frame a form adds above its client area.
inline constexpr int kHeaderBarHeight = 40;

struct GtkUiOptions {
    // The widget of a control made by another backend (the embedded browser's web view);
    // the form packs it into its client area. Null or a null answer: nothing to pack.
    std::function<GtkWidget*(Control& control)> widget_of;
};

// Initialises GTK; throws Error when no display can be opened.
std::unique_ptr<Backend> MakeGtkBackend(GtkUiOptions options = {});

// The GtkWindow of a form made by this backend.
inline GtkWindow* WindowOf(NativeWindow handle) {
    return GTK_WINDOW(handle);
}

// The Windows virtual-key code of a GDK key value (0 when it has none), so that the hook
// routine sees the same key codes on both platforms.
unsigned VirtualKeyOf(unsigned keyval);

// Whether a window manager runs that maximises windows (not so on a bare X server).
bool WindowManagerMaximizes(GdkScreen* screen);

}  // namespace kelvra::ui::gtk
