// Loaded by WebKit into every web process of the client. For each document of the page's
// own script world it leaves a native function under kExternalInvokeGlobal that the injected
// window.external script takes: the function sends the call to the client over the private
// D-Bus connection and blocks until the client has answered, so that the page's call returns
// only after the hand-off has run. The blocking call runs no main loop in this process, so no
// other page event can run while the page waits.
#include <webkit2/webkit-web-extension.h>

#include "browser/gtk/external_channel.h"

namespace {

using namespace kelvra::browser::gtk;

GDBusConnection* client_connection = nullptr;

const char* kUnreachable = R"({"ok":false,"message":"The client cannot be reached"})";

char* Invoke(const char* message, gpointer data) {
    const guint64 page = *static_cast<const guint64*>(data);
    if (!client_connection || g_dbus_connection_is_closed(client_connection) || !message)
        return g_strdup(kUnreachable);
    GError* error = nullptr;
    // No time limit: the client waits for the user's box or the whiteboard as long as they
    // take, and so does the page.
    GVariant* reply = g_dbus_connection_call_sync(
        client_connection, nullptr, kExternalObjectPath, kExternalInterface, kExternalMethod,
        g_variant_new("(ts)", page, message), G_VARIANT_TYPE("(s)"), G_DBUS_CALL_FLAGS_NONE,
        G_MAXINT, nullptr, &error);
    if (!reply) {
        g_error_free(error);
        return g_strdup(kUnreachable);
    }
    char* text = nullptr;
    g_variant_get(reply, "(s)", &text);
    g_variant_unref(reply);
    return text;
}

void OnWindowObjectCleared(WebKitScriptWorld* world, WebKitWebPage* page, WebKitFrame* frame,
                           gpointer) {
    JSCContext* context = webkit_frame_get_js_context_for_script_world(frame, world);
    auto* id = g_new(guint64, 1);
    *id = webkit_web_page_get_id(page);
    JSCValue* function = jsc_value_new_function(context, kExternalInvokeGlobal, G_CALLBACK(Invoke),
                                                id, g_free, G_TYPE_STRING, 1, G_TYPE_STRING);
    jsc_context_set_value(context, kExternalInvokeGlobal, function);
    g_object_unref(function);
    g_object_unref(context);
}

}  // namespace

extern "C" G_MODULE_EXPORT void webkit_web_extension_initialize_with_user_data(WebKitWebExtension*,
                                                                               GVariant* data) {
    if (data && g_variant_is_of_type(data, G_VARIANT_TYPE_STRING)) {
        GError* error = nullptr;
        client_connection = g_dbus_connection_new_for_address_sync(
            g_variant_get_string(data, nullptr), G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT,
            nullptr, nullptr, &error);
        if (!client_connection) {
            g_warning("window.external: %s", error->message);
            g_error_free(error);
        }
    }
    g_signal_connect(webkit_script_world_get_default(), "window-object-cleared",
                     G_CALLBACK(OnWindowObjectCleared), nullptr);
}
