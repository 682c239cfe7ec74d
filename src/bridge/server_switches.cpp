#include "bridge/server_switches.h"

#include <array>

#include "platform/text.h"

namespace kelvra::bridge {
namespace {

struct Row {
    const char* name;
    StartMode mode;
    bool per_user;
};

constexpr std::array<Row, 6> kRows{{
    {"AUTOMATION", StartMode::Automation, false},
    {"EMBEDDING", StartMode::Automation, false},
    {"REGSERVER", StartMode::Register, false},
    {"UNREGSERVER", StartMode::Unregister, false},
    {"REGSERVERPERUSER", StartMode::Register, true},
    {"UNREGSERVERPERUSER", StartMode::Unregister, true},
}};

bool HasSwitch(const std::vector<std::string>& args, const char* name) {
    for (const std::string& arg : args) {
        if (arg.size() > 1 && (arg[0] == '-' || arg[0] == '/') &&
            text::EqualsIgnoreCase(std::string_view(arg).substr(1), name)) {
            return true;
        }
    }
    return false;
}

}  // namespace

StartSwitches ParseStartSwitches(const std::vector<std::string>& args) {
    for (const Row& row : kRows) {
        if (HasSwitch(args, row.name)) {
            return {row.mode, row.per_user};
        }
    }
    return {};
}

}  // namespace kelvra::bridge
