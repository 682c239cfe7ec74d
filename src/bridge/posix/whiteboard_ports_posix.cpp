// The whiteboard ports on Linux: an X11 top-level window whose WM_CLASS class is the
// whiteboard's, told by a ClientMessage KELVRA_WHITEBOARD_MESSAGE carrying 3027, the
// client's reply window and a serial. Like a sent window message, the call waits until the
// whiteboard has handled it and answers with KELVRA_WHITEBOARD_DONE carrying the serial
// back to the reply window; the wait ends early when the whiteboard's window is destroyed.
// Programs are started with posix_spawn. XCB reports a request's failure to its caller,
// so a window that has gone meanwhile never reaches the process-wide Xlib error handler.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "bridge/whiteboard_ports.h"

extern char** environ;

namespace kelvra::bridge {
namespace {

xcb_atom_t Intern(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

// WM_CLASS holds "instance\0class\0".
bool HasClass(xcb_connection_t* c, xcb_window_t window, const std::string& window_class) {
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 256), nullptr);
    if (!reply)
        return false;
    const char* value = static_cast<const char*>(xcb_get_property_value(reply));
    const std::string text(value, static_cast<std::size_t>(xcb_get_property_value_length(reply)));
    std::free(reply);
    const std::size_t end = text.find('\0');
    if (end == std::string::npos)
        return false;
    const std::size_t class_end = text.find('\0', end + 1);
    return text.substr(end + 1,
                       class_end == std::string::npos ? std::string::npos : class_end - end - 1) ==
           window_class;
}

// The managed client windows the window manager lists on the root (EWMH), if it does.
std::vector<xcb_window_t> ClientList(xcb_connection_t* c, xcb_window_t root) {
    std::vector<xcb_window_t> out;
    const xcb_atom_t list = Intern(c, "_NET_CLIENT_LIST");
    if (list == XCB_ATOM_NONE)
        return out;
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, root, list, XCB_ATOM_WINDOW, 0, 1 << 16), nullptr);
    if (reply && reply->format == 32) {
        const auto* windows = static_cast<const xcb_window_t*>(xcb_get_property_value(reply));
        out.assign(windows, windows + xcb_get_property_value_length(reply) / 4);
    }
    std::free(reply);
    return out;
}

bool HasProperty(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property) {
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 0), nullptr);
    const bool has = reply && reply->type != XCB_ATOM_NONE;
    std::free(reply);
    return has;
}

// The whole tree below parent: a window of the class that carries WM_STATE (a client window
// as ICCCM defines it, however deeply its manager wrapped it) wins; otherwise the first
// window of the class, for windows no manager has taken.
struct TreeMatch {
    xcb_window_t client = 0;
    xcb_window_t plain = 0;
};
void SearchTree(xcb_connection_t* c, xcb_window_t parent, const std::string& window_class,
                xcb_atom_t wm_state, TreeMatch& match) {
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, xcb_query_tree(c, parent), nullptr);
    if (!tree)
        return;
    const xcb_window_t* children = xcb_query_tree_children(tree);
    const int count = xcb_query_tree_children_length(tree);
    for (int i = 0; i < count && !match.client; ++i) {
        if (HasClass(c, children[i], window_class)) {
            if (wm_state != XCB_ATOM_NONE && HasProperty(c, children[i], wm_state))
                match.client = children[i];
            else if (!match.plain)
                match.plain = children[i];
        }
        if (!match.client)
            SearchTree(c, children[i], window_class, wm_state, match);
    }
    std::free(tree);
}

// Client windows as window managers define them: those the manager lists, then those that
// carry WM_STATE, then the plain tree.
xcb_window_t FindClass(xcb_connection_t* c, xcb_window_t root, const std::string& window_class) {
    for (xcb_window_t window : ClientList(c, root))
        if (HasClass(c, window, window_class))
            return window;
    TreeMatch match;
    SearchTree(c, root, window_class, Intern(c, "WM_STATE"), match);
    return match.client ? match.client : match.plain;
}

bool Succeeded(xcb_connection_t* c, xcb_void_cookie_t cookie) {
    xcb_generic_error_t* error = xcb_request_check(c, cookie);
    std::free(error);
    return error == nullptr;
}

class X11Windows final : public WhiteboardWindows {
  public:
    ~X11Windows() override {
        if (connection_)
            xcb_disconnect(connection_);
    }
    std::uintptr_t Find(const std::string& window_class) override {
        if (!Connect())
            return 0;
        return FindClass(connection_, root_, window_class);
    }
    void Notify(std::uintptr_t target, const std::string&) override {
        if (!Connect())
            return;
        const auto window = static_cast<xcb_window_t>(target);
        // Watching the window first, so that its end cannot slip between send and wait.
        const std::uint32_t watch = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        if (!Succeeded(connection_, xcb_change_window_attributes_checked(
                                        connection_, window, XCB_CW_EVENT_MASK, &watch)))
            return;  // already gone
        const std::uint32_t serial = ++serial_;
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = window;
        message.type = hand_off_;
        message.data.data32[0] = kWhiteboardMessage;
        message.data.data32[1] = reply_window_;
        message.data.data32[2] = serial;
        if (Succeeded(connection_,
                      xcb_send_event_checked(connection_, 0, window, XCB_EVENT_MASK_NO_EVENT,
                                             reinterpret_cast<const char*>(&message))))
            WaitForAnswer(window, serial);
        const std::uint32_t none = 0;
        xcb_change_window_attributes(connection_, window, XCB_CW_EVENT_MASK, &none);
        xcb_flush(connection_);
    }

  private:
    bool Connect() {
        if (connection_ && !xcb_connection_has_error(connection_))
            return true;
        if (connection_)
            xcb_disconnect(connection_);
        int screen_number = 0;
        connection_ = xcb_connect(nullptr, &screen_number);
        if (xcb_connection_has_error(connection_))
            return false;
        xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection_));
        for (int i = 0; i < screen_number && screens.rem; ++i)
            xcb_screen_next(&screens);
        root_ = screens.data->root;
        // An unmapped input-only window of our own receives the answers.
        reply_window_ = xcb_generate_id(connection_);
        xcb_create_window(connection_, 0, reply_window_, root_, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
        hand_off_ = Intern(connection_, "KELVRA_WHITEBOARD_MESSAGE");
        done_ = Intern(connection_, "KELVRA_WHITEBOARD_DONE");
        return !xcb_connection_has_error(connection_);
    }

    // Until the answer with this serial, the window's destruction or a lost connection.
    void WaitForAnswer(xcb_window_t window, std::uint32_t serial) {
        while (xcb_generic_event_t* event = xcb_wait_for_event(connection_)) {
            const std::uint8_t type = event->response_type & 0x7f;
            bool ended = false;
            if (type == XCB_CLIENT_MESSAGE) {
                const auto* answer = reinterpret_cast<xcb_client_message_event_t*>(event);
                ended = answer->window == reply_window_ && answer->type == done_ &&
                        answer->format == 32 && answer->data.data32[2] == serial;
            } else if (type == XCB_DESTROY_NOTIFY) {
                ended = reinterpret_cast<xcb_destroy_notify_event_t*>(event)->window == window;
            }
            std::free(event);
            if (ended)
                return;
        }
    }

    xcb_connection_t* connection_ = nullptr;
    xcb_window_t root_ = 0;
    xcb_window_t reply_window_ = 0;
    xcb_atom_t hand_off_ = 0;
    xcb_atom_t done_ = 0;
    std::uint32_t serial_ = 0;
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
