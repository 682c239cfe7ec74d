// The page-facing external object a window hands to its browser, one per request
// (windows::ExternalObjectFactory). Windows: a new TTKelvraAppToIe, not counted among the
// automation server's objects. Linux: a marker that the page gets window.external
// through the injected script and HandleExternalMessage.
#pragma once

#include <memory>

#include "browser/browser_control.h"

namespace kelvra::bridge {

std::shared_ptr<browser::Dispatch> NewExternalObject();

}  // namespace kelvra::bridge
