#include "update/profile_text.h"

#include <algorithm>

#include "platform/code_page.h"
#include "platform/text.h"
#include "update/control_file.h"

namespace kelvra::update {
namespace {

// Blanks as the profile functions skip them: white space plus the Ctrl-Z end-of-file mark.
bool IsBlank(char16_t c) {
    switch (c) {
        case 0x09:
        case 0x0A:
        case 0x0B:
        case 0x0C:
        case 0x0D:
        case 0x20:
        case 0x1A:
        case 0x85:
        case 0xA0:
        case 0x1680:
        case 0x2028:
        case 0x2029:
        case 0x202F:
        case 0x205F:
        case 0x3000:
            return true;
        default:
            return c >= 0x2000 && c <= 0x200A;
    }
}

std::u16string_view TrimBlanks(std::u16string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b]))
        ++b;
    while (e > b && IsBlank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

}  // namespace

std::u16string DecodeStoredText(std::string_view bytes) {
    auto u8 = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (bytes.size() >= 3 && u8(0) == 0xEF && u8(1) == 0xBB && u8(2) == 0xBF)
        return text::Utf8ToUtf16(bytes.substr(3));
    if (bytes.size() >= 2 &&
        ((u8(0) == 0xFF && u8(1) == 0xFE) || (u8(0) == 0xFE && u8(1) == 0xFF))) {
        const bool little = u8(0) == 0xFF;
        std::u16string out;
        out.reserve(bytes.size() / 2);
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
            out.push_back(little ? static_cast<char16_t>(u8(i) | (u8(i + 1) << 8))
                                 : static_cast<char16_t>((u8(i) << 8) | u8(i + 1)));
        }
        return out;
    }
    return platform::SystemCodePage().ToUtf16(bytes);
}

ProfileText::ProfileText(std::string_view bytes) : text_(DecodeStoredText(bytes)) {
    const std::u16string_view text(text_);
    constexpr std::size_t npos = std::u16string_view::npos;
    // The span of text[b, e) up to nul, the first NUL at or after b (npos: none): names and
    // values end there, as C strings do.
    auto span = [](std::size_t b, std::size_t e, std::size_t nul) {
        return Span{b, std::min(e, nul) - b};
    };
    // A line ends at LF; only where no LF follows does a CR end it.
    const std::size_t last_lf = text.rfind(u'\n');
    sections_.push_back(Section{});  // keys before the first header
    std::size_t pos = 0;
    while (pos < text.size()) {
        const char16_t stop = last_lf != npos && pos <= last_lf ? u'\n' : u'\r';
        // One pass over the line: its end, its first "=" and its first NUL.
        std::size_t end = pos, eq = npos, nul = npos;
        for (; end < text.size(); ++end) {
            // Letters and most other characters lie above "=", the line ends and NUL below:
            // one comparison passes them.
            const char16_t c = text[end];
            if (c > u'=')
                continue;
            if (c == stop)
                break;
            if (c == u'=') {
                if (eq == npos)
                    eq = end;
            } else if (c == u'\0' && nul == npos) {
                nul = end;
            }
        }
        const std::u16string_view raw = text.substr(pos, end - pos);
        const std::u16string_view line = TrimBlanks(raw);
        const std::size_t b = pos + static_cast<std::size_t>(line.data() - raw.data());
        const std::size_t e = b + line.size();
        pos = end + 1;
        if (line.empty())
            continue;
        if (line.front() == u'[') {
            const std::size_t close = line.rfind(u']');
            if (close != npos && close > 0) {
                sections_.push_back(Section{span(b + 1, b + close, nul), {}});
                continue;
            }
            // A header without "]" is read as an ordinary line.
        }
        // "=" and NUL are not blanks, so both lie inside the trimmed line.
        Entry entry;
        if (eq == npos) {
            entry.name = span(b, e, nul);
        } else {
            const std::u16string_view name = TrimBlanks(text.substr(b, eq - b));
            const std::u16string_view value = TrimBlanks(text.substr(eq + 1, e - eq - 1));
            const std::size_t name_b = static_cast<std::size_t>(name.data() - text.data());
            const std::size_t value_b = static_cast<std::size_t>(value.data() - text.data());
            entry.name = span(name_b, name_b + name.size(), nul);
            // The first NUL of the line may lie before the "=": then the value looks for its own.
            std::size_t value_nul = nul;
            if (nul != npos && nul < eq) {
                const std::size_t at = value.find(u'\0');
                value_nul = at == npos ? npos : value_b + at;
            }
            entry.value = span(value_b, value_b + value.size(), value_nul);
            entry.has_value = true;
        }
        std::vector<Entry>& entries = sections_.back().entries;
        // A nameless line is dropped right after another nameless one.
        if (entry.name.size != 0 || entries.empty() || entries.back().name.size != 0)
            entries.push_back(entry);
    }
}

std::u16string ProfileText::Get(std::u16string_view section, std::u16string_view key,
                                std::u16string_view def) const {
    // Trailing blanks of the default are dropped, but never its first character.
    std::size_t def_len = def.size();
    while (def_len > 1 && def[def_len - 1] == u' ')
        --def_len;
    std::u16string_view value = def.substr(0, def_len);
    {
        // An empty key name finds a line that begins with "=".
        const std::u16string_view want_section = TrimBlanks(section);
        const std::u16string_view want_key = TrimBlanks(key);
        for (const Section& s : sections_) {
            if (!text::EqualsIgnoreCase(View(s.name), want_section))
                continue;
            // Only the first section of that name counts.
            for (const Entry& e : s.entries) {
                if (text::EqualsIgnoreCase(View(e.name), want_key)) {
                    if (e.has_value)
                        value = View(e.value);
                    break;
                }
            }
            break;
        }
    }
    value = value.substr(0, value.find(u'\0'));
    // A value entirely in matching quotes loses them; the limit applies to the unquoted text.
    bool quoted = false;
    if (value.size() >= 2 && (value.front() == u'\'' || value.front() == u'"') &&
        value.back() == value.front()) {
        quoted = true;
        value.remove_prefix(1);
    }
    std::u16string out(value.substr(0, kMaxProfileValue));
    if (quoted && kMaxProfileValue + 1 >= value.size() && !out.empty())
        out.pop_back();
    return out;
}

namespace {

class MemoryControlFile final : public ControlFileReader {
  public:
    MemoryControlFile(std::string bytes, std::string path) : text_(bytes), path_(std::move(path)) {}
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view def) const override {
        return text::Utf16ToUtf8(
            text_.Get(text::Utf8ToUtf16(section), text::Utf8ToUtf16(key), text::Utf8ToUtf16(def)));
    }
    const std::string& Path() const override { return path_; }

  private:
    ProfileText text_;
    std::string path_;
};

}  // namespace

std::unique_ptr<ControlFileReader> ControlFileFromBytes(std::string bytes, std::string path) {
    return std::make_unique<MemoryControlFile>(std::move(bytes), std::move(path));
}

}  // namespace kelvra::update
