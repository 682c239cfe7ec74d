// Native peers of the portable controls and timers in the GTK backend.
#pragma once

#include <gtk/gtk.h>

#include <memory>

#include "ui/backend.h"
#include "ui/controls.h"

namespace kelvra::ui::gtk {

// Edit, button, group box, label or title bar, placed on the control's form.
std::unique_ptr<NativeControl> MakeControl(Control& control);

class GtkTimer final : public NativeTimer {
  public:
    explicit GtkTimer(Timer& timer);
    ~GtkTimer() override;
    void Sync() override;

  private:
    static gboolean OnTick(gpointer self);

    Timer& timer_;
    guint source_ = 0;
};

}  // namespace kelvra::ui::gtk
