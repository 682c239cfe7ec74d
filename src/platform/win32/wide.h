// UTF-8 <-> UTF-16 at the Win32 boundary, and Win32 error reporting.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace kelvra::platform::win32 {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);

// The system's text for a Win32 error code, without the trailing line break.
std::string SystemErrorText(DWORD code);
// Throws OsError with "what. <system text>" and the code.
[[noreturn]] void ThrowWin32(const std::string& what, DWORD code);

}  // namespace kelvra::platform::win32
