// The modal HTML dialog of the update procedure. The platform's own (Windows: MSHTML's
// ShowHTMLDialog, loaded at run time) unless the application installs another handler; the
// Linux client installs a window with a web view, since the update library itself does not
// depend on a browser.
#pragma once

#include <functional>
#include <string>

#include "ui/message_box.h"

namespace kelvra::update {

// Shows the page at url modally, owned by owner (null for none).
using HtmlDialogHandler = std::function<void(ui::NativeWindow owner, const std::string& url)>;

// Installs handler for every engine of the process; an empty one restores the platform's.
void SetHtmlDialogHandler(HtmlDialogHandler handler);

// The installed handler, else the platform's dialog.
void ShowHtmlDialog(ui::NativeWindow owner, const std::string& url);

// The platform's own dialog; nothing happens where the platform has none or its library
// or function is missing.
void PlatformHtmlDialog(ui::NativeWindow owner, const std::string& url);

}  // namespace kelvra::update
