// What the four windows need besides the GUI and browser ports: the shell's "open" verb,
// the page-facing external object, and the update engine placed on the login window.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "browser/browser_control.h"
#include "ui/message_box.h"

namespace kelvra::windows {

inline constexpr int kSwShowNormal = 1;

// The system shell's verb on a file (ShellExecuteW on Windows, the desktop's opener on
// Linux). The result is the shell's own; callers in the windows do not examine it.
class Shell {
  public:
    virtual ~Shell() = default;
    virtual void Execute(ui::NativeWindow owner, const std::string& verb, const std::string& file,
                         const std::string& parameters, const std::string& directory,
                         int show_command) = 0;
};

// A new page-facing automation object, one per request of a page; owner is the window
// whose browser asks (the owner of the boxes the object shows).
using ExternalObjectFactory =
    std::function<std::shared_ptr<browser::Dispatch>(ui::NativeWindow owner)>;

// Properties the login window's definition gives its update engine; all of them come from
// that definition (none has a working default here).
struct UpdateEngineProperties {
    std::string Agent;
    std::string URL;
    std::string Version;
    unsigned TimeOut = 0;
    bool Logging = false;
    std::string LogFileName;
    std::string TempDirectory;
    std::string Signature;
    std::string DateFormat;
    char DateSeparator = 0;
    std::string TimeFormat;
    char TimeSeparator = 0;
    bool PostUpdateInfoEnabled = false;
};

// The part of the update engine the login window uses.
class UpdateChecker {
  public:
    virtual ~UpdateChecker() = default;
    // Whether a newer version exists; pumps the window's messages while it downloads.
    virtual bool NewVersionAvailable(bool init_path) = 0;
};

// Makes the engine of one login window; owner is that window's native handle.
using UpdateCheckerFactory = std::function<std::unique_ptr<UpdateChecker>(
    const UpdateEngineProperties& properties, ui::NativeWindow owner)>;

}  // namespace kelvra::windows
