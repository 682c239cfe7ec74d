// Where the executable meets the other Windows subsystems: the browser backend, the
// page-facing automation object and its whiteboard hand-off, the automation server and
// the update engine.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "browser/browser_control.h"
#include "windows/ports.h"
#include "windows/process_state.h"

namespace kelvra::ui {
class Application;
class MessageBoxes;
}  // namespace kelvra::ui

namespace kelvra::client::win32 {

class ClientWiring {
  public:
    // Made after the browser process set-up and before the entry's own steps.
    ClientWiring(std::vector<std::string> arguments, const windows::ProcessState& state,
                 ui::MessageBoxes& boxes);
    ~ClientWiring();
    ClientWiring(const ClientWiring&) = delete;
    ClientWiring& operator=(const ClientWiring&) = delete;

    // The hosted WebBrowser control for every THostedBrowser.
    browser::BrowserBackend& Browsers() { return *browsers_; }
    // A new page-facing automation object per request of a page.
    windows::ExternalObjectFactory ExternalObjects() const;
    // The login window's update engine, pumping app's messages while it downloads.
    static windows::UpdateCheckerFactory UpdateCheckers(ui::Application& app);
    // The application object's initialisation: the automation server's switches and its
    // termination check.
    std::function<bool(ui::Application&)> Initialization() const;
    // After the message loop: the class is withdrawn from other processes.
    void Finish();
    // The update server's host: KELVRA_DEMO_UPDATE_HOST (demo and test runs serve the
    // control file on a loopback port known only at run time), else the build's.
    static std::string UpdateHost();

  private:
    std::vector<std::string> arguments_;
    std::unique_ptr<browser::BrowserBackend> browsers_;
    bool finished_ = false;
};

}  // namespace kelvra::client::win32
