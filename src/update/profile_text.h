// The portable private-profile reader: parses INI text the way the Windows profile
// functions do and answers lookups. Used by the Linux backend and by tests everywhere.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kelvra::update {

// Text as stored in a file: a UTF-8 or UTF-16 (LE/BE) byte-order mark selects that encoding,
// anything else is read in the ANSI code page.
std::u16string DecodeStoredText(std::string_view bytes);

class ProfileText {
  public:
    // bytes as stored: a UTF-8 or UTF-16 (LE/BE) byte-order mark selects that encoding,
    // anything else is read in the ANSI code page.
    explicit ProfileText(std::string_view bytes);

    // The value as a read with a buffer of kMaxProfileValue + 1 units gives it.
    std::u16string Get(std::u16string_view section, std::u16string_view key,
                       std::u16string_view def) const;

  private:
    // A piece of text_ (offsets, so that copies and moves of the object stay valid).
    struct Span {
        std::size_t pos = 0;
        std::size_t size = 0;
    };
    struct Entry {
        Span name;
        Span value;
        bool has_value = false;
    };
    struct Section {
        Span name;
        std::vector<Entry> entries;
    };
    std::u16string_view View(Span span) const {
        return std::u16string_view(text_).substr(span.pos, span.size);
    }

    std::u16string text_;
    std::vector<Section> sections_;
};

}  // namespace kelvra::update
