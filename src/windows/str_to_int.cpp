#include "windows/str_to_int.h"

#include <string>

#include "platform/error.h"

namespace kelvra::windows {

std::int32_t StrToInt(std::string_view text) {
    auto fail = [&]() -> std::int32_t {
        throw Error("'" + std::string(text) + "' is not a valid integer value");
    };
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    int base = 10;
    if (i < text.size() && text[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' &&
               (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= text.size())
        return fail();
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return fail();
        value = value * base + digit;
        if (value > 0x80000000LL)
            return fail();
    }
    if (negative)
        value = -value;
    if (value > INT32_MAX || value < INT32_MIN)
        return fail();
    return static_cast<std::int32_t>(value);
}

}  // namespace kelvra::windows
