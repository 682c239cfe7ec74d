// The automation server on a private session bus whose class name another connection
// already owns: the client cannot be reached by outside callers, and says so.
#include <gio/gio.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bridge/posix/bus_class_server.h"
#include "test_support.h"

namespace kelvra::bridge {
namespace {

using namespace std::chrono_literals;

std::vector<std::string> g_warnings;

void KeepWarning(const gchar*, GLogLevelFlags, const gchar* message, gpointer) {
    g_warnings.emplace_back(message);
}

TEST(BusClassServer, ANameAnotherConnectionOwnsIsReported) {
    test::TempDir dir;
    const std::string address = "unix:path=" + dir.File("bus");
    test::ChildProcess daemon("/usr/bin/dbus-daemon",
                              {"--session", "--nofork", "--address=" + address});
    ASSERT_TRUE(test::WaitUntil([&] { return test::PathExists(dir.File("bus")); }, 10s));
    GDBusConnection* holder = g_dbus_connection_new_for_address_sync(
        address.c_str(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr);
    ASSERT_NE(holder, nullptr);
    bool owned = false;
    const guint owner = g_bus_own_name_on_connection(
        holder, "KelvraeduApp.TKelvraAppToIe", G_BUS_NAME_OWNER_FLAGS_NONE,
        [](GDBusConnection*, const char*, gpointer owned) { *static_cast<bool*>(owned) = true; },
        nullptr, &owned, nullptr);
    while (!owned)
        g_main_context_iteration(nullptr, TRUE);

    const guint handler = g_log_set_handler(nullptr, G_LOG_LEVEL_WARNING, KeepWarning, nullptr);
    test::ScopedEnv bus("DBUS_SESSION_BUS_ADDRESS", address);
    StartBusClassServer([] {});
    const gint64 give_up = g_get_monotonic_time() + 10 * G_TIME_SPAN_SECOND;
    while (g_warnings.empty() && g_get_monotonic_time() < give_up)
        g_main_context_iteration(nullptr, FALSE);
    StopBusClassServer();
    g_log_remove_handler(nullptr, handler);
    g_bus_unown_name(owner);
    g_object_unref(holder);
    daemon.Kill();

    ASSERT_EQ(g_warnings.size(), 1u);
    EXPECT_EQ(g_warnings[0],
              "automation server: the bus name KelvraeduApp.TKelvraAppToIe cannot be owned");
}

}  // namespace
}  // namespace kelvra::bridge
