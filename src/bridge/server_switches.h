// The automation server's command-line switches and its start mode.
#pragma once

#include <string>
#include <vector>

namespace kelvra::bridge {

enum class StartMode { Standalone, Automation, Register, Unregister };

struct StartSwitches {
    StartMode mode = StartMode::Standalone;
    bool per_user = false;
    bool operator==(const StartSwitches&) const = default;
};

// args without the program name. A switch starts with '-' or '/' and its remainder equals
// the name, ignoring case. The first matching row of the switch table decides, whatever
// the order of the arguments.
StartSwitches ParseStartSwitches(const std::vector<std::string>& args);

inline constexpr const char* kTerminateCaption = "COM Server Warning";
inline constexpr const char* kTerminateText =
    "There are still active COM objects in this application.  One or more clients may have "
    "references to these objects, so manually closing "
    "this application may cause those client application(s) to fail.\r\n\r\nAre you sure you "
    "want to close this application?";

}  // namespace kelvra::bridge
