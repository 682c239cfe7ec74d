#include "client/gtk/desktop_shell.h"

#include <gio/gio.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace kelvra::client::gtk {

void DesktopShell::Execute(ui::NativeWindow, const std::string& verb, const std::string& file,
                           const std::string& parameters, const std::string& directory, int) {
    if (verb != "open")
        return;  // the client uses no other verb; the shell reports, nobody examines
    if (::access(file.c_str(), X_OK) == 0) {
        std::vector<std::string> args{file};
        if (!parameters.empty()) {
            gint argc = 0;
            gchar** argv = nullptr;
            if (g_shell_parse_argv(parameters.c_str(), &argc, &argv, nullptr)) {
                for (gint i = 0; i < argc; ++i)
                    args.emplace_back(argv[i]);
                g_strfreev(argv);
            }
        }
        std::vector<gchar*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        GError* error = nullptr;
        if (!g_spawn_async(directory.empty() ? nullptr : directory.c_str(), argv.data(), nullptr,
                           G_SPAWN_DEFAULT, nullptr, nullptr, nullptr, &error)) {
            g_warning("Could not start %s: %s", file.c_str(), error->message);
            g_error_free(error);
        }
        return;
    }
    GFile* target = g_file_new_for_path(file.c_str());
    char* uri = g_file_get_uri(target);
    GError* error = nullptr;
    if (!g_app_info_launch_default_for_uri(uri, nullptr, &error)) {
        g_warning("Could not open %s: %s", file.c_str(), error->message);
        g_error_free(error);
    }
    g_free(uri);
    g_object_unref(target);
}

}  // namespace kelvra::client::gtk
