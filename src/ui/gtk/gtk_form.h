// The native window of one form: a GtkWindow with a GtkHeaderBar as its title bar, and a
// client area where client-aligned controls fill a box and the others sit at their
// designed places.
#pragma once

#include <gtk/gtk.h>

#include <map>
#include <string>
#include <vector>

#include "ui/backend.h"
#include "ui/gtk/gtk_ui.h"

namespace kelvra::ui {
class Control;
class Form;
class TitleBar;
}  // namespace kelvra::ui

namespace kelvra::ui::gtk {

class GtkBackend;

class GtkForm final : public NativeForm {
  public:
    GtkForm(GtkBackend& backend, Form& form);
    ~GtkForm() override;

    NativeWindow Handle() const override { return window_; }
    void Sync() override;
    Rect FrameExtra() const override { return {0, 0, 0, kHeaderBarHeight}; }
    bool OwnsLiveWindow() const override;
    NativeWindow OwnerWindow() const override {
        return gtk_window_get_transient_for(GTK_WINDOW(window_));
    }

    Form& form() const { return form_; }
    GtkWidget* header() const { return header_; }
    // Places a widget: client-aligned widgets fill the client area, others go to (x, y).
    void PackClient(GtkWidget* widget);
    void PackFixed(GtkWidget* widget, int x, int y);
    void MoveFixed(GtkWidget* widget, int x, int y);
    // The title bar control takes over the header bar: the caption is no longer drawn.
    void AttachTitleBar(GtkWidget* items_start, GtkWidget* items_end);
    // The hidden first member of the radio group of the radio buttons with this parent
    // control (null: on the form itself). A GTK radio group always has one active member;
    // this one is active while none of the shown buttons is checked.
    GtkWidget* RadioGroupLeader(const Control* parent);

  private:
    static gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer self);
    static gboolean OnWindowState(GtkWidget*, GdkEventWindowState* event, gpointer self);
    void PackForeignControls();
    void ApplyGeometry();
    void ApplyState();
    bool CanMaximize() const;

    GtkBackend& backend_;
    Form& form_;
    GtkWidget* window_ = nullptr;
    GtkWidget* header_ = nullptr;
    GtkWidget* client_box_ = nullptr;
    GtkWidget* fixed_ = nullptr;
    std::vector<const void*> packed_;
    std::map<const Control*, GtkWidget*> radio_leaders_;
    bool titlebar_attached_ = false;
    bool visible_ = false;
    bool modal_ = false;
    std::string title_;
    Rect applied_{-1, -1, -1, -1};
    WindowState applied_state_ = WindowState::Normal;
    bool emulated_maximize_ = false;
};

}  // namespace kelvra::ui::gtk
