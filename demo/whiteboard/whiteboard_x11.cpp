// The whiteboard stand-in on Linux: an X11 top-level window whose WM_CLASS is
// "VantleMainFrame". A client message of type KELVRA_WHITEBOARD_MESSAGE carrying 3027
// makes it read the hand-off value from the .reg store; its arguments may carry a course
// text too. It shows the latest text (as the window title and drawn in it) and records
// each one.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <string>
#include <vector>

#include "whiteboard_record.h"

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
            XDrawString(display, window, DefaultGC(display, screen), 8, 20, shown.data(),
                        static_cast<int>(shown.size()));
        } else if (event.type == ClientMessage && event.xclient.message_type == hand_off &&
                   event.xclient.data.l[0] == static_cast<long>(kelvra::demo::kHandOffMessage)) {
            const std::string text = kelvra::demo::ReadHandOffValue();
            kelvra::demo::RecordText(options.record_file, "3027", text);
            show(text);
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
