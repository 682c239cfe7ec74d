// The automation server on Linux: there is no COM to register with, so the register and
// unregister switches say so and end the process; other modes carry on as usual.
#include <cstdio>

#include "bridge/automation_server.h"
#include "bridge/server_switches.h"

namespace kelvra::bridge {

ServerStart StartAutomationServer(const std::vector<std::string>& args) {
    const StartSwitches switches = ParseStartSwitches(args);
    if (switches.mode == StartMode::Register || switches.mode == StartMode::Unregister) {
        std::printf("%s\n", switches.mode == StartMode::Register
                                ? "Registering the automation server is available on Windows only."
                                : "Unregistering the automation server is available on Windows "
                                  "only.");
        std::fflush(stdout);
        return {false, 0};
    }
    return {};
}

bool AutomationTerminationCheck() {
    return true;  // no outside client can hold an object here
}

void StopAutomationServer() {}

}  // namespace kelvra::bridge
