// The GTK backend object: creates the native peers, runs the loops over the default main
// context and offers key events to the application's hook slot before GTK handles them.
#pragma once

#include <gtk/gtk.h>

#include <vector>

#include "ui/backend.h"
#include "ui/gtk/gtk_ui.h"

namespace kelvra::ui::gtk {

class GtkForm;

class GtkBackend final : public Backend {
  public:
    explicit GtkBackend(GtkUiOptions options);
    ~GtkBackend() override;

    std::unique_ptr<NativeForm> CreateForm(Form& form) override;
    std::unique_ptr<NativeControl> CreateControl(Control& control) override;
    std::unique_ptr<NativeTimer> CreateTimer(Timer& timer) override;
    void RunLoop(Application& app) override;
    void RunModalLoop(Application& app, const std::function<bool()>& done) override;
    void Post(std::function<void()> task) override;
    void WakeUp() override;
    Rect Screen() const override;
    void ProcessPendingMessages() override;

    const GtkUiOptions& options() const { return options_; }
    void Register(GtkForm* form);
    void Unregister(GtkForm* form);
    // The form whose window is the toplevel of gdk_window, or null.
    GtkForm* FormOf(GdkWindow* gdk_window) const;
    bool IsFormWindow(const GtkWidget* window) const;
    // The innermost visible modal form other than except, or null.
    GtkForm* ModalOwner(const GtkForm* except) const;

  private:
    static void HandleEvent(GdkEvent* event, gpointer self);

    GtkUiOptions options_;
    Application* app_ = nullptr;
    std::vector<GtkForm*> forms_;
};

}  // namespace kelvra::ui::gtk
