#include "bridge/automation_server.h"

#include <cstdlib>

#include "bridge/server_switches.h"
#include "ui/application.h"

namespace kelvra::bridge {
namespace {
std::function<void()>& Quit() {
    static std::function<void()> quit;
    return quit;
}
}  // namespace

ui::MessageBoxRequest RegistrationFailureBox(const std::string& text) {
    ui::MessageBoxRequest box;
    box.text = text;
    box.caption = "Application Error";
    box.buttons = ui::MsgButtons::Ok;
    box.icon = ui::MsgIcon::Error;
    return box;
}

ui::MessageBoxRequest TerminationQuestion() {
    ui::MessageBoxRequest box;
    box.text = kTerminateText;
    box.caption = kTerminateCaption;
    box.buttons = ui::MsgButtons::YesNo;
    box.icon = ui::MsgIcon::Warning;
    box.default_button = 1;  // No: the client keeps serving unless the user insists
    box.task_modal = true;
    return box;
}

void SetAutomationQuit(std::function<void()> quit) {
    Quit() = std::move(quit);
}

void QuitAutomation() {
    if (Quit())
        Quit()();
}

std::function<bool(ui::Application&)> AutomationServerInitializer(std::vector<std::string> args) {
    return [args = std::move(args)](ui::Application& app) {
        const ServerStart start = StartAutomationServer(args);
        if (!start.carry_on) {
            if (start.exit_code != 0)
                std::exit(start.exit_code);
            return false;
        }
        app.SetTerminationCheck([] { return AutomationTerminationCheck(); });
        SetAutomationQuit([&app] { app.Terminate(); });
        return true;
    };
}

}  // namespace kelvra::bridge
