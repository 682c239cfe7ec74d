#include "bridge/posix/bus_class_server.h"

#include <gio/gio.h>

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "bridge/app_to_ie_members.h"

namespace kelvra::bridge {
namespace {

constexpr const char* kIntrospection =
    "<node>"
    "<interface name='KelvraeduApp.ClassFactory'>"
    "<method name='CreateInstance'><arg name='object' type='o' direction='out'/></method>"
    "<method name='LockServer'><arg name='lock' type='b' direction='in'/></method>"
    "</interface>"
    "<interface name='KelvraeduApp.ITKelvraAppToIe'>"
    "<method name='GetKelvraApp'><arg name='Value' type='s' direction='out'/></method>"
    "<method name='CreateVantle'>"
    "<arg name='crs_id' type='v' direction='in'/>"
    "<arg name='crs_name' type='v' direction='in'/>"
    "<arg name='crs_classify' type='v' direction='in'/>"
    "<arg name='crs_username' type='v' direction='in'/>"
    "<arg name='crs_knowid' type='v' direction='in'/>"
    "<arg name='crs_url' type='v' direction='in'/>"
    "</method>"
    "<method name='ShowHint'>"
    "<arg name='hint_tilte' type='v' direction='in'/>"
    "<arg name='hint_content' type='v' direction='in'/>"
    "</method>"
    "<method name='Release'/>"
    "</interface>"
    "</node>";

struct Instance {
    std::string owner;  // the unique bus name of the caller that created it
    guint registration = 0;
};

// What one caller holds: a watch on its bus name and its locks (objects are in instances).
struct Holder {
    guint watch = 0;
    long locks = 0;
};

struct Server {
    GDBusConnection* connection = nullptr;
    GDBusNodeInfo* node = nullptr;
    guint factory = 0;
    guint name = 0;
    std::uint64_t next_id = 1;
    long count = 0;
    std::map<std::uint64_t, Instance> instances;
    std::map<std::string, Holder> holders;
    std::function<void()> on_last_release;
};

Server* g_server = nullptr;

Variant ToVariant(GVariant* value, int depth = 0) {
    const GVariantType* type = g_variant_get_type(value);
    if (g_variant_type_equal(type, G_VARIANT_TYPE_VARIANT) && depth < 4) {
        GVariant* inner = g_variant_get_variant(value);
        Variant out = ToVariant(inner, depth + 1);
        g_variant_unref(inner);
        return out;
    }
    switch (g_variant_classify(value)) {
        case G_VARIANT_CLASS_STRING:
        case G_VARIANT_CLASS_OBJECT_PATH:
        case G_VARIANT_CLASS_SIGNATURE:
            return Variant::TextUtf8(g_variant_get_string(value, nullptr));
        case G_VARIANT_CLASS_BOOLEAN:
            return Variant::Bool(g_variant_get_boolean(value));
        case G_VARIANT_CLASS_BYTE:
            return Variant::Int(kVtUi1, g_variant_get_byte(value));
        case G_VARIANT_CLASS_INT16:
            return Variant::Int(kVtI2, g_variant_get_int16(value));
        case G_VARIANT_CLASS_UINT16:
            return Variant::Int(kVtUi2, g_variant_get_uint16(value));
        case G_VARIANT_CLASS_INT32:
        case G_VARIANT_CLASS_HANDLE:
            return Variant::Int(kVtI4, g_variant_get_int32(value));
        case G_VARIANT_CLASS_UINT32:
            return Variant::Int(kVtUi4, g_variant_get_uint32(value));
        case G_VARIANT_CLASS_INT64:
            return Variant::Int(kVtI8, g_variant_get_int64(value));
        case G_VARIANT_CLASS_UINT64:
            return Variant::Int(kVtUi8, static_cast<std::int64_t>(g_variant_get_uint64(value)));
        case G_VARIANT_CLASS_DOUBLE:
            return Variant::Real(kVtR8, g_variant_get_double(value));
        case G_VARIANT_CLASS_ARRAY:
            return Variant::Array(kVtVariant);
        default:
            return Variant::Object();
    }
}

void ReturnOutcome(GDBusMethodInvocation* invocation, const MemberOutcome& outcome) {
    if (outcome.hresult != 0)
        g_dbus_method_invocation_return_dbus_error(invocation, kBusErrorName,
                                                   outcome.description.c_str());
    else
        g_dbus_method_invocation_return_value(invocation, nullptr);
}

void Changed(long delta) {
    g_server->count += delta;
    if (delta < 0 && g_server->count == 0 && g_server->on_last_release) {
        // After the reply has gone out: the handler that released the object returns first.
        g_idle_add(
            [](gpointer) -> gboolean {
                if (g_server && g_server->count == 0 && g_server->on_last_release)
                    g_server->on_last_release();
                return G_SOURCE_REMOVE;
            },
            nullptr);
    }
}

void ReleaseInstance(std::uint64_t id);
void ForgetHolderIfEmpty(const std::string& owner);

// A caller that left the bus gives up everything it held.
void OnOwnerVanished(GDBusConnection*, const char* name, gpointer) {
    if (!g_server)
        return;
    const std::string owner = name;
    std::vector<std::uint64_t> held;
    for (const auto& [id, instance] : g_server->instances) {
        if (instance.owner == owner)
            held.push_back(id);
    }
    for (std::uint64_t id : held)
        ReleaseInstance(id);
    auto it = g_server->holders.find(owner);
    if (it != g_server->holders.end()) {
        const long locks = it->second.locks;
        it->second.locks = 0;
        ForgetHolderIfEmpty(owner);
        if (locks > 0)
            Changed(-locks);
    }
}

Holder& HolderOf(const std::string& owner) {
    Holder& holder = g_server->holders[owner];
    if (holder.watch == 0) {
        // Reports a caller that has already gone at once, so nothing it asked for is kept.
        holder.watch = g_bus_watch_name_on_connection(g_server->connection, owner.c_str(),
                                                      G_BUS_NAME_WATCHER_FLAGS_NONE, nullptr,
                                                      OnOwnerVanished, nullptr, nullptr);
    }
    return holder;
}

void ForgetHolderIfEmpty(const std::string& owner) {
    auto it = g_server->holders.find(owner);
    if (it == g_server->holders.end() || it->second.locks > 0)
        return;
    for (const auto& [id, instance] : g_server->instances) {
        if (instance.owner == owner)
            return;
    }
    g_bus_unwatch_name(it->second.watch);
    g_server->holders.erase(it);
}

void ReleaseInstance(std::uint64_t id) {
    auto it = g_server->instances.find(id);
    if (it == g_server->instances.end())
        return;
    const std::string owner = it->second.owner;
    g_dbus_connection_unregister_object(g_server->connection, it->second.registration);
    g_server->instances.erase(it);
    ForgetHolderIfEmpty(owner);
    Changed(-1);
}

void OnInstanceCall(GDBusConnection*, const char* sender, const char*, const char*,
                    const char* method, GVariant* parameters, GDBusMethodInvocation* invocation,
                    gpointer data) {
    const auto id = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(data));
    // An object answers the caller that created it only, as a COM object answers only those
    // it was handed to: no other client can use it, or release it under its holder.
    const auto it = g_server->instances.find(id);
    if (it == g_server->instances.end() || sender == nullptr || it->second.owner != sender) {
        g_dbus_method_invocation_return_dbus_error(invocation, kBusAccessDenied, kAccessDeniedText);
        return;
    }
    // The bus delivers messages of up to 128 MiB; a member takes at most what a page may
    // send through its own channel.
    if (g_variant_get_size(parameters) > kBusCallLimit) {
        g_dbus_method_invocation_return_dbus_error(invocation, kBusErrorName,
                                                   "The call is too long");
        return;
    }
    const std::string member = method;
    if (member == "GetKelvraApp") {
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(s)", kAppIdentity));
    } else if (member == "CreateVantle") {
        std::array<Variant, 6> values;
        for (std::size_t i = 0; i < values.size(); ++i) {
            GVariant* child = g_variant_get_child_value(parameters, i);
            values[i] = ToVariant(child);
            g_variant_unref(child);
        }
        ReturnOutcome(invocation, GuardMember([&] { AppToIeMembers::CreateVantle(values); }));
    } else if (member == "ShowHint") {
        GVariant* title = g_variant_get_child_value(parameters, 0);
        GVariant* content = g_variant_get_child_value(parameters, 1);
        AppToIeMembers::ShowHint(ToVariant(title), ToVariant(content));
        g_variant_unref(title);
        g_variant_unref(content);
        g_dbus_method_invocation_return_value(invocation, nullptr);
    } else {  // Release
        g_dbus_method_invocation_return_value(invocation, nullptr);
        ReleaseInstance(id);
    }
}

const GDBusInterfaceVTable kInstanceTable = {OnInstanceCall, nullptr, nullptr, {}};

void OnFactoryCall(GDBusConnection*, const char* sender, const char*, const char*,
                   const char* method, GVariant* parameters, GDBusMethodInvocation* invocation,
                   gpointer) {
    const std::string owner = sender ? sender : "";
    if (std::string(method) == "LockServer") {
        gboolean lock = FALSE;
        g_variant_get(parameters, "(b)", &lock);
        Holder& holder = HolderOf(owner);
        // An unlock without a lock of the same caller changes nothing: one client cannot
        // take another's objects away.
        if (lock) {
            ++holder.locks;
            Changed(+1);
        } else if (holder.locks > 0) {
            --holder.locks;
            Changed(-1);
        }
        ForgetHolderIfEmpty(owner);
        g_dbus_method_invocation_return_value(invocation, nullptr);
        return;
    }
    const std::uint64_t id = g_server->next_id++;
    const std::string path = std::string(kFactoryPath) + "/" + std::to_string(id);
    GError* error = nullptr;
    const guint registration = g_dbus_connection_register_object(
        g_server->connection, path.c_str(), g_server->node->interfaces[1], &kInstanceTable,
        reinterpret_cast<gpointer>(static_cast<std::uintptr_t>(id)), nullptr, &error);
    if (registration == 0) {
        g_dbus_method_invocation_take_error(invocation, error);
        return;
    }
    g_server->instances[id] = Instance{owner, registration};
    Changed(+1);
    g_dbus_method_invocation_return_value(invocation, g_variant_new("(o)", path.c_str()));
    HolderOf(owner);  // a caller already gone releases the object from the main loop
}

const GDBusInterfaceVTable kFactoryTable = {OnFactoryCall, nullptr, nullptr, {}};

std::string SessionBusAddress() {
    if (const char* address = g_getenv("DBUS_SESSION_BUS_ADDRESS"); address && *address)
        return address;
    // The user's bus where the session has one; never a bus started just for this.
    char* path = g_build_filename(g_get_user_runtime_dir(), "bus", nullptr);
    std::string out;
    if (g_file_test(path, G_FILE_TEST_EXISTS)) {
        char* escaped = g_dbus_address_escape_value(path);
        out = std::string("unix:path=") + escaped;
        g_free(escaped);
    }
    g_free(path);
    return out;
}

}  // namespace

void StartBusClassServer(std::function<void()> on_last_release) {
    if (g_server)
        return;
    const std::string address = SessionBusAddress();
    if (address.empty())
        return;
    GError* error = nullptr;
    GDBusConnection* connection = g_dbus_connection_new_for_address_sync(
        address.c_str(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &error);
    if (!connection) {
        // The client runs without offering the class; pages keep their own objects.
        g_warning("automation server: %s", error->message);
        g_error_free(error);
        return;
    }
    g_server = new Server;
    g_server->connection = connection;
    g_server->on_last_release = std::move(on_last_release);
    g_server->node = g_dbus_node_info_new_for_xml(kIntrospection, nullptr);
    g_server->factory =
        g_dbus_connection_register_object(connection, kFactoryPath, g_server->node->interfaces[0],
                                          &kFactoryTable, nullptr, nullptr, nullptr);
    // Another process holding the name (another user's session, a stale client) leaves
    // this one unreachable for outside callers: say so.
    g_server->name = g_bus_own_name_on_connection(
        connection, kProgId, G_BUS_NAME_OWNER_FLAGS_DO_NOT_QUEUE, nullptr,
        [](GDBusConnection*, const char* name, gpointer) {
            g_warning("automation server: the bus name %s cannot be owned", name);
        },
        nullptr, nullptr);
}

void StopBusClassServer() {
    if (!g_server)
        return;
    for (auto& [owner, holder] : g_server->holders)
        g_bus_unwatch_name(holder.watch);
    for (auto& [id, instance] : g_server->instances)
        g_dbus_connection_unregister_object(g_server->connection, instance.registration);
    g_bus_unown_name(g_server->name);
    g_dbus_connection_unregister_object(g_server->connection, g_server->factory);
    g_dbus_connection_flush_sync(g_server->connection, nullptr, nullptr);
    g_dbus_connection_close_sync(g_server->connection, nullptr, nullptr);
    g_object_unref(g_server->connection);
    g_dbus_node_info_unref(g_server->node);
    delete g_server;
    g_server = nullptr;
}

long BusObjectCount() {
    return g_server ? g_server->count : 0;
}

}  // namespace kelvra::bridge
