#include "ui/gtk/gtk_backend.h"

#include <algorithm>

#include "platform/error.h"
#include "ui/application.h"
#include "ui/form.h"
#include "ui/gtk/gtk_controls.h"
#include "ui/gtk/gtk_form.h"

namespace kelvra::ui::gtk {
namespace {

// A compact header bar of exactly kHeaderBarHeight pixels, and windows whose outer size
// is their GTK size (no shadow or resize margin around the client-side frame).
constexpr const char* kCss = R"css(
window.kelvra-form, window.kelvra-form.solid-csd, window.kelvra-form.csd {
  margin: 0; padding: 0; box-shadow: none; border-width: 0;
}
window.kelvra-form decoration, window.kelvra-form.solid-csd decoration {
  margin: 0; padding: 0; box-shadow: none; border-width: 0; border-radius: 0;
}
window.kelvra-form headerbar {
  min-height: 0; padding-top: 0; padding-bottom: 0; margin: 0; border-radius: 0;
}
window.kelvra-form headerbar button {
  min-height: 20px; min-width: 20px; margin-top: 0; margin-bottom: 0;
  padding-top: 1px; padding-bottom: 1px;
}
window.kelvra-form headerbar .title { font-size: 12px; }
)css";

void InstallCss() {
    GtkCssProvider* css = gtk_css_provider_new();
    gtk_css_provider_load_from_data(css, kCss, -1, nullptr);
    gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(css),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(css);
}

}  // namespace

GtkBackend::GtkBackend(GtkUiOptions options) : options_(std::move(options)) {
    if (!gtk_init_check(nullptr, nullptr))
        throw Error("Cannot open the display");
    InstallCss();
    gdk_event_handler_set(HandleEvent, this, nullptr);
}

GtkBackend::~GtkBackend() {
    gdk_event_handler_set([](GdkEvent* event, gpointer) { gtk_main_do_event(event); }, nullptr,
                          nullptr);
}

std::unique_ptr<NativeForm> GtkBackend::CreateForm(Form& form) {
    app_ = &form.app();
    return std::make_unique<GtkForm>(*this, form);
}

std::unique_ptr<NativeControl> GtkBackend::CreateControl(Control& control) {
    return MakeControl(control);
}

std::unique_ptr<NativeTimer> GtkBackend::CreateTimer(Timer& timer) {
    return std::make_unique<GtkTimer>(timer);
}

void GtkBackend::RunLoop(Application& app) {
    app_ = &app;
    while (!app.Terminated())
        g_main_context_iteration(nullptr, TRUE);
}

void GtkBackend::RunModalLoop(Application& app, const std::function<bool()>& done) {
    app_ = &app;
    while (!done())
        g_main_context_iteration(nullptr, TRUE);
}

void GtkBackend::Post(std::function<void()> task) {
    auto* heap = new std::function<void()>(std::move(task));
    g_idle_add_full(
        G_PRIORITY_DEFAULT_IDLE,
        [](gpointer data) -> gboolean {
            (*static_cast<std::function<void()>*>(data))();
            return G_SOURCE_REMOVE;
        },
        heap, [](gpointer data) { delete static_cast<std::function<void()>*>(data); });
}

void GtkBackend::WakeUp() {
    g_main_context_wakeup(nullptr);
}

void GtkBackend::ProcessPendingMessages() {
    while (g_main_context_pending(nullptr))
        g_main_context_iteration(nullptr, FALSE);
}

Rect GtkBackend::Screen() const {
    GdkDisplay* display = gdk_display_get_default();
    GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
    if (monitor == nullptr)
        monitor = gdk_display_get_monitor(display, 0);
    GdkRectangle area{0, 0, 1024, 768};
    if (monitor != nullptr)
        gdk_monitor_get_workarea(monitor, &area);
    return {area.x, area.y, area.width, area.height};
}

void GtkBackend::Register(GtkForm* form) {
    forms_.push_back(form);
}

void GtkBackend::Unregister(GtkForm* form) {
    forms_.erase(std::remove(forms_.begin(), forms_.end(), form), forms_.end());
    if (forms_.empty())
        app_ = nullptr;  // the application may be gone next
}

GtkForm* GtkBackend::FormOf(GdkWindow* gdk_window) const {
    if (gdk_window == nullptr)
        return nullptr;
    GdkWindow* top = gdk_window_get_toplevel(gdk_window);
    for (GtkForm* form : forms_) {
        GtkWidget* w = GTK_WIDGET(form->Handle());
        if (gtk_widget_get_window(w) == top)
            return form;
    }
    return nullptr;
}

bool GtkBackend::IsFormWindow(const GtkWidget* window) const {
    return std::any_of(forms_.begin(), forms_.end(),
                       [window](const GtkForm* form) { return form->Handle() == window; });
}

GtkForm* GtkBackend::ModalOwner(const GtkForm* except) const {
    for (auto it = forms_.rbegin(); it != forms_.rend(); ++it) {
        if (*it != except && (*it)->form().Visible() && (*it)->form().Modal())
            return *it;
    }
    return nullptr;
}

void GtkBackend::HandleEvent(GdkEvent* event, gpointer data) {
    auto* self = static_cast<GtkBackend*>(data);
    if (self->app_ != nullptr && (event->type == GDK_KEY_PRESS || event->type == GDK_KEY_RELEASE)) {
        // Keys of the application's own windows go to the hook slot first; message boxes
        // and other windows are left alone.
        if (GtkForm* form = self->FormOf(event->key.window)) {
            Message message;
            message.window = form->Handle();
            message.message = event->type == GDK_KEY_PRESS ? kWmKeyDown : kWmKeyUp;
            message.wparam = VirtualKeyOf(event->key.keyval);
            message.lparam = static_cast<std::intptr_t>(event->key.hardware_keycode) << 16;
            if (self->app_->RouteMessage(message))
                return;  // handled: neither translated nor dispatched
        }
    }
    gtk_main_do_event(event);
}

std::unique_ptr<Backend> MakeGtkBackend(GtkUiOptions options) {
    return std::make_unique<GtkBackend>(std::move(options));
}

}  // namespace kelvra::ui::gtk
