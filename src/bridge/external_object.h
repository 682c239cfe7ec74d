// The page-facing external object a window hands to its browser, one per request
// (windows::ExternalObjectFactory). Windows: a new TTKelvraAppToIe, not counted among the
// automation server's objects. Linux: a marker that the page gets window.external
// through the injected script and HandleExternalMessage.
#pragma once

#include <memory>

#include "browser/browser_control.h"
#include "ui/message_box.h"

namespace kelvra::bridge {

// owner: the window whose page gets the object; the boxes the object shows are modal to it.
std::shared_ptr<browser::Dispatch> NewExternalObject(ui::NativeWindow owner = nullptr);

}  // namespace kelvra::bridge
