#include "client/win32/shell_win32.h"

#include <windows.h>

#include <shellapi.h>

#include "platform/win32/wide.h"

namespace kelvra::client::win32 {

void Win32WindowsShell::Execute(ui::NativeWindow owner, const std::string& verb,
                                const std::string& file, const std::string& parameters,
                                const std::string& directory, int show_command) {
    using platform::win32::Widen;
    const std::wstring w_verb = Widen(verb);
    const std::wstring w_file = Widen(file);
    const std::wstring w_params = Widen(parameters);
    const std::wstring w_dir = Widen(directory);
    ShellExecuteW(static_cast<HWND>(owner), w_verb.empty() ? nullptr : w_verb.c_str(),
                  w_file.c_str(), w_params.empty() ? nullptr : w_params.c_str(),
                  w_dir.empty() ? nullptr : w_dir.c_str(), show_command);
}

}  // namespace kelvra::client::win32
