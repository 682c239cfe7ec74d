// The course text handed to the whiteboard: the six lesson values, each followed by
// "&&", inside double quotes, passed through the ANSI code page.
#pragma once

#include <array>
#include <string>

#include "bridge/variant.h"

namespace kelvra::platform {
class CodePage;
}

namespace kelvra::bridge {

inline constexpr const char16_t* kCourseSeparator = u"&&";

// Text values are appended unchanged and empty values append nothing. Any other kind
// throws AutomationError: a conversion error for numbers, currency, dates, booleans and
// null; "Invalid variant operation" for objects, error values and arrays.
std::u16string BuildCourseText(const std::array<Variant, 6>& values);

// The text in the ANSI code page, and that form converted back to UTF-16.
struct AnsiText {
    std::string ansi;
    std::u16string wide;
};
AnsiText ThroughCodePage(const platform::CodePage& code_page, std::u16string_view text);

}  // namespace kelvra::bridge
