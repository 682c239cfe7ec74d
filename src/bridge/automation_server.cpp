#include "bridge/automation_server.h"

#include <cstdlib>

#include "ui/application.h"

namespace kelvra::bridge {

std::function<bool(ui::Application&)> AutomationServerInitializer(std::vector<std::string> args) {
    return [args = std::move(args)](ui::Application& app) {
        const ServerStart start = StartAutomationServer(args);
        if (!start.carry_on) {
            if (start.exit_code != 0)
                std::exit(start.exit_code);
            return false;
        }
        app.SetTerminationCheck([] { return AutomationTerminationCheck(); });
        return true;
    };
}

}  // namespace kelvra::bridge
