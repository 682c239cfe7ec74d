#include "client/win32/client_wiring.h"

#include <cstdlib>

#include "bridge/automation_server.h"
#include "bridge/external_object.h"
#include "bridge/whiteboard_launch.h"
#include "bridge/whiteboard_ports.h"
#include "bridge/win32/external_dispatch.h"
#include "browser/win32/browser_backend_win32.h"
#include "client/update_checker.h"
#include "platform/code_page.h"
#include "platform/file_system.h"
#include "platform/registry.h"

namespace kelvra::client::win32 {

ClientWiring::ClientWiring(std::vector<std::string> arguments, const windows::ProcessState& state,
                           ui::MessageBoxes& boxes)
    : arguments_(std::move(arguments)),
      // The page gets the IDispatch of the automation object that the bridge made.
      browsers_(browser::win32::MakeBrowserBackend([](const browser::Dispatch& external) {
          const auto* object = dynamic_cast<const bridge::win32::ExternalDispatch*>(&external);
          if (object == nullptr || object->get() == nullptr)
              return static_cast<IDispatch*>(nullptr);
          object->get()->AddRef();
          return object->get();
      })) {
    bridge::LaunchPorts launch;
    launch.whiteboard_path = [&state] { return state.WhiteboardPath; };
    launch.registry = &platform::SystemRegistry();
    launch.code_page = &platform::SystemCodePage();
    launch.windows = &bridge::SystemWhiteboardWindows();
    launch.shell = &bridge::SystemShell();
    launch.boxes = &boxes;
    launch.separator = platform::SystemFileSystem().Separator();
    bridge::SetLaunchPorts(launch);
}

ClientWiring::~ClientWiring() {
    Finish();
}

windows::ExternalObjectFactory ClientWiring::ExternalObjects() const {
    return [](ui::NativeWindow owner) { return bridge::NewExternalObject(owner); };
}

windows::UpdateCheckerFactory ClientWiring::UpdateCheckers(ui::Application& app) {
    return [&app](const windows::UpdateEngineProperties& properties,
                  ui::NativeWindow owner) -> std::unique_ptr<windows::UpdateChecker> {
        return std::make_unique<client::EngineUpdateChecker>(properties, owner, &app);
    };
}

std::function<bool(ui::Application&)> ClientWiring::Initialization() const {
    return bridge::AutomationServerInitializer(arguments_);
}

void ClientWiring::Finish() {
    if (finished_)
        return;
    finished_ = true;
    bridge::StopAutomationServer();
}

std::string ClientWiring::UpdateHost() {
    const char* demo = std::getenv("KELVRA_DEMO_UPDATE_HOST");
    return demo != nullptr && *demo != '\0' ? demo : KELVRA_UPDATE_HOST;
}

}  // namespace kelvra::client::win32
