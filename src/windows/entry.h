// The client's entry sequence, written once over the GUI and browser ports. Each
// platform's main builds the backends and calls RunClient.
#pragma once

#include <functional>

#include "windows/context.h"

namespace kelvra::platform {
class NamedMutexes;
}
namespace kelvra::ui {
class Application;
}

namespace kelvra::windows {

struct ClientPorts {
    ui::Application& app;
    platform::NamedMutexes& mutexes;
    WindowsContext& context;
    // The application object's initialisation (the automation server's switches);
    // false ends the process there. Null: nothing to initialise.
    std::function<bool(ui::Application&)> initialize;
};

// The application object as the entry sets it up before the main window: its title, the
// caption of every error box.
void SetUpApplication(ui::Application& app);

// Guard, application, main window, message loop, end. Returns the process exit code.
int RunClient(ClientPorts& ports);

}  // namespace kelvra::windows
