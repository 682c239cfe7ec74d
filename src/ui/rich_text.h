// Rich text (RTF) reduced to the plain text it shows, for platforms without a rich-text box.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace kelvra::ui {

// Turns bytes of a Windows code page into UTF-16; bytes that form no character become
// U+FFFD. An unknown code page is read as 1252.
using CodePageDecoder = std::function<std::u16string(unsigned code_page, std::string_view bytes)>;

// The platform's conversion (Windows: MultiByteToWideChar; Linux: iconv).
std::u16string DecodeCodePage(unsigned code_page, std::string_view bytes);

// The visible text of an RTF document as UTF-8: paragraph and line breaks become "\n",
// tabs "\t"; 8-bit characters are read in the document's \ansicpg code page (1252 when it
// names none), \uN characters as UTF-16 with their \ucN fallbacks skipped; font, colour and
// style tables, document information, pictures and ignorable destinations are left out.
// Malformed input (unbalanced braces, truncated escapes) gives what could be read.
std::string RichTextToPlain(const std::string& rtf);
std::string RichTextToPlain(std::string_view rtf, const CodePageDecoder& decode);

}  // namespace kelvra::ui
