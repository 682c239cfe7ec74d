// Text to a signed 32-bit integer, as the window sizes from page attributes are read.
#pragma once

#include <cstdint>
#include <string_view>

namespace kelvra::windows {

// Optional leading blanks, an optional sign, then decimal digits, or hexadecimal after
// "$" or "0x". Anything else, or a value outside 32 bits, raises Error
// "'<text>' is not a valid integer value".
std::int32_t StrToInt(std::string_view text);

}  // namespace kelvra::windows
