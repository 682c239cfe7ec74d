// The system's ANSI code page (Windows: CP_ACP; Linux: the locale's codeset).
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace kelvra::platform {

class CodePage {
  public:
    virtual ~CodePage() = default;
    // Windows code page number (936, 1252, 65001, ...); 0 when the codeset has none.
    virtual unsigned Id() const = 0;
    // Characters the code page cannot hold become its default character.
    virtual std::string FromUtf16(std::u16string_view text) const = 0;
    // Bytes that form no character become U+FFFD.
    virtual std::u16string ToUtf16(std::string_view bytes) const = 0;
};

// The process's ANSI code page.
CodePage& SystemCodePage();

}  // namespace kelvra::platform
