// UTF-8 <-> UTF-16 conversion and the UTF-16 based text rules the core relies on.
// Core text is UTF-8; where behaviour is defined in UTF-16 code units, convert first.
#pragma once

#include <string>
#include <string_view>

namespace kelvra::text {

// Ill-formed input becomes U+FFFD; never throws.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

// Number of UTF-16 code units the UTF-8 text occupies.
std::size_t Utf16Length(std::string_view utf8);

// Removes leading and trailing blanks and control characters (code units <= U+0020).
std::u16string Trim(std::u16string_view s);
std::string Trim(std::string_view utf8);

// Simple case folding for Latin, Greek and Cyrillic letters; other characters unchanged.
char16_t FoldCase(char16_t c);
bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// ASCII letters a-z upper-cased; every other byte unchanged.
std::string UpperAscii(std::string s);

// The value of a hexadecimal digit (0-9, a-f, A-F); -1 for any other character.
int HexDigitValue(char c);

}  // namespace kelvra::text
