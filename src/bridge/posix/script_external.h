// The Linux external object: the web view offers window.external through its injected
// script, whose hand-offs reach HandleExternalMessage under kExternalMessageHandler.
#pragma once

#include "bridge/external_handler.h"
#include "browser/browser_control.h"

namespace kelvra::bridge {

class ScriptExternal final : public browser::Dispatch {
  public:
    const char* handler_name() const { return kExternalMessageHandler; }
};

}  // namespace kelvra::bridge
