// Input over the web view as a user gives it: context menus, the Ctrl shortcuts the host
// swallows, and the wheel rule.
#include <gtest/gtest.h>
#include <webkit2/webkit2.h>

#include "webkit_fixture.h"

namespace kelvra::browser::gtk::test {
namespace {

GdkDevice* Device(GdkInputSource source) {
    GdkSeat* seat = gdk_display_get_default_seat(gdk_display_get_default());
    return source == GDK_SOURCE_KEYBOARD ? gdk_seat_get_keyboard(seat) : gdk_seat_get_pointer(seat);
}

// A key press on the web view, as the window system delivers it.
void PressKey(GtkWidget* view, guint keyval, GdkModifierType modifiers) {
    GdkEvent* event = gdk_event_new(GDK_KEY_PRESS);
    event->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(view)));
    event->key.send_event = TRUE;
    event->key.time = GDK_CURRENT_TIME;
    event->key.state = modifiers;
    event->key.keyval = keyval;
    GdkKeymapKey* keys = nullptr;
    gint n = 0;
    if (gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(gdk_display_get_default()),
                                          keyval, &keys, &n) &&
        n > 0) {
        event->key.hardware_keycode = static_cast<guint16>(keys[0].keycode);
        event->key.group = static_cast<guint8>(keys[0].group);
    }
    g_free(keys);
    gdk_event_set_device(event, Device(GDK_SOURCE_KEYBOARD));
    gtk_widget_event(view, event);
    gdk_event_free(event);
}

void Click(GtkWidget* view, guint button, double x, double y) {
    for (GdkEventType type : {GDK_BUTTON_PRESS, GDK_BUTTON_RELEASE}) {
        GdkEvent* event = gdk_event_new(type);
        event->button.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(view)));
        event->button.send_event = TRUE;
        event->button.time = GDK_CURRENT_TIME;
        event->button.x = x;
        event->button.y = y;
        event->button.button = button;
        gdk_event_set_device(event, Device(GDK_SOURCE_MOUSE));
        gtk_widget_event(view, event);
        gdk_event_free(event);
    }
}

struct Menu {
    std::uint32_t kind;
    int offered_to_webkit = 0;
};

TEST(WebKitInput, ContextMenusAreSuppressedWhenTheWindowAnswersSOk) {
    PageServer server;
    server.Page("/page",
                "<title>Menu</title><body style='margin:0'>"
                "<a href='/x' style='display:block;height:100px'>link</a>"
                "<div style='height:300px'>space</div></body>");
    WebKitFixture f;
    THostedBrowser& b = f.AddBrowser();
    GtkWidget* view = WidgetOf(b);
    std::vector<std::uint32_t> kinds;
    HResult answer = kSOk;
    b.OnShowContextMenu = [&](THostedBrowser&, std::uint32_t id, const Point* point, void*, void*,
                              HResult& result) {
        EXPECT_NE(point, nullptr);
        EXPECT_EQ(result, kENotImpl) << "preset before the window's handler";
        kinds.push_back(id);
        result = answer;
    };
    int webkit_menus = 0;
    g_signal_connect(view, "context-menu",
                     G_CALLBACK(+[](WebKitWebView*, WebKitContextMenu*, GdkEvent*,
                                    WebKitHitTestResult*, gpointer count) -> gboolean {
                         ++*static_cast<int*>(count);
                         return TRUE;  // a menu would show now; the test shows none
                     }),
                     &webkit_menus);
    f.Load(b, server.Url("/page"));

    Click(view, 3, 20, 50);  // over the link
    ASSERT_TRUE(PumpUntil([&] { return kinds.size() == 1; }));
    EXPECT_EQ(kinds[0], 5u) << "the anchor menu";
    Click(view, 3, 20, 250);  // empty page space
    ASSERT_TRUE(PumpUntil([&] { return kinds.size() == 2; }));
    EXPECT_EQ(kinds[1], 0u) << "the default menu";
    EXPECT_EQ(webkit_menus, 0) << "no menu is shown";

    answer = kENotImpl;  // unchanged: the platform's own menu
    Click(view, 3, 20, 250);
    ASSERT_TRUE(PumpUntil([&] { return webkit_menus == 1; }));
    EXPECT_EQ(kinds.size(), 3u);
}

TEST(WebKitInput, CtrlNIsSwallowedAndOtherKeysReachThePage) {
    PageServer server;
    server.Page("/keys",
                "<title>Keys</title><body><script>window.keys = [];"
                "document.addEventListener('keydown', function (e) {"
                "  window.keys.push((e.ctrlKey ? 'C' : '') + (e.shiftKey ? 'S' : '') +"
                "                   (e.altKey ? 'A' : '') + e.keyCode); });"
                "</script></body>");
    WebKitFixture f;
    THostedBrowser& b = f.AddBrowser();
    GtkWidget* view = WidgetOf(b);
    f.Load(b, server.Url("/keys"));
    gtk_widget_grab_focus(view);

    // Ctrl+N and Ctrl+Alt+N are swallowed; Ctrl+Shift+N, N and Ctrl+O reach the page.
    const struct {
        guint keyval;
        GdkModifierType modifiers;
    } presses[] = {
        {GDK_KEY_n, GDK_CONTROL_MASK},
        {GDK_KEY_n, static_cast<GdkModifierType>(GDK_CONTROL_MASK | GDK_MOD1_MASK)},
        {GDK_KEY_N, static_cast<GdkModifierType>(GDK_CONTROL_MASK | GDK_SHIFT_MASK)},
        {GDK_KEY_n, static_cast<GdkModifierType>(0)},
        {GDK_KEY_o, GDK_CONTROL_MASK},
    };
    for (const auto& p : presses)
        PressKey(view, p.keyval, p.modifiers);
    ASSERT_TRUE(PumpUntil([&] { return f.Eval(b, "window.keys.length") == "3"; }))
        << f.Eval(b, "window.keys.join()");
    EXPECT_EQ(f.Eval(b, "window.keys.join()"), "CS78,78,C79");

    // A browser without shortcuts to swallow lets Ctrl+N through.
    b.DisableCtrlShortcuts.clear();
    PressKey(view, GDK_KEY_n, GDK_CONTROL_MASK);
    ASSERT_TRUE(PumpUntil([&] { return f.Eval(b, "window.keys.length") == "4"; }));
    EXPECT_EQ(f.Eval(b, "window.keys[3]"), "C78");
}

// A vertical (dy) or horizontal (dx) wheel notch over the web view; true when it reached
// the view's own handling.
bool Wheel(GtkWidget* view, double dx, double dy) {
    GdkEvent* event = gdk_event_new(GDK_SCROLL);
    event->scroll.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(view)));
    event->scroll.send_event = TRUE;
    event->scroll.time = GDK_CURRENT_TIME;
    event->scroll.x = 20;
    event->scroll.y = 20;
    event->scroll.direction = GDK_SCROLL_SMOOTH;
    event->scroll.delta_x = dx;
    event->scroll.delta_y = dy;
    gdk_event_set_device(event, Device(GDK_SOURCE_MOUSE));
    bool reached = false;
    const gulong id = g_signal_connect(view, "scroll-event",
                                       G_CALLBACK(+[](GtkWidget*, GdkEvent*, gpointer flag) {
                                           *static_cast<bool*>(flag) = true;
                                           return FALSE;
                                       }),
                                       &reached);
    gtk_widget_event(view, event);
    g_signal_handler_disconnect(view, id);
    gdk_event_free(event);
    return reached;
}

TEST(WebKitInput, WheelOverAPageWithoutFocusMovesTheFocusAndDropsOneNotch) {
    WebKitFixture f;
    THostedBrowser& first = f.AddBrowser();
    THostedBrowser& second = f.AddBrowser();
    GtkWidget* view1 = WidgetOf(first);
    GtkWidget* view2 = WidgetOf(second);
    // A text field beside the first page, in the same window.
    GtkWidget* window = f.WindowOf(first);
    g_object_ref(view1);
    gtk_container_remove(GTK_CONTAINER(window), view1);
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    GtkWidget* entry = gtk_entry_new();
    gtk_box_pack_start(GTK_BOX(box), entry, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), view1, TRUE, TRUE, 0);
    g_object_unref(view1);
    gtk_container_add(GTK_CONTAINER(window), box);
    gtk_widget_show_all(window);
    gtk_window_present(GTK_WINDOW(window));
    ASSERT_TRUE(PumpUntil([&] { return gtk_window_is_active(GTK_WINDOW(window)); }))
        << "the window system gives the window the focus";
    gtk_widget_grab_focus(entry);
    ASSERT_TRUE(gtk_widget_has_focus(entry));

    EXPECT_TRUE(Wheel(view1, 1, 0)) << "horizontal wheel passes";
    EXPECT_TRUE(gtk_widget_has_focus(entry));
    EXPECT_FALSE(Wheel(view1, 0, 1)) << "the first notch is dropped";
    EXPECT_TRUE(gtk_widget_has_focus(view1)) << "the page took the focus";
    EXPECT_TRUE(Wheel(view1, 0, 1)) << "later notches reach the page";
    EXPECT_TRUE(Wheel(view1, 0, -1));

    // Focus in one page, wheel over the other browser's page.
    EXPECT_FALSE(Wheel(view2, 0, 1));
    ASSERT_TRUE(PumpUntil([&] { return gtk_widget_has_focus(view2); }));
    EXPECT_TRUE(Wheel(view2, 0, 1));
}

}  // namespace
}  // namespace kelvra::browser::gtk::test
