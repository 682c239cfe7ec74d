// The updater's run: the engine set up as the client's login window sets it up, the whole
// update procedure with the release checks, the window, and a message box for every way
// the run can end short of handing the restart to the restart program.
#pragma once

#include <string>

#include "update/release_signature.h"

namespace kelvra::platform {
class Registry;
}
namespace kelvra::ui {
class Application;
}
namespace kelvra::update {
class InternetPlatform;
class ProcessRunner;
}  // namespace kelvra::update

namespace kelvra::updater {

struct UpdaterSetup {
    ui::Application* app = nullptr;
    std::string update_host;  // as the client's: the build's, or the demo's override
    std::string client_path;  // the client's executable in the application folder
    update::Ed25519PublicKey key{};
    // The Apps & features entry to bring to the new version; null for none.
    platform::Registry* registry = nullptr;
    // The platform's own unless a test passes its own.
    update::InternetPlatform* internet = nullptr;
    update::ProcessRunner* processes = nullptr;
};

// Exit codes of the updater.
enum class UpdaterResult {
    HandedOff = 0,  // the restart program installs the release and starts the client
    Cancelled = 1,  // by the user, or nothing to install
    Refused = 2,    // the release failed a check; nothing was changed
    Failed = 3,     // the server or a download failed; nothing was changed
};

UpdaterResult RunUpdater(const UpdaterSetup& setup);

// The client's update host: KELVRA_DEMO_UPDATE_HOST (demo and test runs serve the update
// on loopback) or the build's.
std::string ClientUpdateHost();

// Shows text in the updater's box (caption: the product's update), with an error icon.
void ShowUpdaterError(ui::Application& app, const std::string& text);

}  // namespace kelvra::updater
