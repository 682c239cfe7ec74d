#include "platform/registry.h"

#include "platform/error.h"
#include "platform/text.h"

namespace kelvra::platform {

RegistryValue RegistryValue::Text(std::string_view utf8, std::uint32_t type) {
    RegistryValue v;
    v.type = type;
    const std::u16string units = text::Utf8ToUtf16(utf8);
    v.data.reserve((units.size() + 1) * 2);
    for (char16_t u : units) {
        v.data.push_back(static_cast<std::uint8_t>(u & 0xFF));
        v.data.push_back(static_cast<std::uint8_t>(u >> 8));
    }
    v.data.push_back(0);
    v.data.push_back(0);
    return v;
}

RegistryValue RegistryValue::Dword(std::uint32_t value) {
    RegistryValue v;
    v.type = kRegDword;
    for (int i = 0; i < 4; ++i)
        v.data.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    return v;
}

std::string RegistryValue::TextValue() const {
    std::u16string units;
    for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
        const char16_t u = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
        if (u == 0)
            break;
        units.push_back(u);
    }
    return text::Utf16ToUtf8(units);
}

std::uint32_t RegistryValue::DwordValue() const {
    if (type != kRegDword || data.size() != 4)
        throw Error("Registry value is not a DWORD");
    return static_cast<std::uint32_t>(data[0]) | (static_cast<std::uint32_t>(data[1]) << 8) |
           (static_cast<std::uint32_t>(data[2]) << 16) |
           (static_cast<std::uint32_t>(data[3]) << 24);
}

}  // namespace kelvra::platform
