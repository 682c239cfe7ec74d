// The whiteboard stand-in on Linux: an X11 top-level window whose WM_CLASS is
// "VantleMainFrame". A client message of type KELVRA_WHITEBOARD_MESSAGE carrying 3027
// makes it read the hand-off value from the .reg store and, once it has handled it, answer
// KELVRA_WHITEBOARD_DONE with the message's serial to the sender's reply window; the sender
// waits for that answer. KELVRA_WHITEBOARD_DELAY_MS makes it take that long over each
// message (a slow whiteboard for tests). Its arguments may carry a course text too. It
// shows the latest text (as the window title and drawn in it, UTF-8) and records each one.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo-xlib.h>
#include <pango/pangocairo.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "whiteboard_record.h"

namespace {

// The text in the window, UTF-8 through Pango, so that Chinese course texts read as sent.
void Draw(Display* display, Window window, int screen, const std::string& text) {
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, window, &attributes);
    cairo_surface_t* surface = cairo_xlib_surface_create(
        display, window, DefaultVisual(display, screen), attributes.width, attributes.height);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_move_to(cr, 8, 8);
    PangoLayout* layout = pango_cairo_create_layout(cr);
    pango_layout_set_width(layout, (attributes.width - 16) * PANGO_SCALE);
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    pango_layout_set_text(layout, text.c_str(), static_cast<int>(text.size()));
    pango_cairo_show_layout(cr, layout);
    g_object_unref(layout);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    XFlush(display);
}

}  // namespace

int main(int argc, char** argv) {
    const kelvra::demo::WhiteboardOptions options =
        kelvra::demo::ParseArguments(std::vector<std::string>(argv + 1, argv + argc));
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return 1;
    const int screen = DefaultScreen(display);
    const Window window =
        XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, 640, 260, 1,
                            BlackPixel(display, screen), WhitePixel(display, screen));
    std::string name = "whiteboard";
    std::string klass = kelvra::demo::kWindowClass;
    XClassHint hint{name.data(), klass.data()};
    XSetClassHint(display, window, &hint);
    Atom wm_delete = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, window, &wm_delete, 1);
    const Atom hand_off = XInternAtom(display, "KELVRA_WHITEBOARD_MESSAGE", False);
    const Atom done = XInternAtom(display, "KELVRA_WHITEBOARD_DONE", False);
    const char* delay_env = std::getenv("KELVRA_WHITEBOARD_DELAY_MS");
    const auto delay = std::chrono::milliseconds(delay_env ? std::atoi(delay_env) : 0);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    const Atom net_name = XInternAtom(display, "_NET_WM_NAME", False);
    XSelectInput(display, window, ExposureMask | StructureNotifyMask);

    std::string shown;
    auto show = [&](const std::string& text) {
        shown = text;
        XChangeProperty(display, window, net_name, utf8, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(text.data()),
                        static_cast<int>(text.size()));
        XClearArea(display, window, 0, 0, 0, 0, True);
        XFlush(display);
    };
    if (!options.course_text.empty()) {
        kelvra::demo::RecordText(options.record_file, "start", options.course_text);
        show(options.course_text);
    }
    XMapWindow(display, window);
    XFlush(display);

    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == Expose && !shown.empty()) {
            Draw(display, window, screen, shown);
        } else if (event.type == ClientMessage && event.xclient.message_type == hand_off &&
                   event.xclient.data.l[0] == static_cast<long>(kelvra::demo::kHandOffMessage)) {
            const std::string text = kelvra::demo::ReadHandOffValue();
            std::this_thread::sleep_for(delay);
            kelvra::demo::RecordText(options.record_file, "3027", text);
            show(text);
            // Handled: the sender's wait ends.
            XEvent answer{};
            answer.xclient.type = ClientMessage;
            answer.xclient.window = static_cast<Window>(event.xclient.data.l[1]);
            answer.xclient.message_type = done;
            answer.xclient.format = 32;
            answer.xclient.data.l[0] = event.xclient.data.l[0];
            answer.xclient.data.l[2] = event.xclient.data.l[2];
            XSendEvent(display, answer.xclient.window, False, NoEventMask, &answer);
            XFlush(display);
        } else if (event.type == ClientMessage &&
                   static_cast<Atom>(event.xclient.data.l[0]) == wm_delete) {
            break;
        } else if (event.type == DestroyNotify) {
            break;
        }
    }
    XDestroyWindow(display, window);
    XCloseDisplay(display);
    return 0;
}
