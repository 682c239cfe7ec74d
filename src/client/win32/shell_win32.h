// The windows' shell port on Windows: ShellExecuteW.
#pragma once

#include "windows/ports.h"

namespace kelvra::client::win32 {

class Win32WindowsShell final : public windows::Shell {
  public:
    // The shell's own result is not examined, as the callers ask.
    void Execute(ui::NativeWindow owner, const std::string& verb, const std::string& file,
                 const std::string& parameters, const std::string& directory,
                 int show_command) override;
};

}  // namespace kelvra::client::win32
