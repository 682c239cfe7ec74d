// Native peers of the portable controls and timers in the GTK backend.
#pragma once

#include <gtk/gtk.h>

#include <memory>

#include "ui/backend.h"
#include "ui/controls.h"

namespace kelvra::ui::gtk {

// The peer of any control but the browser, placed on the control's form.
std::unique_ptr<NativeControl> MakeControl(Control& control);

// A text view in a scrolled window; rich text is shown as its plain text.
std::unique_ptr<NativeControl> MakeMemo(Memo& memo);
// A radio button in the group of the radio buttons with the same parent control.
std::unique_ptr<NativeControl> MakeRadioButton(RadioButton& radio);
std::unique_ptr<NativeControl> MakeProgressBar(ProgressBar& bar);
// A spinner, running while the animation is active.
std::unique_ptr<NativeControl> MakeAnimation(Animation& animation);

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
