// The automation server on a private session bus: the registration switches write and
// remove the activation file, the bus starts the client for a caller, outside programs
// (gdbus) use the class, objects of a caller that leaves are released, closing the client
// while an object is held asks first, and the activated client ends by itself when the last
// object has gone.
#include <gio/gio.h>
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "e2e_fixture.h"

namespace kelvra::e2e {
namespace {

constexpr const char* kName = "KelvraeduApp.TKelvraAppToIe";
constexpr const char* kMembers = "KelvraeduApp.ITKelvraAppToIe";

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A dbus-daemon of the test's own, with the client's environment, so that the client it
// starts finds the display, the demo and the per-user activation folder.
class PrivateBus {
  public:
    static std::string AddressIn(const std::string& dir) { return "unix:path=" + dir + "/bus"; }
    // env names the bus as its session bus already.
    PrivateBus(const std::string& dir, const std::vector<std::string>& env)
        : address_(AddressIn(dir)) {
        daemon_ = std::make_unique<test::ChildProcess>(
            "/usr/bin/dbus-daemon",
            std::vector<std::string>{"--session", "--nofork", "--address=" + address_}, env);
        test::WaitUntil([&] { return test::PathExists(dir + "/bus"); }, 10s);
    }
    const std::string& address() const { return address_; }
    // A connection of the test itself, an outside client of the bus.
    GDBusConnection* Connect() const {
        return g_dbus_connection_new_for_address_sync(
            address_.c_str(),
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, nullptr);
    }
    // gdbus with this bus as the session bus; its output, errors included.
    std::string Gdbus(const std::string& arguments) const {
        return Run("", "DBUS_SESSION_BUS_ADDRESS=" + Quote(address_) + " gdbus " + arguments +
                           " 2>&1 || true")
            .value_or("");
    }
    std::string Call(const std::string& path, const std::string& method,
                     const std::string& arguments = "") const {
        return Gdbus("call --session --dest " + std::string(kName) + " --object-path " + path +
                     " --method " + method + " " + arguments);
    }

  private:
    std::string address_;
    std::unique_ptr<test::ChildProcess> daemon_;
};

std::string CreateInstance(GDBusConnection* connection) {
    GVariant* reply = g_dbus_connection_call_sync(connection, kName, "/KelvraeduApp/TKelvraAppToIe",
                                                  "KelvraeduApp.ClassFactory", "CreateInstance",
                                                  nullptr, G_VARIANT_TYPE("(o)"),
                                                  G_DBUS_CALL_FLAGS_NONE, 60000, nullptr, nullptr);
    if (!reply)
        return "";
    const char* path = nullptr;
    g_variant_get(reply, "(&o)", &path);
    const std::string out = path;
    g_variant_unref(reply);
    return out;
}

// A member call through connection: the reply as gdbus prints it, or the error's message.
std::string Member(GDBusConnection* connection, const std::string& path, const char* method,
                   GVariant* arguments = nullptr) {
    GError* error = nullptr;
    GVariant* reply =
        g_dbus_connection_call_sync(connection, kName, path.c_str(), kMembers, method, arguments,
                                    nullptr, G_DBUS_CALL_FLAGS_NONE, 60000, nullptr, &error);
    if (!reply) {
        const std::string message = error->message;
        g_error_free(error);
        return message;
    }
    char* text = g_variant_print(reply, FALSE);
    const std::string out = std::string(text) + "\n";
    g_free(text);
    g_variant_unref(reply);
    return out;
}

GVariant* Texts(std::initializer_list<GVariant*> values) {
    std::vector<GVariant*> boxed;
    for (GVariant* v : values)
        boxed.push_back(g_variant_new_variant(v));
    return g_variant_new_tuple(boxed.data(), boxed.size());
}

bool Ended(const std::string& pid) {
    const std::string stat = "/proc/" + pid + "/stat";
    if (!test::PathExists(stat))
        return true;
    const std::string text = test::ReadBytes(stat);
    const std::size_t at = text.rfind(')');
    return at != std::string::npos && text.substr(at + 2, 1) == "Z";
}

TEST(AutomationBusE2e, TheBusStartsTheClientForOutsideCallersAndItEndsWhenTheyLetGo) {
    Desktop desktop;
    test::TempDir site_dir;
    DemoSite site(site_dir.path());
    ClientHome home(desktop, site.webroot());
    home.RegisterWhiteboard();
    auto whiteboard = home.StartWhiteboard();
    ASSERT_TRUE(test::WaitUntil(
        [&] { return desktop.X("xdotool search --class VantleMainFrame").has_value(); }, 10s));

    const std::string service = home.root() + "/data/dbus-1/services/" + kName + ".service";
    ASSERT_EQ(home.StartWith({"/RegServerPerUser"}, {})->Wait(20s), 0);
    ASSERT_TRUE(test::PathExists(service));
    EXPECT_TRUE(Contains(test::ReadBytes(service), std::string("Name=") + kName));

    home.SetBusAddress(PrivateBus::AddressIn(home.root()));
    PrivateBus bus(home.root(), home.Environment());
    // The bus starts the client for gdbus; nothing is created, so it keeps running.
    EXPECT_EQ(bus.Call("/KelvraeduApp/TKelvraAppToIe", "org.freedesktop.DBus.Peer.Ping"), "()\n");
    const std::string owner_pid = bus.Gdbus(
        "call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus"
        " --method org.freedesktop.DBus.GetConnectionUnixProcessID " +
        std::string(kName));
    ASSERT_TRUE(Contains(owner_pid, "(uint32 ")) << owner_pid;
    const std::string pid = owner_pid.substr(8, owner_pid.find(',') - 8);

    GDBusConnection* holder = bus.Connect();
    GDBusConnection* leaver = bus.Connect();
    ASSERT_TRUE(holder && leaver);
    const std::string object = CreateInstance(holder);
    const std::string dropped = CreateInstance(leaver);
    ASSERT_FALSE(object.empty());
    ASSERT_FALSE(dropped.empty());
    EXPECT_NE(object, dropped);

    EXPECT_EQ(Member(holder, object, "GetKelvraApp"), "('kelvraeduapp',)\n");
    EXPECT_EQ(Member(holder, object, "CreateVantle",
                     Texts({g_variant_new_string("C9"), g_variant_new_string("语文"),
                            g_variant_new_string("c"), g_variant_new_string("d"),
                            g_variant_new_string(""), g_variant_new_string("u")})),
              "()\n");
    EXPECT_EQ(test::ReadBytes(home.WhiteboardRecord()), "3027 \"C9&&语文&&c&&d&&&&u&&\"\n")
        << "handled before the call returned";
    EXPECT_TRUE(Contains(
        Member(holder, object, "CreateVantle",
               Texts({g_variant_new_int32(1), g_variant_new_string("b"), g_variant_new_string("c"),
                      g_variant_new_string("d"), g_variant_new_string("e"),
                      g_variant_new_string("f")})),
        "GDBus.Error:KelvraeduApp.Error: Could not convert variant of type (Integer) into type "
        "(OleStr)"));
    EXPECT_TRUE(Contains(Member(holder, object, "ShowHint", Texts({g_variant_new_int32(1)})),
                         "org.freedesktop.DBus.Error.InvalidArgs"))
        << "a wrong argument count fails before the member runs";
    EXPECT_TRUE(Contains(Member(holder, object, "ShowHint",
                                Texts({g_variant_new_string(std::string(2 << 20, 'x').c_str()),
                                       g_variant_new_string("")})),
                         "KelvraeduApp.Error: The call is too long"));
    // Another client can neither use nor release the holder's object.
    for (const char* method : {"GetKelvraApp", "Release"})
        EXPECT_TRUE(Contains(bus.Call(object, std::string(kMembers) + "." + method),
                             "org.freedesktop.DBus.Error.AccessDenied: General access denied "
                             "error"))
            << method;

    // A caller that leaves the bus gives its object up; the client runs on for the other.
    g_dbus_connection_close_sync(leaver, nullptr, nullptr);
    g_object_unref(leaver);
    EXPECT_TRUE(test::WaitUntil(
        [&] {
            return Contains(bus.Call(dropped, std::string(kMembers) + ".GetKelvraApp"),
                            "UnknownMethod");
        },
        10s));
    EXPECT_FALSE(Ended(pid));

    // Closing the client while an outside object is held asks first; No keeps it running.
    std::vector<XWindow> login;
    ASSERT_TRUE(test::WaitUntil(
        [&] {
            login = VisibleWindows(desktop, "^Kelvra教学云平台$");
            return !login.empty() && login.back().ShowsDemoPage();
        },
        30s));
    login.back().ClickHeader(800 - 27, 20);
    EXPECT_TRUE(test::WaitUntil(
        [&] { return Contains(test::ReadBytes(home.DialogScript()), "COM Server Warning"); }, 15s))
        << test::ReadBytes(home.DialogScript());
    EXPECT_EQ(Member(holder, object, "GetKelvraApp"), "('kelvraeduapp',)\n") << "still running";

    // The last object released: the client started for it ends by itself.
    EXPECT_EQ(Member(holder, object, "Release"), "()\n");
    EXPECT_TRUE(test::WaitUntil([&] { return Ended(pid); }, 20s));
    g_object_unref(holder);

    ASSERT_EQ(home.StartWith({"-unregserverperuser"}, {})->Wait(20s), 0);
    EXPECT_FALSE(test::PathExists(service));
}

// All users' activation folder is the fixed shared one (moved for the test); one that cannot be
// written ends the registration with exit code 1 and the error box.
TEST(AutomationBusE2e, RegisteringForAllUsersWritesTheSharedFolderOrFailsWithTheErrorBox) {
    Desktop desktop;
    ClientHome home(desktop, "127.0.0.1:9");
    const std::string shared = home.root() + "/shared";
    const std::string file = shared + "/dbus-1/services/" + std::string(kName) + ".service";
    ASSERT_EQ(home.StartWith({"-REGSERVER"}, {"KELVRA_SHARED_DATA_DIR=" + shared})->Wait(20s), 0);
    EXPECT_TRUE(Contains(test::ReadBytes(file), "Exec=" + BinDir() + "/kelvraedu -Embedding"))
        << test::ReadBytes(file);
    ASSERT_EQ(home.StartWith({"/UnRegServer"}, {"KELVRA_SHARED_DATA_DIR=" + shared})->Wait(20s), 0);
    EXPECT_FALSE(test::PathExists(file));

    test::WriteBytes(home.root() + "/plain-file", "");
    EXPECT_EQ(
        home.StartWith({"/RegServer"}, {"KELVRA_SHARED_DATA_DIR=" + home.root() + "/plain-file"})
            ->Wait(20s),
        1);
    const std::string dialogs = test::ReadBytes(home.DialogScript());
    EXPECT_TRUE(Contains(dialogs, "Application Error")) << dialogs;
    EXPECT_TRUE(Contains(dialogs, "Error creating system registry entry")) << dialogs;
}

}  // namespace
}  // namespace kelvra::e2e
