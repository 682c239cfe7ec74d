// Prints the settings the client resolves at start-up. Used by the run command until the
// client's windows exist; it opens no window.
#include <cstdio>
#include <exception>

#include "app/host_helpers.h"
#include "app/ini_store.h"
#include "platform/code_page.h"
#include "platform/environment.h"
#include "platform/file_system.h"
#include "platform/registry.h"

int main() {
    using namespace kelvra;
    auto& env = platform::SystemEnvironment();
    auto& files = platform::SystemFileSystem();
    const std::string settings = app::GetSettingsFilePath(env, files);
    std::printf("configuration folder: %s\n", app::GetConfigDir(env, files).c_str());
    std::printf("settings file:        %s (%s)\n", settings.c_str(),
                files.FileExists(settings) ? "present" : "absent");
    std::string web_root;
    try {
        app::TIniStore ini(settings, true, files, platform::SystemCodePage());
        web_root = ini.ReadString("SYSTEM", "webroot", KELVRA_DEFAULT_WEBROOT);
    } catch (const std::exception& e) {
        std::printf("settings file error:  %s\n", e.what());
    }
    if (web_root.empty())
        web_root = KELVRA_DEFAULT_WEBROOT;
    std::printf("web root:             %s\n", web_root.c_str());
    std::printf("login page:           http://%s/site/login\n", web_root.c_str());
    try {
        const std::string wb = app::GetWhiteboardPath(platform::SystemRegistry(), files);
        std::printf("whiteboard program:   %s\n", wb.empty() ? "(none found)" : wb.c_str());
    } catch (const std::exception& e) {
        std::printf("whiteboard lookup:    %s\n", e.what());
    }
    std::printf("ANSI code page:       %u\n", platform::SystemCodePage().Id());
    return 0;
}
