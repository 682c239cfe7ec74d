// The base of the GTK control peers whose widget sits at the control's designed place on
// its form.
#pragma once

#include <gtk/gtk.h>

#include "ui/backend.h"
#include "ui/controls.h"

namespace kelvra::ui::gtk {

class GtkForm;

// The native form of a control made by this backend.
GtkForm& FormPeer(const Control& control);

class GtkPlacedControl : public NativeControl {
  public:
    ~GtkPlacedControl() override;
    GtkPlacedControl(const GtkPlacedControl&) = delete;
    GtkPlacedControl& operator=(const GtkPlacedControl&) = delete;

  protected:
    // Takes ownership of widget and puts it on the form.
    GtkPlacedControl(Control& control, GtkWidget* widget);
    // Position (a top-aligned control spans the client width), size, visibility and
    // sensitivity from the control.
    void Place();

    Control& control_;
    GtkWidget* widget_;
};

}  // namespace kelvra::ui::gtk
