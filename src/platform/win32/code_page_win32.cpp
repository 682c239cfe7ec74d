#include <windows.h>

#include <string>

#include "platform/code_page.h"

namespace kelvra::platform {
namespace {

// CP_ACP through the system's own conversions; unmappable characters become the code
// page's default character, invalid bytes U+FFFD.
class Win32AnsiCodePage final : public CodePage {
  public:
    unsigned Id() const override { return GetACP(); }

    std::string FromUtf16(std::u16string_view text) const override {
        if (text.empty())
            return {};
        const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
        const int len = static_cast<int>(text.size());
        const int n = WideCharToMultiByte(CP_ACP, 0, wide, len, nullptr, 0, nullptr, nullptr);
        if (n <= 0)
            return {};
        std::string out(static_cast<std::size_t>(n), '\0');
        WideCharToMultiByte(CP_ACP, 0, wide, len, out.data(), n, nullptr, nullptr);
        return out;
    }

    std::u16string ToUtf16(std::string_view bytes) const override {
        if (bytes.empty())
            return {};
        const int len = static_cast<int>(bytes.size());
        const int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), len, nullptr, 0);
        if (n <= 0)
            return {};
        std::u16string out(static_cast<std::size_t>(n), u'\0');
        MultiByteToWideChar(CP_ACP, 0, bytes.data(), len, reinterpret_cast<wchar_t*>(out.data()),
                            n);
        return out;
    }
};

}  // namespace

CodePage& SystemCodePage() {
    static Win32AnsiCodePage page;
    return page;
}

}  // namespace kelvra::platform
