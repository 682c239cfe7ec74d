// The animation: a GtkSpinner, the desktop's standard busy animation (GTK has no file-copy
// clip), spinning while the control is active.
#include "ui/gtk/gtk_controls.h"
#include "ui/gtk/gtk_placed_control.h"

namespace kelvra::ui::gtk {
namespace {

class GtkAnimation final : public GtkPlacedControl {
  public:
    explicit GtkAnimation(Animation& animation)
        : GtkPlacedControl(animation, gtk_spinner_new()), animation_(animation) {
        gtk_widget_set_name(widget_,
                            animation.Name().empty() ? "animation" : animation.Name().c_str());
    }

    void Sync() override {
        Place();
        if (animation_.Active())
            gtk_spinner_start(GTK_SPINNER(widget_));
        else
            gtk_spinner_stop(GTK_SPINNER(widget_));
    }

  private:
    Animation& animation_;
};

}  // namespace

std::unique_ptr<NativeControl> MakeAnimation(Animation& animation) {
    return std::make_unique<GtkAnimation>(animation);
}

}  // namespace kelvra::ui::gtk
