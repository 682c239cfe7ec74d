// The whiteboard ports on Linux: an X11 top-level window whose WM_CLASS class is the
// whiteboard's, told by a ClientMessage carrying 3027; programs started with posix_spawn.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <thread>

#include "bridge/whiteboard_ports.h"

extern char** environ;

namespace kelvra::bridge {
namespace {

bool HasClass(Display* display, Window window, const std::string& window_class) {
    XClassHint hint{};
    if (!XGetClassHint(display, window, &hint)) {
        return false;
    }
    const bool match = hint.res_class && window_class == hint.res_class;
    if (hint.res_name)
        XFree(hint.res_name);
    if (hint.res_class)
        XFree(hint.res_class);
    return match;
}

// Children of the root, and one level below them for windows a manager reparented.
Window FindClass(Display* display, Window parent, const std::string& window_class, int depth) {
    Window root_return = 0, parent_return = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, parent, &root_return, &parent_return, &children, &count)) {
        return 0;
    }
    Window found = 0;
    for (unsigned i = 0; i < count && !found; ++i) {
        if (HasClass(display, children[i], window_class)) {
            found = children[i];
        }
    }
    for (unsigned i = 0; i < count && !found && depth > 0; ++i) {
        found = FindClass(display, children[i], window_class, depth - 1);
    }
    if (children)
        XFree(children);
    return found;
}

class X11Windows final : public WhiteboardWindows {
  public:
    ~X11Windows() override {
        if (display_)
            XCloseDisplay(display_);
    }
    std::uintptr_t Find(const std::string& window_class) override {
        if (!Connect())
            return 0;
        return FindClass(display_, DefaultRootWindow(display_), window_class, 1);
    }
    void Notify(std::uintptr_t window, const std::string&) override {
        if (!Connect())
            return;
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = static_cast<Window>(window);
        event.xclient.message_type = XInternAtom(display_, "KELVRA_WHITEBOARD_MESSAGE", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = kWhiteboardMessage;
        XSendEvent(display_, static_cast<Window>(window), False, NoEventMask, &event);
        XSync(display_, False);
    }

  private:
    bool Connect() {
        if (!display_)
            display_ = XOpenDisplay(nullptr);
        return display_ != nullptr;
    }
    Display* display_ = nullptr;
};

class PosixShell final : public Shell {
  public:
    void Open(const std::string& file, const std::string& parameters,
              const std::string& directory) override {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
        posix_spawnattr_t attr;
        posix_spawnattr_init(&attr);
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);
        std::string program = file;
        std::string argument = parameters;
        char* argv[] = {program.data(), argument.data(), nullptr};
        pid_t pid = 0;
        const int rc = posix_spawn(&pid, file.c_str(), &actions, &attr, argv, environ);
        posix_spawnattr_destroy(&attr);
        posix_spawn_file_actions_destroy(&actions);
        if (rc == 0) {
            // Detached: reap the child whenever it ends, without waiting for it here.
            std::thread([pid] { waitpid(pid, nullptr, 0); }).detach();
        }
    }
};

}  // namespace

WhiteboardWindows& SystemWhiteboardWindows() {
    static X11Windows windows;
    return windows;
}

Shell& SystemShell() {
    static PosixShell shell;
    return shell;
}

}  // namespace kelvra::bridge
