// The automation server on Linux: the class on the session bus (bus_class_server), an
// activation file where Windows keeps the class registration (activation_file), and in
// automation mode the end of the client when the last outside object has been released.
#include <glib.h>

#include "bridge/automation_server.h"
#include "bridge/posix/activation_file.h"
#include "bridge/posix/bus_class_server.h"
#include "bridge/server_switches.h"
#include "platform/error.h"
#include "ui/message_box.h"

namespace kelvra::bridge {
namespace {

std::string Executable() {
    char* path = g_file_read_link("/proc/self/exe", nullptr);
    std::string out = path ? path : "";
    g_free(path);
    return out;
}

ServerStart Registration(const StartSwitches& switches) {
    if (switches.mode == StartMode::Unregister) {
        RemoveActivationFile(switches.per_user);
        return {false, 0};
    }
    try {
        WriteActivationFile(switches.per_user, Executable());
        return {false, 0};
    } catch (const Error& e) {
        ui::ApplicationMessageBoxes().Show(RegistrationFailureBox(e.what()));
        return {false, 1};
    }
}

}  // namespace

ServerStart StartAutomationServer(const std::vector<std::string>& args) {
    const StartSwitches switches = ParseStartSwitches(args);
    if (switches.mode == StartMode::Register || switches.mode == StartMode::Unregister)
        return Registration(switches);
    if (switches.mode == StartMode::Automation)
        StartBusClassServer([] { QuitAutomation(); });
    else
        StartBusClassServer(nullptr);
    return {};
}

bool AutomationTerminationCheck() {
    if (BusObjectCount() <= 0)
        return true;
    // The GTK box cannot make No its default button; the question is the same.
    return ui::ApplicationMessageBoxes().Show(TerminationQuestion()) == ui::MsgResult::Yes;
}

void StopAutomationServer() {
    StopBusClassServer();
}

}  // namespace kelvra::bridge
