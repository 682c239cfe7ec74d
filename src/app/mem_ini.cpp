#include "app/mem_ini.h"

#include "platform/code_page.h"
#include "platform/file_system.h"
#include "platform/text.h"

namespace kelvra::app {
namespace {

std::u16string DecodeUtf16(std::string_view bytes, bool big_endian) {
    std::u16string out;
    out.reserve(bytes.size() / 2);
    // An odd trailing byte forms no code unit and is dropped.
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        out.push_back(static_cast<char16_t>(big_endian ? (a << 8) | b : (b << 8) | a));
    }
    return out;
}

std::string EncodeUtf16(std::u16string_view text, bool big_endian) {
    std::string out;
    out.reserve(text.size() * 2);
    for (char16_t c : text) {
        const char hi = static_cast<char>(c >> 8);
        const char lo = static_cast<char>(c & 0xFF);
        out.push_back(big_endian ? hi : lo);
        out.push_back(big_endian ? lo : hi);
    }
    return out;
}

bool StartsWith(std::string_view bytes, std::string_view mark) {
    return bytes.substr(0, mark.size()) == mark;
}

// The key of a stored "name=value" line, trimmed; nothing for lines without '='.
bool KeyOf(std::u16string_view line, std::u16string_view& key) {
    const std::size_t eq = line.find(u'=');
    if (eq == std::u16string_view::npos)
        return false;
    key = line.substr(0, eq);
    return true;
}

}  // namespace

TMemIni::TMemIni(std::string file_name, platform::FileSystem& files, const platform::CodePage& ansi)
    : file_name_(std::move(file_name)), files_(files), ansi_(ansi) {
    // A missing file reads as empty; anything else that exists must be readable.
    std::string bytes;
    if (files_.FileExists(file_name_) || files_.DirectoryExists(file_name_))
        bytes = files_.ReadFile(file_name_);
    Load(bytes);
}

void TMemIni::Load(std::string_view bytes) {
    sections_.clear();
    std::u16string text;
    if (StartsWith(bytes, "\xEF\xBB\xBF")) {
        encoding_ = IniEncoding::Utf8Bom;
        text = text::Utf8ToUtf16(bytes.substr(3));
    } else if (StartsWith(bytes, "\xFF\xFE")) {
        encoding_ = IniEncoding::Utf16LeBom;
        text = DecodeUtf16(bytes.substr(2), false);
    } else if (StartsWith(bytes, "\xFE\xFF")) {
        encoding_ = IniEncoding::Utf16BeBom;
        text = DecodeUtf16(bytes.substr(2), true);
    } else {
        encoding_ = IniEncoding::Ansi;
        text = ansi_.ToUtf16(bytes);
    }

    Section* current = nullptr;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of(u"\r\n", pos);
        if (end == std::u16string::npos)
            end = text.size();
        const std::u16string line = text::Trim(std::u16string_view(text).substr(pos, end - pos));
        pos = end;
        if (pos < text.size() && text[pos] == u'\r')
            ++pos;
        if (pos < text.size() && text[pos] == u'\n' && (pos == end || text[end] == u'\r'))
            ++pos;

        if (line.empty() || line[0] == u';')
            continue;
        if (line.size() >= 2 && line.front() == u'[' && line.back() == u']') {
            sections_.push_back(
                {text::Trim(std::u16string_view(line).substr(1, line.size() - 2)), {}});
            current = &sections_.back();
            continue;
        }
        if (current == nullptr)
            continue;
        const std::size_t eq = line.find(u'=');
        if (eq == std::u16string::npos) {
            current->lines.push_back(line);
        } else {
            const std::u16string_view view(line);
            current->lines.push_back(text::Trim(view.substr(0, eq)) + u"=" +
                                     text::Trim(view.substr(eq + 1)));
        }
    }
}

std::string TMemIni::Serialize() const {
    std::u16string text;
    for (const Section& s : sections_) {
        text += u"[";
        text += s.name;
        text += u"]\r\n";
        for (const std::u16string& line : s.lines) {
            text += line;
            text += u"\r\n";
        }
        text += u"\r\n";
    }
    switch (encoding_) {
        case IniEncoding::Utf8Bom:
            return "\xEF\xBB\xBF" + text::Utf16ToUtf8(text);
        case IniEncoding::Utf16LeBom:
            return "\xFF\xFE" + EncodeUtf16(text, false);
        case IniEncoding::Utf16BeBom:
            return "\xFE\xFF" + EncodeUtf16(text, true);
        case IniEncoding::Ansi:
            break;
    }
    return ansi_.FromUtf16(text);
}

TMemIni::Section* TMemIni::FindSection(std::u16string_view name) {
    for (Section& s : sections_) {
        if (text::EqualsIgnoreCase(s.name, name))
            return &s;
    }
    return nullptr;
}

const TMemIni::Section* TMemIni::FindSection(std::u16string_view name) const {
    for (const Section& s : sections_) {
        if (text::EqualsIgnoreCase(s.name, name))
            return &s;
    }
    return nullptr;
}

std::string TMemIni::ReadString(std::string_view section, std::string_view key,
                                std::string_view default_value) const {
    const Section* s = FindSection(text::Utf8ToUtf16(section));
    if (s != nullptr) {
        const std::u16string wanted = text::Utf8ToUtf16(key);
        for (const std::u16string& line : s->lines) {
            std::u16string_view name;
            if (KeyOf(line, name) && text::EqualsIgnoreCase(name, wanted))
                return text::Utf16ToUtf8(std::u16string_view(line).substr(name.size() + 1));
        }
    }
    return std::string(default_value);
}

void TMemIni::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    const std::u16string section16 = text::Utf8ToUtf16(section);
    const std::u16string key16 = text::Utf8ToUtf16(key);
    Section* s = FindSection(section16);
    if (s == nullptr) {
        sections_.push_back({section16, {}});
        s = &sections_.back();
    }
    const std::u16string line = key16 + u"=" + text::Utf8ToUtf16(value);
    for (std::u16string& existing : s->lines) {
        std::u16string_view name;
        if (KeyOf(existing, name) && text::EqualsIgnoreCase(name, key16)) {
            existing = line;
            return;
        }
    }
    s->lines.push_back(line);
}

void TMemIni::UpdateFile() {
    files_.ReplaceAtomically(file_name_, Serialize());
}

}  // namespace kelvra::app
