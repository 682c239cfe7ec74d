// Native peers of the edit, button, group box, label and title bar controls, and of timers;
// the factory of every control's peer.
#include "ui/gtk/gtk_controls.h"

#include <string>
#include <vector>

#include "platform/error.h"
#include "ui/application.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "ui/gtk/gtk_form.h"
#include "ui/gtk/gtk_placed_control.h"

namespace kelvra::ui::gtk {
namespace {

class GtkWidgetControl final : public GtkPlacedControl {
  public:
    GtkWidgetControl(Control& control, GtkWidget* widget) : GtkPlacedControl(control, widget) {
        switch (control.Kind()) {
            case ControlKind::Edit:
                g_signal_connect(widget_, "activate", G_CALLBACK(OnActivate), this);
                break;
            case ControlKind::Button:
                g_signal_connect(widget_, "clicked", G_CALLBACK(OnClicked), this);
                break;
            default:
                break;
        }
    }

    void Sync() override {
        syncing_ = true;
        Place();
        const std::string& caption = control_.Caption();
        switch (control_.Kind()) {
            case ControlKind::Edit: {
                auto& edit = static_cast<Edit&>(control_);
                // The control's text is pushed only when the program changed it, never over
                // what the user typed since.
                const std::string text = edit.Text();
                if (!pushed_ || text != pushed_text_) {
                    pushed_ = true;
                    pushed_text_ = text;
                    if (text != gtk_entry_get_text(GTK_ENTRY(widget_)))
                        gtk_entry_set_text(GTK_ENTRY(widget_), text.c_str());
                }
                // A password field shows its character in place of each typed one.
                const char mask = edit.PasswordChar();
                gtk_entry_set_visibility(GTK_ENTRY(widget_), mask == 0);
                if (mask != 0)
                    gtk_entry_set_invisible_char(GTK_ENTRY(widget_),
                                                 static_cast<unsigned char>(mask));
                break;
            }
            case ControlKind::Button:
                gtk_button_set_label(GTK_BUTTON(widget_), caption.c_str());
                break;
            case ControlKind::GroupBox:
                gtk_frame_set_label(GTK_FRAME(widget_), caption.c_str());
                break;
            case ControlKind::Label:
                gtk_label_set_text(GTK_LABEL(widget_), caption.c_str());
                break;
            default:
                break;
        }
        syncing_ = false;
    }

    std::optional<std::string> ReadText() const override {
        // While syncing, the control's own text is what the field must show.
        if (syncing_ || control_.Kind() != ControlKind::Edit)
            return std::nullopt;
        return std::string(gtk_entry_get_text(GTK_ENTRY(widget_)));
    }

  private:
    static void OnActivate(GtkWidget*, gpointer self) {
        static_cast<GtkWidgetControl*>(self)->control_.form().PressDefaultButton();
    }
    static void OnClicked(GtkWidget*, gpointer self) {
        static_cast<Button&>(static_cast<GtkWidgetControl*>(self)->control_).Click();
    }

    bool syncing_ = false;
    bool pushed_ = false;
    std::string pushed_text_;
};

// Icons for the title bar's image buttons, by item name; other buttons get a settings icon.
const char* IconFor(const std::string& name) {
    if (name == "tle_btn_back")
        return "go-previous-symbolic";
    if (name == "tle_btn_foward")
        return "go-next-symbolic";
    if (name == "tle_btn_reflash")
        return "view-refresh-symbolic";
    return "emblem-system-symbolic";
}

class GtkTitleBarControl final : public NativeControl {
  public:
    explicit GtkTitleBarControl(TitleBar& bar) : bar_(bar) {
        start_ = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 2);
        end_ = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 2);
        for (std::size_t i = 0; i < bar.ItemCount(); ++i) {
            const TitleBarItem& item = bar.Item(i);
            GtkWidget* widget = nullptr;
            if (item.style == TitleBarItemStyle::Button) {
                widget = gtk_button_new_from_icon_name(IconFor(item.name), GTK_ICON_SIZE_MENU);
                gtk_button_set_relief(GTK_BUTTON(widget), GTK_RELIEF_NONE);
                gtk_widget_set_focus_on_click(widget, FALSE);
                gtk_widget_set_can_focus(widget, FALSE);  // title bar buttons take no focus
                g_signal_connect(widget, "clicked", G_CALLBACK(OnClicked), this);
            } else {
                widget = gtk_label_new(nullptr);
                gtk_label_set_ellipsize(GTK_LABEL(widget), PANGO_ELLIPSIZE_END);
                gtk_label_set_xalign(GTK_LABEL(widget), 0.0f);
                gtk_style_context_add_class(gtk_widget_get_style_context(widget), "title");
            }
            gtk_widget_set_name(widget, item.name.empty() ? "item" : item.name.c_str());
            g_object_set_data(G_OBJECT(widget), "kelvra-item", GSIZE_TO_POINTER(i));
            gtk_widget_set_size_request(widget, item.width > 0 ? item.width : -1,
                                        item.height > 0 ? item.height : -1);
            gtk_widget_set_valign(widget, GTK_ALIGN_CENTER);
            gtk_box_pack_start(GTK_BOX(item.align_right ? end_ : start_), widget, FALSE, FALSE, 0);
            widgets_.push_back(widget);
        }
        FormPeer(bar).AttachTitleBar(start_, end_);
        Sync();
    }

    void Sync() override {
        for (std::size_t i = 0; i < widgets_.size() && i < bar_.ItemCount(); ++i) {
            const TitleBarItem& item = bar_.Item(i);
            GtkWidget* w = widgets_[i];
            if (item.style == TitleBarItemStyle::Info)
                gtk_label_set_text(GTK_LABEL(w), item.caption.c_str());
            gtk_widget_set_tooltip_text(
                w, item.show_hint && !item.hint.empty() ? item.hint.c_str() : nullptr);
            gtk_widget_set_sensitive(w, item.enabled);
            gtk_widget_set_visible(w, item.visible && bar_.Visible());
        }
    }

  private:
    static void OnClicked(GtkWidget* widget, gpointer self) {
        auto index = static_cast<std::size_t>(
            GPOINTER_TO_SIZE(g_object_get_data(G_OBJECT(widget), "kelvra-item")));
        static_cast<GtkTitleBarControl*>(self)->bar_.ClickItem(index);
    }

    TitleBar& bar_;
    GtkWidget* start_ = nullptr;
    GtkWidget* end_ = nullptr;
    std::vector<GtkWidget*> widgets_;
};

}  // namespace

std::unique_ptr<NativeControl> MakeControl(Control& control) {
    switch (control.Kind()) {
        case ControlKind::Edit: {
            GtkWidget* entry = gtk_entry_new();
            gtk_entry_set_activates_default(GTK_ENTRY(entry), FALSE);
            return std::make_unique<GtkWidgetControl>(control, entry);
        }
        case ControlKind::Button:
            return std::make_unique<GtkWidgetControl>(control, gtk_button_new());
        case ControlKind::GroupBox:
            return std::make_unique<GtkWidgetControl>(control, gtk_frame_new(nullptr));
        case ControlKind::Label:
            return std::make_unique<GtkWidgetControl>(control, gtk_label_new(nullptr));
        case ControlKind::TitleBar:
            return std::make_unique<GtkTitleBarControl>(static_cast<TitleBar&>(control));
        case ControlKind::Memo:
            return MakeMemo(static_cast<Memo&>(control));
        case ControlKind::RadioButton:
            return MakeRadioButton(static_cast<RadioButton&>(control));
        case ControlKind::ProgressBar:
            return MakeProgressBar(static_cast<ProgressBar&>(control));
        case ControlKind::Animation:
            return MakeAnimation(static_cast<Animation&>(control));
        case ControlKind::Browser:
            break;
    }
    throw kelvra::Error("This control is made by the browser backend");
}

GtkTimer::GtkTimer(Timer& timer) : timer_(timer) {
    GtkTimer::Sync();
}

GtkTimer::~GtkTimer() {
    if (source_ != 0)
        g_source_remove(source_);
}

void GtkTimer::Sync() {
    if (source_ != 0) {
        g_source_remove(source_);
        source_ = 0;
    }
    if (timer_.Enabled() && timer_.Interval() > 0)
        source_ = g_timeout_add(timer_.Interval(), OnTick, this);
}

gboolean GtkTimer::OnTick(gpointer data) {
    // Fire may disable, re-arm or destroy the timer, removing this source; GLib then
    // ignores the answer, so nothing of the timer is touched after the call.
    static_cast<GtkTimer*>(data)->timer_.Fire();
    return G_SOURCE_CONTINUE;
}

}  // namespace kelvra::ui::gtk
