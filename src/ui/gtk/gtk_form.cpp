#include "ui/gtk/gtk_form.h"

#include <algorithm>

#include "ui/application.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "ui/gtk/gtk_backend.h"

namespace kelvra::ui::gtk {
namespace {

const char* DecorationLayout(const FormDefinition& d) {
    if (!d.icons.system_menu)
        return ":";
    if (d.border == BorderStyle::Dialog)
        return ":close";
    if (d.icons.minimize && d.icons.maximize)
        return ":minimize,maximize,close";
    if (d.icons.minimize)
        return ":minimize,close";
    if (d.icons.maximize)
        return ":maximize,close";
    return ":close";
}

}  // namespace

GtkForm::GtkForm(GtkBackend& backend, Form& form) : backend_(backend), form_(form) {
    const FormDefinition& d = form.definition();
    window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_style_context_add_class(gtk_widget_get_style_context(window_), "kelvra-form");
    gtk_window_set_resizable(GTK_WINDOW(window_), d.border == BorderStyle::Sizeable);
    if (d.border == BorderStyle::Dialog)
        gtk_window_set_type_hint(GTK_WINDOW(window_), GDK_WINDOW_TYPE_HINT_DIALOG);

    header_ = gtk_header_bar_new();
    gtk_header_bar_set_show_close_button(GTK_HEADER_BAR(header_), TRUE);
    gtk_header_bar_set_decoration_layout(GTK_HEADER_BAR(header_), DecorationLayout(d));
    gtk_widget_set_size_request(header_, -1, kHeaderBarHeight);
    gtk_widget_show(header_);
    gtk_window_set_titlebar(GTK_WINDOW(window_), header_);

    GtkWidget* overlay = gtk_overlay_new();
    client_box_ = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    fixed_ = gtk_fixed_new();
    gtk_container_add(GTK_CONTAINER(overlay), client_box_);
    gtk_overlay_add_overlay(GTK_OVERLAY(overlay), fixed_);
    gtk_overlay_set_overlay_pass_through(GTK_OVERLAY(overlay), fixed_, TRUE);
    gtk_container_add(GTK_CONTAINER(window_), overlay);
    gtk_widget_show_all(overlay);
    if (d.border == BorderStyle::Dialog)
        gtk_widget_set_size_request(overlay, d.client_width, d.client_height);

    g_signal_connect(window_, "delete-event", G_CALLBACK(OnDelete), this);
    g_signal_connect(window_, "window-state-event", G_CALLBACK(OnWindowState), this);
    backend_.Register(this);
}

GtkForm::~GtkForm() {
    backend_.Unregister(this);
    g_signal_handlers_disconnect_by_data(window_, this);
    gtk_widget_destroy(window_);
    for (const auto& [parent, leader] : radio_leaders_) {
        gtk_widget_destroy(leader);
        g_object_unref(leader);
    }
}

GtkWidget* GtkForm::RadioGroupLeader(const Control* parent) {
    auto it = radio_leaders_.find(parent);
    if (it == radio_leaders_.end()) {
        GtkWidget* leader = gtk_radio_button_new(nullptr);
        g_object_ref_sink(leader);
        it = radio_leaders_.emplace(parent, leader).first;
    }
    return it->second;
}

void GtkForm::PackClient(GtkWidget* widget) {
    gtk_box_pack_start(GTK_BOX(client_box_), widget, TRUE, TRUE, 0);
    gtk_widget_show(widget);
}

void GtkForm::PackFixed(GtkWidget* widget, int x, int y) {
    gtk_fixed_put(GTK_FIXED(fixed_), widget, x, y);
}

void GtkForm::MoveFixed(GtkWidget* widget, int x, int y) {
    gtk_fixed_move(GTK_FIXED(fixed_), widget, x, y);
}

void GtkForm::AttachTitleBar(GtkWidget* items_start, GtkWidget* items_end) {
    titlebar_attached_ = true;
    // The header bar's own title stays: GTK mirrors it into the window's title. The custom
    // title widget keeps it from being drawn.
    GtkWidget* nothing = gtk_label_new(nullptr);
    gtk_header_bar_set_custom_title(GTK_HEADER_BAR(header_), nothing);
    gtk_header_bar_pack_start(GTK_HEADER_BAR(header_), items_start);
    gtk_header_bar_pack_end(GTK_HEADER_BAR(header_), items_end);
    gtk_widget_show(items_start);
    gtk_widget_show(items_end);
}

void GtkForm::PackForeignControls() {
    if (!backend_.options().widget_of)
        return;
    for (Control* control : form_.Controls()) {
        if (control->Kind() != ControlKind::Browser)
            continue;
        bool known = false;
        for (const void* p : packed_)
            known = known || p == control;
        if (known)
            continue;
        GtkWidget* widget = backend_.options().widget_of(*control);
        if (widget == nullptr)
            continue;
        packed_.push_back(control);
        // The page takes the keyboard when the window opens: it is the first widget that
        // can take focus, since title bar buttons take none.
        if (gtk_widget_get_parent(widget) == nullptr)
            PackClient(widget);
    }
}

bool GtkForm::CanMaximize() const {
    return WindowManagerMaximizes(gtk_widget_get_screen(window_));
}

void GtkForm::ApplyGeometry() {
    const Rect& b = form_.Bounds();
    if (emulated_maximize_)
        return;  // the stored bounds are the restored ones
    if (b.width != applied_.width || b.height != applied_.height) {
        if (b.width > 0 && b.height > 0) {
            if (form_.definition().border == BorderStyle::Dialog) {
                gtk_widget_set_size_request(gtk_bin_get_child(GTK_BIN(window_)),
                                            b.width - FrameExtra().width,
                                            b.height - FrameExtra().height);
            }
            // GTK sizes a window without its title bar.
            const int height = std::max(1, b.height - kHeaderBarHeight);
            gtk_window_set_default_size(GTK_WINDOW(window_), b.width, height);
            gtk_window_resize(GTK_WINDOW(window_), b.width, height);
        }
        applied_.width = b.width;
        applied_.height = b.height;
    }
    if (b.left != applied_.left || b.top != applied_.top) {
        gtk_window_move(GTK_WINDOW(window_), b.left, b.top);
        applied_.left = b.left;
        applied_.top = b.top;
    }
}

void GtkForm::ApplyState() {
    const WindowState state = form_.State();
    if (state == applied_state_)
        return;
    GtkWindow* w = GTK_WINDOW(window_);
    if (applied_state_ == WindowState::Minimized)
        gtk_window_deiconify(w);
    if (applied_state_ == WindowState::Maximized && state != WindowState::Maximized) {
        if (emulated_maximize_) {
            emulated_maximize_ = false;
            applied_ = {-1, -1, -1, -1};
            ApplyGeometry();
        } else {
            gtk_window_unmaximize(w);
        }
    }
    applied_state_ = state;
    if (state == WindowState::Minimized) {
        gtk_window_iconify(w);
    } else if (state == WindowState::Maximized) {
        if (CanMaximize()) {
            gtk_window_maximize(w);
        } else {
            // No window manager to do it: fill the work area ourselves.
            const Rect area = backend_.Screen();
            emulated_maximize_ = true;
            gtk_window_move(w, area.left, area.top);
            gtk_window_resize(w, area.width, std::max(1, area.height - kHeaderBarHeight));
        }
    }
}

void GtkForm::Sync() {
    PackForeignControls();
    if (form_.Caption() != title_ || title_.empty()) {
        title_ = form_.Caption();
        if (!titlebar_attached_)
            gtk_header_bar_set_title(GTK_HEADER_BAR(header_), title_.c_str());
        // Set after the title bar: gtk_window_set_titlebar resets the window's title.
        gtk_window_set_title(GTK_WINDOW(window_), title_.c_str());
    }
    ApplyGeometry();
    if (form_.Visible() && form_.Modal() != modal_) {
        modal_ = form_.Modal();
        GtkForm* owner = modal_ ? backend_.ModalOwner(this) : nullptr;
        gtk_window_set_transient_for(GTK_WINDOW(window_),
                                     owner ? GTK_WINDOW(owner->window_) : nullptr);
        gtk_window_set_modal(GTK_WINDOW(window_), modal_);
    }
    if (form_.Visible() != visible_) {
        visible_ = form_.Visible();
        if (visible_) {
            ApplyState();
            gtk_widget_show(window_);
            gtk_window_move(GTK_WINDOW(window_), applied_.left, applied_.top);
            if (emulated_maximize_) {
                const Rect area = backend_.Screen();
                gtk_window_move(GTK_WINDOW(window_), area.left, area.top);
            }
        } else {
            gtk_widget_hide(window_);
            if (modal_) {
                modal_ = false;
                gtk_window_set_modal(GTK_WINDOW(window_), FALSE);
            }
        }
    }
    ApplyState();
}

// Owned windows are the top-levels transient for this one: forms run modally over it, and
// message boxes and dialogs while they show. Hidden helper windows of its own widgets (tool
// tips) are transient for it too, and go with it.
bool GtkForm::OwnsLiveWindow() const {
    GList* all = gtk_window_list_toplevels();
    bool found = false;
    for (GList* it = all; it != nullptr && !found; it = it->next) {
        auto* window = GTK_WINDOW(it->data);
        found = GTK_WIDGET(window) != window_ &&
                gtk_window_get_transient_for(window) == GTK_WINDOW(window_) &&
                (gtk_widget_get_visible(GTK_WIDGET(window)) ||
                 backend_.IsFormWindow(GTK_WIDGET(window)));
    }
    g_list_free(all);
    return found;
}

gboolean GtkForm::OnDelete(GtkWidget*, GdkEvent*, gpointer self) {
    Form& form = static_cast<GtkForm*>(self)->form_;
    form.app().Guard(form, [&] { form.Close(); });
    return TRUE;  // the form decides: hide, free or end the application
}

gboolean GtkForm::OnWindowState(GtkWidget*, GdkEventWindowState* event, gpointer data) {
    auto* self = static_cast<GtkForm*>(data);
    const auto changed = event->changed_mask;
    const auto now = event->new_window_state;
    std::uint32_t command = 0;
    if ((changed & GDK_WINDOW_STATE_ICONIFIED) != 0) {
        const bool iconified = (now & GDK_WINDOW_STATE_ICONIFIED) != 0;
        if (iconified && self->applied_state_ != WindowState::Minimized) {
            self->applied_state_ = WindowState::Minimized;
            command = kScMinimize;
        } else if (!iconified && self->applied_state_ == WindowState::Minimized) {
            const bool maximized = (now & GDK_WINDOW_STATE_MAXIMIZED) != 0;
            self->applied_state_ = maximized ? WindowState::Maximized : WindowState::Normal;
            command = maximized ? kScMaximize : kScRestore;
        }
    } else if ((changed & GDK_WINDOW_STATE_MAXIMIZED) != 0) {
        const bool maximized = (now & GDK_WINDOW_STATE_MAXIMIZED) != 0;
        if (maximized && self->applied_state_ != WindowState::Maximized) {
            self->applied_state_ = WindowState::Maximized;
            command = kScMaximize;
        } else if (!maximized && self->applied_state_ == WindowState::Maximized &&
                   !self->emulated_maximize_) {
            self->applied_state_ = WindowState::Normal;
            command = kScRestore;
        }
    }
    if (command != 0)
        self->form_.SysCommand(command);  // the window already is in that state
    return FALSE;
}

}  // namespace kelvra::ui::gtk
