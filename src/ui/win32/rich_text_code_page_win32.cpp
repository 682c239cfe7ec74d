// Code pages of rich text decoded by the system's MultiByteToWideChar.
#include <windows.h>

#include "ui/rich_text.h"

namespace kelvra::ui {

std::u16string DecodeCodePage(unsigned code_page, std::string_view bytes) {
    if (bytes.empty())
        return {};
    if (code_page == 0 || !IsValidCodePage(code_page))
        code_page = 1252;
    const int length = static_cast<int>(bytes.size());
    const int n = MultiByteToWideChar(code_page, 0, bytes.data(), length, nullptr, 0);
    if (n <= 0)
        return std::u16string(bytes.size(), u'\uFFFD');
    std::u16string out(static_cast<std::size_t>(n), u'\0');
    MultiByteToWideChar(code_page, 0, bytes.data(), length, reinterpret_cast<wchar_t*>(out.data()),
                        n);
    return out;
}

}  // namespace kelvra::ui
