// The memo, radio buttons, progress bar and password field of the GTK backend, read back
// from the real widgets on an X server (Xvfb in CI).
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gtk/main_loop_wait.h"
#include "ui/application.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "ui/gtk/gtk_ui.h"
#include "update/login_prompt.h"

namespace kelvra::ui {
namespace {

class NoBoxes final : public MessageBoxes {
  public:
    MsgResult Show(const MessageBoxRequest&) override { return MsgResult::Ok; }
};

FormDefinition Dialog() {
    FormDefinition d;
    d.class_name = "TControlsDialog";
    d.caption = "Controls";
    d.border = BorderStyle::Dialog;
    d.client_width = 392;
    d.client_height = 371;
    d.position = FormPosition::Designed;
    return d;
}

// The licence dialog's controls, plus a second radio group inside a group box.
class ControlsForm final : public Form {
  public:
    explicit ControlsForm(Application& app)
        : Form(app, Dialog()),
          memo(*this, nullptr, "memo"),
          accept(*this, nullptr, "accept"),
          notaccept(*this, nullptr, "notaccept"),
          box(*this, nullptr, "box"),
          left(*this, &box, "left"),
          right(*this, &box, "right"),
          progress(*this, nullptr, "progress"),
          password(*this, nullptr, "password") {
        memo.SetBounds({10, 10, 200, 120});
        accept.SetBounds({10, 140, 120, 20});
        accept.SetCaption("I accept");
        notaccept.SetBounds({150, 140, 140, 20});
        notaccept.SetCaption("I do not accept");
        box.SetBounds({10, 170, 300, 60});
        left.SetBounds({10, 20, 100, 20});
        right.SetBounds({120, 20, 100, 20});
        progress.SetBounds({10, 240, 280, 16});
        password.SetBounds({10, 270, 193, 21});
    }
    Memo memo;
    RadioButton accept;
    RadioButton notaccept;
    GroupBox box;
    RadioButton left;
    RadioButton right;
    ProgressBar progress;
    Edit password;
};

GtkWidget* FindNamed(GtkWidget* root, const char* name) {
    if (g_strcmp0(gtk_widget_get_name(root), name) == 0)
        return root;
    if (!GTK_IS_CONTAINER(root))
        return nullptr;
    GList* children = gtk_container_get_children(GTK_CONTAINER(root));
    GtkWidget* found = nullptr;
    for (GList* l = children; l != nullptr && found == nullptr; l = l->next)
        found = FindNamed(GTK_WIDGET(l->data), name);
    g_list_free(children);
    return found;
}

void CollectEntries(GtkWidget* root, std::vector<GtkEntry*>& out) {
    if (GTK_IS_ENTRY(root))
        out.push_back(GTK_ENTRY(root));
    if (!GTK_IS_CONTAINER(root))
        return;
    GList* children = gtk_container_get_children(GTK_CONTAINER(root));
    for (GList* l = children; l != nullptr; l = l->next)
        CollectEntries(GTK_WIDGET(l->data), out);
    g_list_free(children);
}

std::string BufferText(GtkWidget* view) {
    GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(view));
    GtkTextIter start;
    GtkTextIter end;
    gtk_text_buffer_get_bounds(buffer, &start, &end);
    gchar* text = gtk_text_buffer_get_text(buffer, &start, &end, TRUE);
    std::string out(text);
    g_free(text);
    return out;
}

void SendKey(Form& form, guint keyval) {
    GdkWindow* window = gtk_widget_get_window(GTK_WIDGET(form.Handle()));
    for (GdkEventType type : {GDK_KEY_PRESS, GDK_KEY_RELEASE}) {
        GdkEvent* event = gdk_event_new(type);
        event->key.window = GDK_WINDOW(g_object_ref(window));
        event->key.keyval = keyval;
        event->key.time = GDK_CURRENT_TIME;
        gdk_event_set_device(
            event, gdk_seat_get_keyboard(gdk_display_get_default_seat(gdk_display_get_default())));
        gdk_display_put_event(gdk_display_get_default(), event);
        gdk_event_free(event);
    }
}

class GtkControls : public ::testing::Test {
  protected:
    GtkControls() : backend(gtk::MakeGtkBackend()), app(*backend, boxes) {}

    // Turns the main loop until cond holds; false after five seconds.
    static bool WaitFor(const std::function<bool()>& cond) {
        return test::PumpUntil(cond, std::chrono::seconds(5));
    }
    ControlsForm& ShownForm() {
        auto& form = app.CreateForm<ControlsForm>();
        form.Show();
        EXPECT_TRUE(WaitFor([&] { return gtk_widget_get_mapped(GTK_WIDGET(form.Handle())); }));
        return form;
    }
    GtkWidget* Widget(Form& form, const char* name) {
        GtkWidget* w = FindNamed(GTK_WIDGET(form.Handle()), name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }

    NoBoxes boxes;
    std::unique_ptr<Backend> backend;
    Application app;
};

TEST_F(GtkControls, MemoIsAReadOnlyWrappingViewWithAVerticalScrollBar) {
    auto& form = ShownForm();
    std::string text;
    for (int i = 0; i < 40; ++i)
        text += "Line " + std::to_string(i) + " of the release notes, long enough to wrap.\n";
    form.memo.SetText(text);
    GtkWidget* view = Widget(form, "memo");
    ASSERT_TRUE(GTK_IS_TEXT_VIEW(view));
    EXPECT_EQ(BufferText(view), text);
    EXPECT_FALSE(gtk_text_view_get_editable(GTK_TEXT_VIEW(view)));
    EXPECT_EQ(gtk_text_view_get_wrap_mode(GTK_TEXT_VIEW(view)), GTK_WRAP_WORD_CHAR);

    GtkWidget* scrolled = gtk_widget_get_parent(view);
    ASSERT_TRUE(GTK_IS_SCROLLED_WINDOW(scrolled));
    GtkPolicyType horizontal;
    GtkPolicyType vertical;
    gtk_scrolled_window_get_policy(GTK_SCROLLED_WINDOW(scrolled), &horizontal, &vertical);
    EXPECT_EQ(horizontal, GTK_POLICY_NEVER);
    EXPECT_EQ(vertical, GTK_POLICY_ALWAYS);
    // Wrapped lines never widen the view; the long text scrolls vertically.
    GtkAdjustment* v = gtk_scrolled_window_get_vadjustment(GTK_SCROLLED_WINDOW(scrolled));
    EXPECT_TRUE(WaitFor([&] {
        return gtk_adjustment_get_upper(v) > gtk_adjustment_get_page_size(v) &&
               gtk_widget_get_allocated_width(scrolled) <= 200;
    })) << "upper "
        << gtk_adjustment_get_upper(v) << ", page " << gtk_adjustment_get_page_size(v);
}

TEST_F(GtkControls, TypingDoesNotChangeTheMemo) {
    auto& form = ShownForm();
    form.memo.SetText("Terms");
    GtkWidget* view = Widget(form, "memo");
    // Counts the keys that reach the view, so the check below runs after they were handled.
    int keys = 0;
    auto on_key = +[](GtkWidget*, GdkEvent*, gpointer count) -> gboolean {
        ++*static_cast<int*>(count);
        return FALSE;
    };
    g_signal_connect(view, "key-press-event", G_CALLBACK(on_key), &keys);
    gtk_widget_grab_focus(view);
    SendKey(form, GDK_KEY_x);
    SendKey(form, GDK_KEY_BackSpace);
    SendKey(form, GDK_KEY_Delete);
    ASSERT_TRUE(WaitFor([&] { return keys == 3; })) << keys << " keys reached the memo";
    g_signal_emit_by_name(view, "insert-at-cursor", "pasted");
    EXPECT_EQ(BufferText(view), "Terms");
    g_signal_handlers_disconnect_by_data(view, &keys);
}

TEST_F(GtkControls, RichTextIsShownAsItsPlainText) {
    auto& form = ShownForm();
    form.memo.SetText(
        "{\\rtf1\\ansi\\ansicpg1252{\\fonttbl{\\f0 Arial;}}\\f0 Version \\b 2.1\\b0\\par "
        "Caf\\'e9 \\u20320?\\par}",
        true);
    EXPECT_EQ(BufferText(Widget(form, "memo")), "Version 2.1\nCaf\u00E9 \u4F60\n");
    form.memo.SetText("{\\rtf1 shown as typed}", false);
    EXPECT_EQ(BufferText(Widget(form, "memo")), "{\\rtf1 shown as typed}");
    // Text that is not UTF-8 still shows, with the bad bytes replaced.
    form.memo.SetText(std::string("ab\xFF\0cd", 6));
    EXPECT_EQ(BufferText(Widget(form, "memo")), "ab\uFFFDcd");
}

TEST_F(GtkControls, ClickedRadioButtonUnchecksOnlyItsOwnGroup) {
    auto& form = ShownForm();
    EXPECT_FALSE(form.accept.Checked()) << "no button of a new group is checked";
    EXPECT_FALSE(form.notaccept.Checked());
    form.notaccept.SetChecked(true);
    form.right.SetChecked(true);
    GtkWidget* accept = Widget(form, "accept");
    GtkWidget* notaccept = Widget(form, "notaccept");
    ASSERT_TRUE(GTK_IS_RADIO_BUTTON(accept));
    EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(accept)), "I accept");
    EXPECT_TRUE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(notaccept)));
    EXPECT_FALSE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(accept)));

    gtk_button_clicked(GTK_BUTTON(accept));
    EXPECT_TRUE(form.accept.Checked());
    EXPECT_FALSE(form.notaccept.Checked());
    EXPECT_TRUE(form.right.Checked()) << "the group box's buttons are a group of their own";
    EXPECT_FALSE(form.left.Checked());

    gtk_button_clicked(GTK_BUTTON(Widget(form, "left")));
    EXPECT_TRUE(form.left.Checked());
    EXPECT_FALSE(form.right.Checked());
    EXPECT_TRUE(form.accept.Checked());

    // The program may leave a group with nothing checked.
    form.accept.SetChecked(false);
    EXPECT_FALSE(form.accept.Checked());
    EXPECT_FALSE(form.notaccept.Checked());
    EXPECT_FALSE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(accept)));
    gtk_button_clicked(GTK_BUTTON(notaccept));
    EXPECT_TRUE(form.notaccept.Checked());

    // What the user left is still there once the dialog is hidden.
    form.Hide();
    EXPECT_TRUE(form.notaccept.Checked());
    EXPECT_FALSE(form.accept.Checked());
}

TEST_F(GtkControls, ProgressBarFractionFollowsRangeAndClampedPosition) {
    auto& form = ShownForm();
    GtkProgressBar* bar = GTK_PROGRESS_BAR(Widget(form, "progress"));
    struct Step {
        int min, max, position;
        int want_position;
        double fraction;
    };
    const Step steps[] = {
        {0, 200, 50, 50, 0.25}, {0, 200, 500, 200, 1.0}, {0, 200, -5, 0, 0.0},
        {-100, 100, 0, 0, 0.5}, {10, 10, 99, 10, 0.0},   {0, 1000, 999, 999, 0.999},
        {5, 1, 3, 5, 0.0},  // a maximum below the minimum is the minimum
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(testing::Message() << s.min << ".." << s.max << " at " << s.position);
        form.progress.SetRange(s.min, s.max);
        form.progress.SetPosition(s.position);
        EXPECT_EQ(form.progress.Position(), s.want_position);
        EXPECT_NEAR(gtk_progress_bar_get_fraction(bar), s.fraction, 1e-9);
    }
    form.progress.SetRange(0, 100);
    form.progress.SetPosition(40);
    form.progress.SetRange(0, 20);  // the position follows a narrowed range
    EXPECT_EQ(form.progress.Position(), 20);
    EXPECT_NEAR(gtk_progress_bar_get_fraction(bar), 1.0, 1e-9);
}

TEST_F(GtkControls, AnimationIsASpinnerRunningWhileActive) {
    auto& form = ShownForm();
    Animation animation(form, nullptr, "animation");
    animation.SetBounds({220, 10, 160, 60});
    GtkWidget* widget = Widget(form, "animation");
    ASSERT_NE(widget, nullptr);
    ASSERT_TRUE(GTK_IS_SPINNER(widget));
    EXPECT_TRUE(gtk_widget_get_visible(widget));
    int width = 0;
    int height = 0;
    gtk_widget_get_size_request(widget, &width, &height);
    EXPECT_EQ(width, 160);
    EXPECT_EQ(height, 60);
    const auto spinning = [&] {
        gboolean active = FALSE;
        g_object_get(widget, "active", &active, nullptr);
        return active != FALSE;
    };
    EXPECT_FALSE(animation.Active());
    EXPECT_FALSE(spinning()) << "made stopped";
    animation.SetActive(true);
    EXPECT_TRUE(spinning());
    animation.SetBounds({220, 20, 160, 60});
    EXPECT_TRUE(spinning()) << "moving does not stop it";
    animation.SetActive(false);
    EXPECT_FALSE(spinning());
}

TEST_F(GtkControls, PasswordFieldHidesTypedTextButKeepsIt) {
    auto& form = ShownForm();
    GtkWidget* entry = FindNamed(GTK_WIDGET(form.Handle()), "GtkEntry");
    ASSERT_NE(entry, nullptr);
    EXPECT_TRUE(gtk_entry_get_visibility(GTK_ENTRY(entry)));
    form.password.SetPasswordChar('*');
    EXPECT_FALSE(gtk_entry_get_visibility(GTK_ENTRY(entry)));
    EXPECT_EQ(gtk_entry_get_invisible_char(GTK_ENTRY(entry)), static_cast<gunichar>('*'));
    gtk_widget_grab_focus(entry);
    SendKey(form, GDK_KEY_p);
    SendKey(form, GDK_KEY_w);
    ASSERT_TRUE(WaitFor([&] { return form.password.Text() == "pw"; }));
    // The layout draws the mask, never the typed characters.
    const char* shown = pango_layout_get_text(gtk_entry_get_layout(GTK_ENTRY(entry)));
    EXPECT_STREQ(shown, "**");
    form.password.SetPasswordChar(0);
    EXPECT_TRUE(gtk_entry_get_visibility(GTK_ENTRY(entry)));
    EXPECT_EQ(form.password.Text(), "pw");
}

TEST_F(GtkControls, SignInPromptMasksThePasswordOnly) {
    auto& prompt = app.CreateForm<update::TLoginPromptForm>();
    prompt.Show();
    std::vector<GtkEntry*> entries;
    CollectEntries(GTK_WIDGET(prompt.Handle()), entries);
    ASSERT_EQ(entries.size(), 2u);
    GtkEntry* user = entries[0];
    GtkEntry* password = entries[1];
    EXPECT_TRUE(gtk_entry_get_visibility(user));
    EXPECT_FALSE(gtk_entry_get_visibility(password));
    EXPECT_EQ(gtk_entry_get_invisible_char(password), static_cast<gunichar>('*'));
    gtk_entry_set_text(password, "pa55");  // as if typed
    EXPECT_EQ(prompt.Edit2().Text(), "pa55");
    app.ReleaseForm(&prompt);
}

}  // namespace
}  // namespace kelvra::ui
