// The shell's "open" verb on Linux: an executable file is started directly (detached,
// with the parameters as its arguments); anything else goes to the desktop's default
// application for it.
#pragma once

#include "windows/ports.h"

namespace kelvra::client::gtk {

class DesktopShell final : public windows::Shell {
  public:
    void Execute(ui::NativeWindow owner, const std::string& verb, const std::string& file,
                 const std::string& parameters, const std::string& directory,
                 int show_command) override;
};

}  // namespace kelvra::client::gtk
