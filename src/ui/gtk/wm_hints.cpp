// Kept apart: the X11 headers define macros (None, Bool) that clash with the port's names,
// so they come after every header of ours.
#include "ui/gtk/gtk_ui.h"

#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

namespace kelvra::ui::gtk {

bool WindowManagerMaximizes(GdkScreen* screen) {
#ifdef GDK_WINDOWING_X11
    if (GDK_IS_X11_SCREEN(screen))
        return gdk_x11_screen_supports_net_wm_hint(
                   screen, gdk_atom_intern_static_string("_NET_WM_STATE_MAXIMIZED_VERT")) != FALSE;
#endif
    (void)screen;
    return true;
}

}  // namespace kelvra::ui::gtk
