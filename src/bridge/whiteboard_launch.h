// The whiteboard hand-off behind CreateVantle: notify the running whiteboard through the
// registry value and message 3027, or start it with the course text, or tell the user
// that none is installed.
#pragma once

#include <array>
#include <functional>
#include <string>

#include "bridge/variant.h"

namespace kelvra::platform {
class CodePage;
class Registry;
}  // namespace kelvra::platform
namespace kelvra::ui {
class MessageBoxes;
using NativeWindow = void*;
}  // namespace kelvra::ui

namespace kelvra::bridge {

class Shell;
class WhiteboardWindows;

inline constexpr const char* kHandOffKey = "SOFTWARE\\kelvramsg";
inline constexpr const char* kHandOffValue = "msgbody";
inline constexpr const char* kNoWhiteboardMessage =
    "发现没有安装Kelvra白板软件，请先安装白板软件后再操作！";

struct LaunchPorts {
    // The whiteboard path settled at start-up ("" when none was found).
    std::function<std::string()> whiteboard_path;
    platform::Registry* registry = nullptr;
    const platform::CodePage* code_page = nullptr;
    WhiteboardWindows* windows = nullptr;
    Shell* shell = nullptr;
    ui::MessageBoxes* boxes = nullptr;
    char separator = '\\';
};

// The "no whiteboard" box is modal to owner (null: no owner). Throws AutomationError
// (argument kinds, failed registry write).
void LaunchWhiteboard(const LaunchPorts& ports, const std::array<Variant, 6>& values,
                      ui::NativeWindow owner = nullptr);

// The ports the automation objects use. The defaults are the system's own with an empty
// whiteboard path; the client sets the path (and tests their fakes) at start-up.
LaunchPorts& CurrentLaunchPorts();
void SetLaunchPorts(const LaunchPorts& ports);

}  // namespace kelvra::bridge
