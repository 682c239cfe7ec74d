// The GTK backend on a real X server (Xvfb in CI): sizes, captions, header-bar items,
// loops, timers and the hook slot.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "gtk/main_loop_wait.h"
#include "ui/application.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "ui/gtk/gtk_ui.h"

namespace kelvra::ui {
namespace {

using gtk::kHeaderBarHeight;

class AnswerBoxes final : public MessageBoxes {
  public:
    MsgResult Show(const MessageBoxRequest& request) override {
        shown.push_back(request.text);
        return MsgResult::Ok;
    }
    std::vector<std::string> shown;
};

FormDefinition Def(const char* cls, BorderStyle border, int w, int h) {
    FormDefinition d;
    d.class_name = cls;
    d.caption = "Kelvra教学云平台";
    d.border = border;
    d.client_width = w;
    d.client_height = h;
    d.position = FormPosition::Designed;
    return d;
}

class Plain : public Form {
  public:
    Plain(Application& app, const FormDefinition& d) : Form(app, d) {}
};

class WithTitleBar final : public Form {
  public:
    explicit WithTitleBar(Application& app)
        : Form(app, Def("TFrmBrowser", BorderStyle::Sizeable, 500, 300)),
          TitleBar1(*this, "TitleBar1", Items()) {}
    static std::vector<TitleBarItem> Items() {
        TitleBarItem back;
        back.name = "tle_btn_back";
        back.style = TitleBarItemStyle::Button;
        back.hint = "后退";
        back.show_hint = true;
        back.height = 22;
        TitleBarItem caption;
        caption.name = "tle_caption";
        caption.caption = "Kelvra教学云平台";
        caption.width = 90;
        caption.height = 23;
        return {back, caption};
    }
    TitleBar TitleBar1;
};

class WithEdit final : public Form {
  public:
    explicit WithEdit(Application& app)
        : Form(app, Def("TFrmsysSet", BorderStyle::Dialog, 464, 153)),
          edit(*this, nullptr, "edt_webroot"),
          save(*this, nullptr, "btn_save") {
        edit.SetBounds({82, 45, 361, 21});
        save.SetBounds({280, 103, 75, 25});
        save.SetCaption("保存");
        save.SetDefault(true);
    }
    Edit edit;
    Button save;
};

class GtkUi : public ::testing::Test {
  protected:
    GtkUi() : backend(gtk::MakeGtkBackend()), app(*backend, boxes) {}

    // Turns the main loop until cond holds; false after five seconds.
    static bool WaitFor(const std::function<bool()>& cond) {
        return test::PumpUntil(cond, std::chrono::seconds(5));
    }
    static GtkWindow* Win(Form& form) { return GTK_WINDOW(form.Handle()); }
    static bool OuterIs(Form& form, int w, int h) {
        GdkWindow* gdk = gtk_widget_get_window(GTK_WIDGET(Win(form)));
        if (gdk == nullptr || !gtk_widget_get_mapped(GTK_WIDGET(Win(form))))
            return false;
        GdkRectangle frame;
        gdk_window_get_frame_extents(gdk, &frame);
        last = "window " + std::to_string(gdk_window_get_width(gdk)) + "x" +
               std::to_string(gdk_window_get_height(gdk)) + ", frame " +
               std::to_string(frame.width) + "x" + std::to_string(frame.height);
        return gdk_window_get_width(gdk) == w && gdk_window_get_height(gdk) == h &&
               frame.width == w && frame.height == h;
    }
    static bool ClientIs(Form& form, int w, int h) {
        GtkWidget* client = gtk_bin_get_child(GTK_BIN(Win(form)));
        GtkAllocation a;
        gtk_widget_get_allocation(client, &a);
        last = "client " + std::to_string(a.width) + "x" + std::to_string(a.height);
        return a.width == w && a.height == h;
    }

    static inline std::string last;  // what the last size check saw
    AnswerBoxes boxes;
    std::unique_ptr<Backend> backend;
    Application app;
};

TEST_F(GtkUi, OuterSizeIsClientPlusHeaderBarAndFollowsResizes) {
    auto& form = app.CreateForm<Plain>(Def("TFrmBrowser", BorderStyle::Sizeable, 962, 710));
    EXPECT_EQ(form.Width(), 962);
    EXPECT_EQ(form.Height(), 710 + kHeaderBarHeight);
    form.Show();
    ASSERT_TRUE(WaitFor([&] { return OuterIs(form, 962, 710 + kHeaderBarHeight); })) << last;
    ASSERT_TRUE(WaitFor([&] { return ClientIs(form, 962, 710); })) << last;
    form.SetWidth(800);
    form.SetHeight(600);
    EXPECT_TRUE(WaitFor([&] { return OuterIs(form, 800, 600); })) << last;
    EXPECT_TRUE(WaitFor([&] { return ClientIs(form, 800, 600 - kHeaderBarHeight); })) << last;
    form.SetClientSize(300, 200);
    EXPECT_TRUE(WaitFor([&] { return OuterIs(form, 300, 200 + kHeaderBarHeight); })) << last;
}

TEST_F(GtkUi, FixedDialogKeepsItsDesignedClientSize) {
    auto& dialog = app.CreateForm<WithEdit>();
    dialog.Show();
    EXPECT_FALSE(gtk_window_get_resizable(Win(dialog)));
    EXPECT_TRUE(WaitFor([&] { return OuterIs(dialog, 464, 153 + kHeaderBarHeight); })) << last;
    EXPECT_TRUE(WaitFor([&] { return ClientIs(dialog, 464, 153); })) << last;
}

TEST_F(GtkUi, ChineseCaptionIsTheWindowTitleAndTheHeaderTitle) {
    auto& form = app.CreateForm<Plain>(Def("TFrmMain", BorderStyle::Sizeable, 400, 300));
    EXPECT_STREQ(gtk_window_get_title(Win(form)), "Kelvra教学云平台");
    form.SetCaption("第一课 – 分数");
    GtkWidget* header = gtk_window_get_titlebar(Win(form));
    ASSERT_TRUE(GTK_IS_HEADER_BAR(header));
    EXPECT_STREQ(gtk_window_get_title(Win(form)), "第一课 – 分数");
    EXPECT_STREQ(gtk_header_bar_get_title(GTK_HEADER_BAR(header)), "第一课 – 分数");
}

// The header bar's item widgets, by name.
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

TEST_F(GtkUi, TitleBarItemsLiveInTheHeaderBarAndReactOnlyWhenEnabled) {
    auto& form = app.CreateForm<WithTitleBar>();
    EXPECT_STREQ(gtk_window_get_title(Win(form)), "Kelvra教学云平台")
        << "placing the title bar keeps the window's title";
    form.Show();
    ASSERT_TRUE(WaitFor([&] { return gtk_widget_get_mapped(GTK_WIDGET(Win(form))); }));
    GdkWindow* gdk = gtk_widget_get_window(GTK_WIDGET(Win(form)));
    GdkAtom utf8 = gdk_atom_intern_static_string("UTF8_STRING");
    guchar* data = nullptr;
    gint length = 0;
    ASSERT_TRUE(gdk_property_get(gdk, gdk_atom_intern_static_string("_NET_WM_NAME"), utf8, 0, 1024,
                                 FALSE, nullptr, nullptr, &length, &data));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), static_cast<std::size_t>(length)),
              "Kelvra教学云平台")
        << "the X server sees the caption";
    g_free(data);
    form.SetCaption("FrmBrowser");
    GtkWidget* header = gtk_window_get_titlebar(Win(form));
    EXPECT_STREQ(gtk_window_get_title(Win(form)), "FrmBrowser");
    // With a title bar of items the caption is not drawn: an empty custom title stands in.
    GtkWidget* custom = gtk_header_bar_get_custom_title(GTK_HEADER_BAR(header));
    ASSERT_TRUE(GTK_IS_LABEL(custom));
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(custom)), "");
    GtkWidget* back = FindNamed(header, "tle_btn_back");
    GtkWidget* caption = FindNamed(header, "tle_caption");
    ASSERT_TRUE(GTK_IS_BUTTON(back));
    ASSERT_TRUE(GTK_IS_LABEL(caption));
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(caption)), "Kelvra教学云平台");
    gchar* tip = gtk_widget_get_tooltip_text(back);
    EXPECT_STREQ(tip, "后退");
    g_free(tip);

    int clicks = 0;
    form.TitleBar1.SetItemClick(0, [&] { ++clicks; });
    gtk_button_clicked(GTK_BUTTON(back));
    EXPECT_EQ(clicks, 1);
    form.TitleBar1.SetItemEnabled(0, false);
    EXPECT_FALSE(gtk_widget_get_sensitive(back));
    form.TitleBar1.ClickItem(0);
    EXPECT_EQ(clicks, 1);

    form.TitleBar1.SetItemCaption(1, "第二页");
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(caption)), "第二页");
    form.TitleBar1.SetItemVisible(1, false);
    EXPECT_FALSE(gtk_widget_get_visible(caption));
    form.TitleBar1.SetItemVisible(1, true);
    EXPECT_TRUE(gtk_widget_get_visible(caption));

    form.SetModalResult(ModalResult::None);
    form.TitleBar1.SetItemClick(0, [] { throw std::runtime_error("Nothing to go back to"); });
    form.TitleBar1.SetItemEnabled(0, true);
    gtk_button_clicked(GTK_BUTTON(back));
    ASSERT_EQ(boxes.shown.size(), 1u) << "an escaped error reaches the error box";
    EXPECT_EQ(boxes.shown[0], "Nothing to go back to.");
}

TEST_F(GtkUi, ModalRunEndsAsCancelledOnTerminateAndHidesTheForm) {
    auto& main = app.CreateForm<Plain>(Def("TFrmMain", BorderStyle::Sizeable, 400, 300));
    auto& login = app.CreateForm<Plain>(Def("TFrmLogin", BorderStyle::Dialog, 300, 200));
    Timer timer(login, "timer_update", 30, true);
    bool after = false;
    timer.OnTimer = [&] {
        timer.SetEnabled(false);
        EXPECT_TRUE(gtk_widget_get_visible(GTK_WIDGET(Win(login))));
        EXPECT_TRUE(gtk_window_get_modal(Win(login)));
        app.Terminate();
        after = true;  // code after the request still runs
    };
    EXPECT_EQ(login.ShowModal(), ModalResult::Cancel);
    EXPECT_TRUE(after);
    EXPECT_FALSE(gtk_widget_get_visible(GTK_WIDGET(Win(login))));
    EXPECT_FALSE(gtk_window_get_modal(Win(login)));
    app.Run();  // returns at once: the request came first
    EXPECT_FALSE(gtk_widget_get_visible(GTK_WIDGET(Win(main))));
}

TEST_F(GtkUi, ModalRunEndsWithItsResult) {
    app.CreateForm<Plain>(Def("TFrmMain", BorderStyle::Sizeable, 400, 300));
    auto& dialog = app.CreateForm<WithEdit>();
    dialog.save.OnClick = [&] { dialog.SetModalResult(ModalResult::Ok); };
    Timer timer(dialog, "press", 20, true);
    timer.OnTimer = [&] {
        timer.SetEnabled(false);
        gtk_button_clicked(GTK_BUTTON(FindNamed(GTK_WIDGET(Win(dialog)), "GtkButton")));
    };
    EXPECT_EQ(dialog.ShowModal(), ModalResult::Ok);
    EXPECT_FALSE(app.Terminated());
}

TEST_F(GtkUi, TimersTickAtTheirIntervalUntilDisabled) {
    auto& form = app.CreateForm<Plain>(Def("TFrmMain", BorderStyle::Sizeable, 400, 300));
    Timer fast(form, "fast", 10, true);
    Timer slow(form, "slow", 300, true);
    int ticks = 0;
    int slow_ticks = 0;
    fast.OnTimer = [&] {
        if (++ticks == 3)
            fast.SetEnabled(false);
    };
    slow.OnTimer = [&] { ++slow_ticks; };
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(WaitFor([&] { return slow_ticks == 1; }));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(290));
    EXPECT_EQ(ticks, 3) << "a disabled timer does not tick again";
    fast.SetEnabled(true);
    ASSERT_TRUE(WaitFor([&] { return ticks == 4; }));
    Timer* doomed = new Timer(form, "doomed", 10, true);
    int doomed_ticks = 0;
    doomed->OnTimer = [&] {
        ++doomed_ticks;
        delete doomed;  // a handler may destroy its own timer
    };
    ASSERT_TRUE(WaitFor([&] { return slow_ticks == 2; }));
    EXPECT_EQ(doomed_ticks, 1);
}

void SendKey(Form& form, GdkEventType type, guint keyval) {
    GdkWindow* window = gtk_widget_get_window(GTK_WIDGET(form.Handle()));
    GdkEvent* event = gdk_event_new(type);
    event->key.window = GDK_WINDOW(g_object_ref(window));
    event->key.keyval = keyval;
    event->key.time = GDK_CURRENT_TIME;
    gdk_event_set_device(
        event, gdk_seat_get_keyboard(gdk_display_get_default_seat(gdk_display_get_default())));
    gdk_display_put_event(gdk_display_get_default(), event);
    gdk_event_free(event);
}

TEST_F(GtkUi, KeysGoToTheHookSlotFirstAndHandledKeysAreNotDispatched) {
    auto& form = app.CreateForm<WithEdit>();
    form.Show();
    ASSERT_TRUE(WaitFor([&] { return gtk_widget_get_mapped(GTK_WIDGET(Win(form))); }));
    GtkWidget* entry = FindNamed(GTK_WIDGET(Win(form)), "GtkEntry");
    ASSERT_NE(entry, nullptr);
    gtk_widget_grab_focus(entry);

    std::vector<Message> seen;
    bool handle = true;
    app.InstallMessageHook(&form, [&](const Message& m, bool& handled) {
        seen.push_back(m);
        handled = handle;
    });
    SendKey(form, GDK_KEY_PRESS, GDK_KEY_d);
    SendKey(form, GDK_KEY_RELEASE, GDK_KEY_d);
    ASSERT_TRUE(WaitFor([&] { return seen.size() == 2; }));
    EXPECT_EQ(seen[0].message, kWmKeyDown);
    EXPECT_EQ(seen[0].wparam, 'D');
    EXPECT_EQ(seen[0].window, form.Handle());
    EXPECT_EQ(seen[1].message, kWmKeyUp);
    EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(entry)), "") << "a handled key is not dispatched";

    handle = false;
    SendKey(form, GDK_KEY_PRESS, GDK_KEY_x);
    ASSERT_TRUE(WaitFor([&] { return seen.size() == 3; }));
    EXPECT_EQ(seen[2].wparam, 'X');
    EXPECT_TRUE(WaitFor([&] { return form.edit.Text() == "x"; })) << "unhandled keys reach GTK";

    app.ReleaseMessageHook(&form);
    SendKey(form, GDK_KEY_PRESS, GDK_KEY_y);
    EXPECT_TRUE(WaitFor([&] { return form.edit.Text() == "xy"; }));
    EXPECT_EQ(seen.size(), 3u);
}

TEST_F(GtkUi, EditHoldsTypedTextAndEnterPressesTheDefaultButton) {
    auto& form = app.CreateForm<WithEdit>();
    int saves = 0;
    std::string saved;
    form.save.OnClick = [&] {
        ++saves;
        saved = form.edit.Text();
    };
    form.edit.SetText("www.kelvraedu.com");
    GtkWidget* entry = FindNamed(GTK_WIDGET(Win(form)), "GtkEntry");
    EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(entry)), "www.kelvraedu.com");
    gtk_entry_set_text(GTK_ENTRY(entry), "127.0.0.1:8080");  // as if typed
    g_signal_emit_by_name(entry, "activate");
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(saved, "127.0.0.1:8080");
    form.edit.SetText("");
    EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(entry)), "");
}

TEST_F(GtkUi, CloseButtonRunsTheCloseHandlerAndFreeDestroysLater) {
    auto& main = app.CreateForm<Plain>(Def("TFrmMain", BorderStyle::Sizeable, 400, 300));
    auto& popup = app.CreateForm<Plain>(Def("TFrmBrowser", BorderStyle::Sizeable, 400, 300));
    popup.OnClose = [](CloseAction& action) { action = CloseAction::Free; };
    popup.Show();
    GdkEvent* del = gdk_event_new(GDK_DELETE);
    del->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(GTK_WIDGET(popup.Handle()))));
    gtk_main_do_event(del);
    gdk_event_free(del);
    EXPECT_TRUE(WaitFor([&] { return !app.Owns(&popup); })) << "closing a popup destroys it";
    EXPECT_TRUE(app.Owns(&main));
    EXPECT_FALSE(app.Terminated());
}

TEST_F(GtkUi, MaximisedFormFillsTheWorkAreaAndRestores) {
    FormDefinition d = Def("TFrmMain", BorderStyle::Sizeable, 806, 508);
    d.state = WindowState::Maximized;
    d.position = FormPosition::ScreenCenter;
    auto& main = app.CreateForm<Plain>(d);
    main.Show();
    const Rect screen = backend->Screen();
    EXPECT_TRUE(WaitFor([&] { return OuterIs(main, screen.width, screen.height); })) << last;
    main.SysCommand(kScRestore);
    EXPECT_TRUE(WaitFor([&] { return OuterIs(main, 806, 508 + kHeaderBarHeight); })) << last;
}

// Enter in a system message box presses the button the request names as default.
TEST_F(GtkUi, EnterInAMessageBoxPressesItsDefaultButton) {
    const struct {
        int default_button;
        MsgResult answer;
    } cases[] = {{0, MsgResult::Yes}, {1, MsgResult::No}};
    for (const auto& c : cases) {
        MessageBoxRequest request;
        request.text = "继续?";
        request.caption = "Kelvra教学云客户端";
        request.buttons = MsgButtons::YesNo;
        request.default_button = c.default_button;
        // Once the box runs its own loop, Enter goes to it.
        bool pressed = false;
        const guint source = g_timeout_add(
            20,
            [](gpointer data) -> gboolean {
                bool& done = *static_cast<bool*>(data);
                GList* windows = gtk_window_list_toplevels();
                for (GList* w = windows; w != nullptr && !done; w = w->next) {
                    if (GTK_IS_MESSAGE_DIALOG(w->data) &&
                        gtk_widget_get_mapped(GTK_WIDGET(w->data)))
                        done = gtk_window_activate_default(GTK_WINDOW(w->data));
                }
                g_list_free(windows);
                return done ? G_SOURCE_REMOVE : G_SOURCE_CONTINUE;
            },
            &pressed);
        EXPECT_EQ(SystemMessageBoxes().Show(request), c.answer) << c.default_button;
        if (!pressed)
            g_source_remove(source);
        EXPECT_TRUE(pressed) << "the box was shown and took Enter";
    }
}
}  // namespace
}  // namespace kelvra::ui
