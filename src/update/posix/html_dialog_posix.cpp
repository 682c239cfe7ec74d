// Linux has no HTML dialog of its own; the client installs one (see SetHtmlDialogHandler).
#include "update/html_dialog.h"

namespace kelvra::update {

void PlatformHtmlDialog(ui::NativeWindow, const std::string&) {}

}  // namespace kelvra::update
