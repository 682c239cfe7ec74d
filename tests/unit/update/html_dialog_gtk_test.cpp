// The Linux client's HTML dialog with real GTK and WebKitGTK (under Xvfb): modal, owned by
// the given window, titled by its page, and returning once the window is closed, by the
// user or by the page itself.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <string>

#include "update/gtk/html_dialog_gtk.h"
#include "update/html_dialog.h"

namespace kelvra::update {
namespace {

constexpr guint kDeadlineSeconds = 60;

// The first visible toplevel other than owner, or null.
GtkWindow* DialogWindow(GtkWindow* owner) {
    GList* all = gtk_window_list_toplevels();
    GtkWindow* found = nullptr;
    for (GList* it = all; it != nullptr; it = it->next) {
        auto* w = GTK_WINDOW(it->data);
        if (w != owner && gtk_widget_get_visible(GTK_WIDGET(w)))
            found = w;
    }
    g_list_free(all);
    return found;
}

struct Watch {
    GtkWindow* owner = nullptr;
    bool modal = false;
    bool owned = false;
    std::string title;
    bool deadline_hit = false;
};

class HtmlDialogGtk : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ASSERT_TRUE(gtk_init_check(nullptr, nullptr)); }
    void SetUp() override { gtk::InstallHtmlDialog(); }
    void TearDown() override { SetHtmlDialogHandler({}); }

    // Closes every dialog window once the deadline passes, so that a failure cannot hang.
    static guint ArmDeadline(Watch& watch) {
        return g_timeout_add_seconds(
            kDeadlineSeconds,
            +[](gpointer data) -> gboolean {
                auto* w = static_cast<Watch*>(data);
                w->deadline_hit = true;
                if (GtkWindow* dialog = DialogWindow(w->owner))
                    gtk_widget_destroy(GTK_WIDGET(dialog));
                return G_SOURCE_REMOVE;
            },
            &watch);
    }
};

TEST_F(HtmlDialogGtk, ModalOwnedTitledAndEndsWhenClosed) {
    GtkWidget* owner = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_widget_show(owner);
    Watch watch;
    watch.owner = GTK_WINDOW(owner);
    const guint deadline = ArmDeadline(watch);
    // The user closes the dialog once its page has loaded.
    const guint poll = g_timeout_add(
        20,
        +[](gpointer data) -> gboolean {
            auto* w = static_cast<Watch*>(data);
            GtkWindow* dialog = DialogWindow(w->owner);
            if (dialog == nullptr)
                return G_SOURCE_CONTINUE;
            const char* title = gtk_window_get_title(dialog);
            if (title == nullptr || std::string(title) != "Release notes")
                return G_SOURCE_CONTINUE;
            w->title = title;
            w->modal = gtk_window_get_modal(dialog);
            w->owned = gtk_window_get_transient_for(dialog) == w->owner;
            gtk_widget_destroy(GTK_WIDGET(dialog));
            return G_SOURCE_REMOVE;
        },
        &watch);
    ShowHtmlDialog(owner, "data:text/html,<title>Release notes</title><p>New things</p>");
    g_source_remove(deadline);
    EXPECT_FALSE(watch.deadline_hit);
    EXPECT_EQ(watch.title, "Release notes");
    EXPECT_TRUE(watch.modal);
    EXPECT_TRUE(watch.owned);
    if (watch.deadline_hit)
        g_source_remove(poll);
    gtk_widget_destroy(owner);
}

TEST_F(HtmlDialogGtk, PageClosesItsOwnDialog) {
    Watch watch;
    const guint deadline = ArmDeadline(watch);
    ShowHtmlDialog(nullptr, "data:text/html,<script>window.close()</script>");
    g_source_remove(deadline);
    EXPECT_FALSE(watch.deadline_hit);
    EXPECT_EQ(DialogWindow(nullptr), nullptr);
}

}  // namespace
}  // namespace kelvra::update
