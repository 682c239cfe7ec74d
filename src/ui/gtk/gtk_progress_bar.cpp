// The progress bar: a GtkProgressBar showing Position within [Min, Max] as a fraction.
#include "ui/gtk/gtk_controls.h"
#include "ui/gtk/gtk_placed_control.h"

namespace kelvra::ui::gtk {
namespace {

class GtkProgress final : public GtkPlacedControl {
  public:
    explicit GtkProgress(ProgressBar& bar)
        : GtkPlacedControl(bar, gtk_progress_bar_new()), bar_(bar) {
        gtk_widget_set_name(widget_, bar.Name().empty() ? "progress" : bar.Name().c_str());
    }

    void Sync() override {
        Place();
        // An empty range shows an empty bar. The span is computed in double: Max - Min can
        // exceed the range of int.
        const double span = static_cast<double>(bar_.Max()) - bar_.Min();
        const double done =
            span > 0 ? (static_cast<double>(bar_.Position()) - bar_.Min()) / span : 0.0;
        gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(widget_), done);
    }

  private:
    ProgressBar& bar_;
};

}  // namespace

std::unique_ptr<NativeControl> MakeProgressBar(ProgressBar& bar) {
    return std::make_unique<GtkProgress>(bar);
}

}  // namespace kelvra::ui::gtk
