// The update engine's HTML dialog on Linux: a modal window with a web view.
#pragma once

namespace kelvra::update::gtk {

// Installs the WebKitGTK dialog as the update engine's HTML dialog for this process.
void InstallHtmlDialog();

}  // namespace kelvra::update::gtk
