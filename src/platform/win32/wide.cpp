#include "platform/win32/wide.h"

#include "platform/error.h"
#include "platform/text.h"

namespace kelvra::platform::win32 {

std::wstring Widen(std::string_view utf8) {
    const std::u16string u = text::Utf8ToUtf16(utf8);
    return std::wstring(u.begin(), u.end());
}

std::string Narrow(std::wstring_view wide) {
    return text::Utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
}

std::string SystemErrorText(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring message = n ? std::wstring(buffer, n) : std::wstring();
    if (buffer)
        LocalFree(buffer);
    while (!message.empty() &&
           (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' ')) {
        message.pop_back();
    }
    if (message.empty())
        return "System error " + std::to_string(code);
    return Narrow(message);
}

void ThrowWin32(const std::string& what, DWORD code) {
    throw OsError(what + ". " + SystemErrorText(code), code);
}

}  // namespace kelvra::platform::win32
