// Key routing into a browser's page: the routine the browser windows install in the
// application message hook slot.
#pragma once

#include <cstdint>

#include "ui/backend.h"

namespace kelvra::browser {

class THostedBrowser;

// Key codes never offered to the page's accelerator translation on key down or up.
bool IsExcludedKeyCode(std::uintptr_t key_code);

// Dialog-message processing for the browser's window, then (when that handled the message
// and the browser is not busy) the in-place active object's accelerator translation for
// every message except excluded keys. handled keeps the dialog-message answer; null
// browser gives false.
void RouteKeyMessage(THostedBrowser* browser, const ui::Message& message, bool& handled);

}  // namespace kelvra::browser
