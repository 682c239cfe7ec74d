// The radio button: a GtkRadioButton in one group with the radio buttons of the same parent
// control. A click by the user checks it through the portable control, which unchecks the
// siblings there too.
#include "ui/gtk/gtk_controls.h"
#include "ui/gtk/gtk_form.h"
#include "ui/gtk/gtk_placed_control.h"

namespace kelvra::ui::gtk {
namespace {

class GtkRadio final : public GtkPlacedControl {
  public:
    GtkRadio(RadioButton& radio, GtkWidget* leader)
        : GtkPlacedControl(radio, gtk_radio_button_new_from_widget(GTK_RADIO_BUTTON(leader))),
          radio_(radio),
          leader_(leader) {
        gtk_widget_set_name(widget_, radio.Name().empty() ? "radio" : radio.Name().c_str());
        g_signal_connect(widget_, "toggled", G_CALLBACK(OnToggled), this);
    }

    void Sync() override {
        syncing_ = true;
        Place();
        gtk_button_set_label(GTK_BUTTON(widget_), control_.Caption().c_str());
        // The control's state is pushed only when the program changed it, never over the
        // user's choice.
        const bool checked = radio_.Checked();
        if (!pushed_ || checked != pushed_state_) {
            pushed_ = true;
            pushed_state_ = checked;
            if (checked)
                gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(widget_), TRUE);
            else if (gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(widget_)))
                gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(leader_), TRUE);
        }
        syncing_ = false;
    }

    std::optional<bool> ReadChecked() const override {
        if (syncing_)
            return std::nullopt;
        return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(widget_)) != FALSE;
    }

  private:
    static void OnToggled(GtkToggleButton* button, gpointer data) {
        auto* self = static_cast<GtkRadio*>(data);
        if (self->syncing_ || !gtk_toggle_button_get_active(button))
            return;
        self->radio_.Click();
    }

    RadioButton& radio_;
    GtkWidget* leader_;
    bool syncing_ = false;
    bool pushed_ = false;
    bool pushed_state_ = false;
};

}  // namespace

std::unique_ptr<NativeControl> MakeRadioButton(RadioButton& radio) {
    GtkWidget* leader = FormPeer(radio).RadioGroupLeader(radio.parent());
    return std::make_unique<GtkRadio>(radio, leader);
}

}  // namespace kelvra::ui::gtk
