#include "browser/gtk/external_channel.h"

#include <gio/gio.h>
#include <glib-unix.h>
#include <glib/gstdio.h>

#include <csignal>
#include <cstdlib>
#include <cstring>

#include "platform/error.h"

namespace kelvra::browser::gtk {
namespace {

constexpr const char* kIntrospection =
    "<node><interface name='com.kelvra.External'>"
    "<method name='Invoke'>"
    "<arg name='page' type='t' direction='in'/>"
    "<arg name='message' type='s' direction='in'/>"
    "<arg name='reply' type='s' direction='out'/>"
    "</method></interface></node>";

struct Channel {
    ExternalAnswer answer;
    GDBusNodeInfo* node = nullptr;
    GDBusServer* server = nullptr;
    std::string address;
};

void OnMethodCall(GDBusConnection*, const char*, const char*, const char*, const char*,
                  GVariant* parameters, GDBusMethodInvocation* invocation, gpointer data) {
    const std::string reply = AnswerExternalCall(parameters, static_cast<Channel*>(data)->answer);
    g_dbus_method_invocation_return_value(invocation, g_variant_new("(s)", reply.c_str()));
}

const GDBusInterfaceVTable kVTable = {OnMethodCall, nullptr, nullptr, {}};

gboolean OnNewConnection(GDBusServer*, GDBusConnection* connection, gpointer data) {
    auto* channel = static_cast<Channel*>(data);
    GError* error = nullptr;
    // The connection lives as long as its web process keeps it open.
    g_object_ref(connection);
    g_signal_connect(
        connection, "closed",
        G_CALLBACK(+[](GDBusConnection* c, gboolean, GError*, gpointer) { g_object_unref(c); }),
        nullptr);
    if (!g_dbus_connection_register_object(connection, kExternalObjectPath,
                                           channel->node->interfaces[0], &kVTable, channel, nullptr,
                                           &error)) {
        g_warning("window.external: %s", error->message);
        g_error_free(error);
        g_dbus_connection_close(connection, nullptr, nullptr, nullptr);
    }
    return TRUE;
}

}  // namespace

std::string AnswerExternalCall(GVariant* parameters, const ExternalAnswer& answer) {
    guint64 page = 0;
    const char* message = nullptr;
    g_variant_get(parameters, "(t&s)", &page, &message);
    const std::size_t length = std::strlen(message);
    if (length > kExternalMessageLimit)
        return R"({"ok":false,"message":"The call is too long"})";
    try {
        return answer(page, std::string_view(message, length));
    } catch (const std::exception&) {
        return R"({"ok":false,"message":"The hand-off failed"})";
    }
}

const std::string& StartExternalChannel(ExternalAnswer answer) {
    static Channel* channel = nullptr;
    if (channel)
        return channel->address;
    auto* fresh = new Channel{std::move(answer), nullptr, nullptr, {}};
    fresh->node = g_dbus_node_info_new_for_xml(kIntrospection, nullptr);
    // A private folder only this user can enter holds the socket.
    GError* error = nullptr;
    char* dir = g_dir_make_tmp("kelvra-external-XXXXXX", &error);
    if (!dir) {
        const std::string why = error->message;
        g_error_free(error);
        throw Error("Cannot make the window.external socket folder: " + why);
    }
    char* path = g_build_filename(dir, "socket", nullptr);
    char* escaped = g_dbus_address_escape_value(path);
    fresh->address = std::string("unix:path=") + escaped;
    g_free(escaped);
    char* guid = g_dbus_generate_guid();
    fresh->server = g_dbus_server_new_sync(fresh->address.c_str(),
                                           G_DBUS_SERVER_FLAGS_AUTHENTICATION_REQUIRE_SAME_USER,
                                           guid, nullptr, nullptr, &error);
    g_free(guid);
    if (!fresh->server) {
        const std::string why = error->message;
        g_error_free(error);
        g_free(path);
        g_free(dir);
        throw Error("Cannot listen for window.external: " + why);
    }
    g_signal_connect(fresh->server, "new-connection", G_CALLBACK(OnNewConnection), fresh);
    g_dbus_server_start(fresh->server);
    // The socket and its folder go when the process ends, or is asked to end by a signal
    // (a session that logs out, a kill): then the signal ends the process as it would have.
    static std::string cleanup_dir = dir;
    static std::string cleanup_path = path;
    static void (*remove_socket)() = [] {
        g_unlink(cleanup_path.c_str());
        g_rmdir(cleanup_dir.c_str());
    };
    std::atexit(remove_socket);
    for (int signal_number : {SIGTERM, SIGINT, SIGHUP}) {
        g_unix_signal_add(
            signal_number,
            [](gpointer number) -> gboolean {
                remove_socket();
                const int n = GPOINTER_TO_INT(number);
                std::signal(n, SIG_DFL);
                std::raise(n);
                return G_SOURCE_REMOVE;
            },
            GINT_TO_POINTER(signal_number));
    }
    g_free(path);
    g_free(dir);
    channel = fresh;
    return channel->address;
}

}  // namespace kelvra::browser::gtk
