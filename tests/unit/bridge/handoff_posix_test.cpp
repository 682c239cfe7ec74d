// The whiteboard hand-off on Linux against the demo whiteboard under X: the running
// whiteboard gets the .reg value and client message 3027; a whiteboard that is not
// running is started with the course text. Also the automation switches on Linux.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <thread>

#include "bridge/automation_server.h"
#include "bridge/external_object.h"
#include "bridge/posix/activation_file.h"
#include "bridge/posix/script_external.h"
#include "bridge/whiteboard_launch.h"
#include "bridge/whiteboard_ports.h"
#include "platform/code_page.h"
#include "platform/error.h"
#include "platform/registry.h"
#include "test_support.h"
#include "ui/message_box.h"

// Last: Xlib defines macros (Bool, None, Status) that clash with names above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace kelvra::bridge {
namespace {

using namespace std::chrono_literals;

class NoBoxes final : public ui::MessageBoxes {
  public:
    ui::MsgResult Show(const ui::MessageBoxRequest& request) override {
        shown.push_back(request.text);
        return ui::MsgResult::Ok;
    }
    std::vector<std::string> shown;
};

std::array<Variant, 6> Values(const char* first) {
    return {Variant::TextUtf8(first), Variant::TextUtf8("b"), Variant::TextUtf8("c"),
            Variant::TextUtf8("d"),   Variant::TextUtf8("e"), Variant::TextUtf8("f")};
}

// Asks the window to close (WM_DELETE_WINDOW), as a window manager does.
void CloseWindow(std::uintptr_t window) {
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = static_cast<Window>(window);
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    XSendEvent(display, static_cast<Window>(window), False, NoEventMask, &event);
    XCloseDisplay(display);
}

bool NoWhiteboardWindow() {
    return test::WaitUntil(
        [] { return SystemWhiteboardWindows().Find(kWhiteboardWindowClass) == 0; }, 10s);
}

class PosixHandOffTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "needs an X display (xvfb-run)";
        // A whiteboard left by an earlier case must be gone first.
        ASSERT_TRUE(NoWhiteboardWindow());
        ports_.whiteboard_path = [this] { return whiteboard_; };
        ports_.registry = &platform::SystemRegistry();
        ports_.code_page = &platform::SystemCodePage();
        ports_.windows = &SystemWhiteboardWindows();
        ports_.shell = &SystemShell();
        ports_.boxes = &boxes_;
        ports_.separator = '/';
    }
    std::string HandOffValue() {
        auto key = platform::SystemRegistry().Open(platform::RegistryHive::CurrentUser, kHandOffKey,
                                                   platform::RegistryAccess::Read);
        if (!key)
            return "<no key>";
        auto v = key->Query(kHandOffValue);
        return v ? v->TextValue() : "<no value>";
    }
    std::string Record() {
        return test::PathExists(record_) ? test::ReadBytes(record_) : std::string();
    }

    test::TempDir dir_;
    test::ScopedEnv registry_dir_{"KELVRA_REGISTRY_DIR", dir_.path()};
    std::string record_ = dir_.File("record.txt");
    std::string whiteboard_ = test::TestProgram("kelvra-whiteboard");
    NoBoxes boxes_;
    LaunchPorts ports_;
};

// Like a sent message, each hand-off returns only once the whiteboard has handled it, so two
// quick hand-offs to a slow whiteboard cannot overwrite each other's value.
TEST_F(PosixHandOffTest, RunningWhiteboardHandlesEachHandOffBeforeTheCallReturns) {
    test::ChildProcess board(whiteboard_, {"--record", record_},
                             {"KELVRA_WHITEBOARD_DELAY_MS=400"});
    ASSERT_TRUE(test::WaitUntil(
        [] { return SystemWhiteboardWindows().Find(kWhiteboardWindowClass) != 0; }, 10s));

    LaunchWhiteboard(ports_, Values("a"));
    EXPECT_EQ(Record(), "3027 \"a&&b&&c&&d&&e&&f&&\"\n");
    LaunchWhiteboard(ports_, Values("second"));
    EXPECT_EQ(Record(), "3027 \"a&&b&&c&&d&&e&&f&&\"\n3027 \"second&&b&&c&&d&&e&&f&&\"\n");
    EXPECT_EQ(HandOffValue(), "\"second&&b&&c&&d&&e&&f&&\"");
    EXPECT_TRUE(boxes_.shown.empty());
    CloseWindow(SystemWhiteboardWindows().Find(kWhiteboardWindowClass));
    EXPECT_EQ(board.Wait(10s), 0);
}

// A hand-off key that cannot be opened (damaged or unreadable hive file) only skips the
// write: the message is still sent and the file is left as it was.
TEST_F(PosixHandOffTest, UnopenableHandOffKeyStillSendsTheMessage) {
    const std::string hive = dir_.File("HKEY_CURRENT_USER.reg");
    const std::string damaged = "REGEDIT4\n[HKEY_CURRENT_USER\\Software]\n\"v\"=dword:zz\n";
    for (const bool folder : {false, true}) {
        SCOPED_TRACE(folder ? "folder in the file's place" : "damaged file");
        std::filesystem::remove_all(hive);
        std::filesystem::remove(record_);
        if (folder)
            std::filesystem::create_directories(hive + "/inner");
        else
            test::WriteBytes(hive, damaged);
        test::ChildProcess board(whiteboard_, {"--record", record_});
        ASSERT_TRUE(test::WaitUntil(
            [] { return SystemWhiteboardWindows().Find(kWhiteboardWindowClass) != 0; }, 10s));
        EXPECT_NO_THROW(LaunchWhiteboard(ports_, Values("a")));
        // The whiteboard finds no value to read.
        ASSERT_TRUE(test::WaitUntil([&] { return !Record().empty(); }, 10s));
        EXPECT_EQ(Record(), "3027 \n");
        if (folder) {
            EXPECT_TRUE(std::filesystem::is_directory(hive + "/inner"));
        } else {
            EXPECT_EQ(test::ReadBytes(hive), damaged);
        }
        CloseWindow(SystemWhiteboardWindows().Find(kWhiteboardWindowClass));
        EXPECT_EQ(board.Wait(10s), 0);
        ASSERT_TRUE(NoWhiteboardWindow());
    }
}

TEST_F(PosixHandOffTest, TheWaitEndsWhenTheWhiteboardWindowGoesAway) {
    auto board = std::make_unique<test::ChildProcess>(
        whiteboard_, std::vector<std::string>{"--record", record_},
        std::vector<std::string>{"KELVRA_WHITEBOARD_DELAY_MS=600000"});
    ASSERT_TRUE(test::WaitUntil(
        [] { return SystemWhiteboardWindows().Find(kWhiteboardWindowClass) != 0; }, 10s));
    // The value is written just before the message goes: then the whiteboard dies.
    std::thread killer([&] {
        test::WaitUntil([&] { return HandOffValue() != "<no key>"; }, 10s);
        board->Kill();
    });
    LaunchWhiteboard(ports_, Values("a"));
    killer.join();
    EXPECT_EQ(Record(), "") << "the whiteboard never finished handling it";
    EXPECT_TRUE(NoWhiteboardWindow());
}

// Window managers wrap client windows in frames of their own, some more than one level deep.
// The whiteboard's window is three levels below the root here, with a stray window of the same
// class (not a client window) directly on the root.
TEST(WhiteboardWindowSearch, FindsClientWindowsAsWindowManagersDefineThem) {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "needs an X display (xvfb-run)";
    enum class Marks { ClientList, WmState, Nothing };
    const struct {
        const char* name;
        Marks marks;
        bool finds_nested;  // else the stray window is the only one found
    } cases[] = {
        {"listed in _NET_CLIENT_LIST", Marks::ClientList, true},
        {"carrying WM_STATE", Marks::WmState, true},
        {"no manager's marks: the plain tree", Marks::Nothing, false},
    };
    const char kClass[] = "kelvra-search\0KelvraSearchTest";
    Display* d = XOpenDisplay(nullptr);
    ASSERT_NE(d, nullptr);
    const Window root = DefaultRootWindow(d);
    const Atom client_list = XInternAtom(d, "_NET_CLIENT_LIST", False);
    const Atom wm_state = XInternAtom(d, "WM_STATE", False);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto window = [&](Window parent, bool with_class) {
            const Window w = XCreateSimpleWindow(d, parent, 0, 0, 10, 10, 0, 0, 0);
            if (with_class)
                XChangeProperty(d, w, XA_WM_CLASS, XA_STRING, 8, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(kClass), sizeof kClass);
            return w;
        };
        const Window stray = window(root, true);
        const Window frame = window(root, false);
        const Window nested = window(window(window(frame, false), false), true);
        if (c.marks == Marks::ClientList) {
            const unsigned long listed = nested;
            XChangeProperty(d, root, client_list, XA_WINDOW, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(&listed), 1);
        } else if (c.marks == Marks::WmState) {
            const unsigned long state[2] = {1, 0};  // NormalState, no icon
            XChangeProperty(d, nested, wm_state, wm_state, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(state), 2);
        }
        XSync(d, False);
        const std::uintptr_t found = SystemWhiteboardWindows().Find("KelvraSearchTest");
        EXPECT_EQ(found, c.finds_nested ? nested : stray);
        XDeleteProperty(d, root, client_list);
        XDestroyWindow(d, frame);
        XDestroyWindow(d, stray);
        XSync(d, False);
    }
    XCloseDisplay(d);
}

TEST_F(PosixHandOffTest, WhiteboardNotRunningIsStartedWithCourseText) {
    test::ScopedEnv record_env("KELVRA_WHITEBOARD_RECORD", record_);
    LaunchWhiteboard(ports_, Values("a"));
    ASSERT_TRUE(test::WaitUntil([&] { return !Record().empty(); }, 10s));
    EXPECT_EQ(Record(), "start \"a&&b&&c&&d&&e&&f&&\"\n");
    EXPECT_EQ(HandOffValue(), "<no key>");
    // The started whiteboard is a window of the class the next hand-off looks for.
    ASSERT_TRUE(test::WaitUntil(
        [] { return SystemWhiteboardWindows().Find(kWhiteboardWindowClass) != 0; }, 10s));
    LaunchWhiteboard(ports_, Values("next"));
    ASSERT_TRUE(test::WaitUntil([&] { return Record().find("3027") != std::string::npos; }, 10s));
    EXPECT_EQ(Record(), "start \"a&&b&&c&&d&&e&&f&&\"\n3027 \"next&&b&&c&&d&&e&&f&&\"\n");
    // The started whiteboard is not our child: close its window as a user would.
    CloseWindow(SystemWhiteboardWindows().Find(kWhiteboardWindowClass));
    EXPECT_TRUE(test::WaitUntil(
        [] { return SystemWhiteboardWindows().Find(kWhiteboardWindowClass) == 0; }, 10s));
}

// The switches write and remove the bus activation file, per user or for all users, and end
// the process; the other modes carry on (here without a bus to offer the class on).
TEST(PosixAutomationServerTest, RegistrationSwitchesWriteOrRemoveTheActivationFile) {
    test::TempDir dir;
    test::ScopedEnv user("XDG_DATA_HOME", dir.File("user"));
    // All users' file goes to the fixed shared folder, never to XDG_DATA_DIRS (here with an
    // empty first entry, which once meant "/dbus-1/services").
    test::ScopedEnv shared("KELVRA_SHARED_DATA_DIR", dir.File("shared"));
    test::ScopedEnv data_dirs("XDG_DATA_DIRS", ":" + dir.File("elsewhere"));
    test::ScopedEnv bus("DBUS_SESSION_BUS_ADDRESS", "");
    test::ScopedEnv runtime("XDG_RUNTIME_DIR", dir.path());
    const std::string user_file =
        dir.File("user") + "/dbus-1/services/KelvraeduApp.TKelvraAppToIe.service";
    const std::string shared_file =
        dir.File("shared") + "/dbus-1/services/KelvraeduApp.TKelvraAppToIe.service";
    struct Case {
        std::vector<std::string> args;
        bool carry_on;
        bool user_file, shared_file;  // present afterwards
    };
    const Case cases[] = {
        {{"/REGSERVER"}, false, false, true},
        {{"-Embedding", "/UnRegServer"}, true, false, true},  // automation mode wins
        {{"-unregserver"}, false, false, false},
        {{"-RegServerPerUser"}, false, true, false},
        {{"REGSERVER"}, true, true, false},
        {{"/REGSERVERX"}, true, true, false},
        {{"/UnRegServerPerUser"}, false, false, false},
        {{"/UnRegServerPerUser"}, false, false, false},  // nothing left to remove: still fine
        {{}, true, false, false},
    };
    for (const Case& c : cases) {
        const std::string name = c.args.empty() ? "" : c.args.back();
        const ServerStart start = StartAutomationServer(c.args);
        EXPECT_EQ(start.carry_on, c.carry_on) << name;
        EXPECT_EQ(start.exit_code, 0) << name;
        EXPECT_EQ(test::PathExists(user_file), c.user_file) << name;
        EXPECT_EQ(test::PathExists(shared_file), c.shared_file) << name;
    }
    EXPECT_FALSE(test::PathExists(dir.File("elsewhere")));
    EXPECT_TRUE(AutomationTerminationCheck()) << "no outside client holds an object";
}

// The file is readable by every user's bus whatever the umask; an executable path the bus
// cannot read back from one line is refused.
TEST(PosixAutomationServerTest, ActivationFileIsWorldReadableAndRefusesUnquotablePaths) {
    test::TempDir dir;
    test::ScopedEnv user("XDG_DATA_HOME", dir.path());
    const mode_t old_mask = umask(077);
    WriteActivationFile(true, "/opt/kelvra edu/kelvraedu");
    umask(old_mask);
    struct stat st {};
    ASSERT_EQ(stat(ActivationFilePath(true).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    for (const char* path : {"/opt/kelvra\nExec=/bin/sh", "/opt/kelvra\tedu", ""})
        EXPECT_THROW(WriteActivationFile(true, path), Error) << path;
}

TEST(PosixExternalObjectTest, EachRequestGetsItsOwnScriptObject) {
    auto a = NewExternalObject();
    auto b = NewExternalObject();
    ASSERT_NE(a, nullptr);
    EXPECT_NE(a, b);
    auto* script = dynamic_cast<ScriptExternal*>(a.get());
    ASSERT_NE(script, nullptr);
    EXPECT_STREQ(script->handler_name(), "kelvraExternal");
}

}  // namespace
}  // namespace kelvra::bridge
