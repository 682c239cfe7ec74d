#include "update/control_file.h"

#include <limits>

#include "platform/text.h"

namespace kelvra::update {

std::optional<std::int32_t> ParseProfileInteger(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    bool has_sign = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        has_sign = true;
        ++i;
    }
    const std::string_view rest = text.substr(i);
    bool hex = false;
    if (!rest.empty() && rest[0] == '$') {
        hex = true;
        i += 1;
    } else if (rest.size() >= 3 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X')) {
        hex = true;
        i += 2;
    }
    // Only a value that begins with the prefix is hexadecimal: "-$10" or "+0x10" is no number.
    if (hex && has_sign)
        return std::nullopt;
    if (i >= text.size())
        return std::nullopt;
    std::uint64_t value = 0;
    for (; i < text.size(); ++i) {
        const int d = hex ? text::HexDigitValue(text[i])
                          : (text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : -1);
        if (d < 0)
            return std::nullopt;
        value = value * (hex ? 16 : 10) + static_cast<unsigned>(d);
        if (value > 0xFFFFFFFFull)
            return std::nullopt;
    }
    if (hex) {
        // Hexadecimal texts give the 32-bit pattern: $FFFFFFFF is -1.
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
    }
    const std::uint64_t limit = negative ? 2147483648ull : 2147483647ull;
    if (value > limit)
        return std::nullopt;
    return negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(value))
                    : static_cast<std::int32_t>(value);
}

std::string ExpandLineBreaks(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
            out.push_back('\r');
            ++i;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

std::string ReadString(const ControlFileReader& file, std::string_view section,
                       std::string_view key, std::string_view def) {
    return file.ReadString(section, key, def);
}

std::int32_t ReadInteger(const ControlFileReader& file, std::string_view section,
                         std::string_view key, std::int32_t def) {
    return ParseProfileInteger(file.ReadString(section, key, "")).value_or(def);
}

bool ReadFlag(const ControlFileReader& file, std::string_view section, std::string_view key,
              bool def) {
    return ReadInteger(file, section, key, def ? 1 : 0) == 1;
}

std::string ReadLines(const ControlFileReader& file, std::string_view section,
                      std::string_view key) {
    return ExpandLineBreaks(file.ReadString(section, key, ""));
}

}  // namespace kelvra::update
