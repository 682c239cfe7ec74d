// The ports and shared state every window of the client is created with.
#pragma once

#include <string>

#include "browser/browser_control.h"
#include "windows/ports.h"
#include "windows/process_state.h"

namespace kelvra::platform {
class CodePage;
class Environment;
class FileSystem;
class Registry;
}  // namespace kelvra::platform

namespace kelvra::windows {

struct WindowsContext {
    browser::BrowserBackend& browsers;
    platform::Environment& env;
    platform::FileSystem& files;
    platform::Registry& registry;
    const platform::CodePage& ansi;
    Shell& shell;
    ProcessState& state;
    ExternalObjectFactory external;       // null: pages get no external object
    UpdateCheckerFactory update_checker;  // null: the login window has no update engine
    std::string default_webroot;
    std::string fallback_webroot;
    std::string update_host;
};

// "http://" + web root + path.
std::string PageAddress(const WindowsContext& context, const char* path);
inline constexpr const char* kLoginPath = "/site/login";
inline constexpr const char* kHomePath = "/home/techer/default";

}  // namespace kelvra::windows
