// The engine behind the login window's update check: wraps TUpdateEngine in the window's
// UpdateChecker interface with the properties of the window's definition.
#pragma once

#include <memory>

#include "update/update_engine.h"
#include "windows/ports.h"

namespace kelvra::client {

// Sets the properties the window's definition gives; every other one keeps its default.
inline void ApplyProperties(update::TUpdateEngine& engine,
                            const windows::UpdateEngineProperties& p) {
    engine.Agent = p.Agent;
    engine.URL = p.URL;
    engine.SetVersion(p.Version);
    engine.TimeOut = static_cast<int>(p.TimeOut);
    engine.SetLogging(p.Logging);
    engine.SetLogFileName(p.LogFileName);
    engine.TempDirectory = p.TempDirectory;
    engine.Signature = p.Signature;
    engine.DateFormat = p.DateFormat;
    engine.DateSeparator = p.DateSeparator;
    engine.TimeFormat = p.TimeFormat;
    engine.TimeSeparator = p.TimeSeparator;
    engine.PostUpdateInfo().Enabled = p.PostUpdateInfoEnabled;
}

class EngineUpdateChecker final : public windows::UpdateChecker {
  public:
    // app: the GUI whose messages are pumped during the fetch and that owns the prompts.
    EngineUpdateChecker(const windows::UpdateEngineProperties& properties, ui::NativeWindow owner,
                        ui::Application* app)
        : engine_(app) {
        ApplyProperties(engine_, properties);
        engine_.OwnerWindow = owner;
    }
    bool NewVersionAvailable(bool init_path) override {
        return engine_.NewVersionAvailable(init_path);
    }
    update::TUpdateEngine& engine() { return engine_; }

  private:
    update::TUpdateEngine engine_;
};

}  // namespace kelvra::client
