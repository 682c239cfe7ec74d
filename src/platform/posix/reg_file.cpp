#include "platform/posix/reg_file.h"

#include <cstdint>
#include <cstdio>
#include <optional>

#include "platform/error.h"
#include "platform/text.h"

namespace kelvra::platform::posix {
namespace {

constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr std::size_t kBytesPerLine = 24;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::vector<std::string> SplitPath(std::string_view path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('\\', start);
        if (end == std::string_view::npos)
            end = path.size();
        if (end > start)
            parts.emplace_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

std::string Fold(std::string_view utf8) {
    std::u16string units = text::Utf8ToUtf16(utf8);
    for (char16_t& u : units)
        u = text::FoldCase(u);
    return text::Utf16ToUtf8(units);
}

std::u16string UnitsOf(const std::vector<std::uint8_t>& data) {
    std::u16string units;
    for (std::size_t i = 0; i + 1 < data.size(); i += 2)
        units.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    return units;
}

std::vector<std::uint8_t> BytesOf(std::u16string_view units) {
    std::vector<std::uint8_t> data;
    data.reserve(units.size() * 2);
    for (char16_t u : units) {
        data.push_back(static_cast<std::uint8_t>(u & 0xFF));
        data.push_back(static_cast<std::uint8_t>(u >> 8));
    }
    return data;
}

// The UTF-8 form of UTF-16LE data when converting it back gives the same bytes.
std::optional<std::string> LosslessUtf8(const std::vector<std::uint8_t>& data) {
    if (data.size() % 2 != 0)
        return std::nullopt;
    const std::u16string units = UnitsOf(data);
    std::string utf8 = text::Utf16ToUtf8(units);
    if (text::Utf8ToUtf16(utf8) != units)
        return std::nullopt;
    return utf8;
}

std::optional<std::uint32_t> ParseHexNumber(std::string_view s) {
    if (s.empty() || s.size() > 8)
        return std::nullopt;
    std::uint32_t v = 0;
    for (char c : s) {
        const int d = text::HexDigitValue(c);
        if (d < 0)
            return std::nullopt;
        v = (v << 4) | static_cast<std::uint32_t>(d);
    }
    return v;
}

class Parser {
  public:
    Parser(std::string_view source, std::string_view root, std::vector<std::string> lines)
        : source_(source), root_(root), lines_(std::move(lines)) {}

    RegFile Run() {
        if (lines_.empty())
            Fail(1, "the file is empty");
        // Text in another encoding would turn into replacement characters and be written
        // back that way; refuse it instead.
        for (std::size_t i = 0; i < lines_.size(); ++i) {
            if (text::Utf16ToUtf8(text::Utf8ToUtf16(lines_[i])) != lines_[i])
                Fail(i + 1, "the text is not UTF-8");
        }
        const std::string_view header = TrimBlanks(lines_[0]);
        if (header == kHeader4) {
            unicode_ = false;
        } else if (header == kHeader5) {
            unicode_ = true;
        } else {
            Fail(1, "unknown header");
        }
        RegKey* current = nullptr;
        for (line_ = 1; line_ < lines_.size(); ++line_) {
            const std::string_view t = TrimBlanks(lines_[line_]);
            if (t.empty() || t.front() == ';')
                continue;
            if (t.front() == '[') {
                if (t.back() != ']' || t.size() < 3)
                    Fail(line_ + 1, "malformed key line");
                const std::string_view inner = t.substr(1, t.size() - 2);
                const bool remove = inner.front() == '-';
                const std::string_view path = remove ? inner.substr(1) : inner;
                const std::vector<std::string> parts = SplitPath(path);
                if (parts.empty())
                    Fail(line_ + 1, "malformed key line");
                if (!root_.empty() && !text::EqualsIgnoreCase(parts.front(), root_))
                    Fail(line_ + 1, "key outside of " + std::string(root_));
                if (remove) {
                    file_.RemoveTree(path);
                    current = nullptr;
                } else {
                    current = &file_.Ensure(path);
                }
                continue;
            }
            const std::size_t first = line_ + 1;
            if (t.front() != '"' && t.front() != '@')
                Fail(first, "unrecognised line");
            if (current == nullptr)
                Fail(first, "value outside of a key");
            ParseValue(t, *current, first);
        }
        return std::move(file_);
    }

  private:
    [[noreturn]] void Fail(std::size_t line, const std::string& what) const {
        throw Error("Damaged registry file \"" + std::string(source_) + "\", line " +
                    std::to_string(line) + ": " + what);
    }

    // Reads a quoted string starting at s[0] == '"'; returns its text and advances s.
    std::string Quoted(std::string_view& s, std::size_t line) const {
        std::string out;
        std::size_t i = 1;
        for (;; ++i) {
            if (i >= s.size())
                Fail(line, "unterminated quote");
            const char c = s[i];
            if (c == '"')
                break;
            if (c == '\\') {
                if (i + 1 >= s.size())
                    Fail(line, "unterminated quote");
                const char next = s[++i];
                if (next != '\\' && next != '"')
                    Fail(line, "unknown escape sequence");
                out.push_back(next);
            } else {
                out.push_back(c);
            }
        }
        s.remove_prefix(i + 1);
        return out;
    }

    void ParseValue(std::string_view t, RegKey& key, std::size_t line) {
        std::string name;
        if (t.front() == '@') {
            t.remove_prefix(1);
        } else {
            name = Quoted(t, line);
        }
        t = TrimBlanks(t);
        if (t.empty() || t.front() != '=')
            Fail(line, "expected '=' after the value name");
        t = TrimBlanks(t.substr(1));
        if (t == "-") {
            key.Remove(name);
            return;
        }
        if (!t.empty() && t.front() == '"') {
            std::string data = Quoted(t, line);
            if (!TrimBlanks(t).empty())
                Fail(line, "text after the closing quote");
            key.Set(name, RegistryValue::Text(data, kRegSz));
            return;
        }
        if (t.substr(0, 6) == "dword:") {
            const auto v = ParseHexNumber(TrimBlanks(t.substr(6)));
            if (!v)
                Fail(line, "bad dword value");
            key.Set(name, RegistryValue::Dword(*v));
            return;
        }
        if (t.substr(0, 3) == "hex") {
            key.Set(name, ParseHex(t.substr(3), line));
            return;
        }
        Fail(line, "unrecognised value data");
    }

    RegistryValue ParseHex(std::string_view t, std::size_t line) {
        RegistryValue v;
        v.type = kRegBinary;
        bool text = false;
        if (!t.empty() && t.front() == '(') {
            const std::size_t close = t.find(')');
            if (close == std::string_view::npos)
                Fail(line, "bad hex type");
            const std::string_view spelled = t.substr(1, close - 1);
            const auto type = ParseHexNumber(spelled);
            if (!type)
                Fail(line, "bad hex type");
            v.type = *type;
            text = spelled == "2" || spelled == "7";
            t.remove_prefix(close + 1);
        }
        if (t.empty() || t.front() != ':')
            Fail(line, "expected ':' after hex");
        std::string list(t.substr(1));
        // A trailing backslash continues the list on the next line.
        for (;;) {
            const std::string_view trimmed = TrimBlanks(list);
            if (trimmed.empty() || trimmed.back() != '\\')
                break;
            list = std::string(trimmed.substr(0, trimmed.size() - 1));
            if (++line_ >= lines_.size())
                Fail(line, "continuation line missing at the end of the file");
            list += TrimBlanks(lines_[line_]);
        }
        std::string_view rest = TrimBlanks(list);
        std::vector<std::uint8_t> bytes;
        while (!rest.empty()) {
            const std::size_t comma = rest.find(',');
            const std::string_view item = TrimBlanks(rest.substr(0, comma));
            if (item.size() != 2 || text::HexDigitValue(item[0]) < 0 ||
                text::HexDigitValue(item[1]) < 0)
                Fail(line, "bad hex byte");
            bytes.push_back(static_cast<std::uint8_t>(text::HexDigitValue(item[0]) * 16 +
                                                      text::HexDigitValue(item[1])));
            if (comma == std::string_view::npos)
                break;
            rest = rest.substr(comma + 1);
            if (TrimBlanks(rest).empty())
                Fail(line, "bad hex byte");
        }
        if (text && !unicode_) {
            const std::string utf8(bytes.begin(), bytes.end());
            bytes = BytesOf(text::Utf8ToUtf16(utf8));
        }
        v.data = std::move(bytes);
        return v;
    }

    std::string_view source_;
    std::string_view root_;
    std::vector<std::string> lines_;
    std::size_t line_ = 0;
    bool unicode_ = false;
    RegFile file_;
};

// The file's text as UTF-8 lines without their line ends.
std::vector<std::string> Lines(std::string_view bytes, std::string_view source) {
    std::string utf8;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        if (bytes.size() % 2 != 0) {
            throw Error("Damaged registry file \"" + std::string(source) +
                        "\", line 1: odd number of bytes in UTF-16 text");
        }
        std::vector<std::uint8_t> data(bytes.begin() + 2, bytes.end());
        utf8 = text::Utf16ToUtf8(UnitsOf(data));
    } else {
        if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
            bytes.remove_prefix(3);
        utf8 = std::string(bytes);
    }
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < utf8.size()) {
        std::size_t end = utf8.find('\n', start);
        if (end == std::string::npos)
            end = utf8.size();
        std::string line = utf8.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

bool WritableName(std::string_view s) {
    for (char c : s) {
        if (c == '\r' || c == '\n')
            return false;
    }
    return true;
}

std::string QuotedText(std::string_view s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '\\' || c == '"')
            out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

// REG_SZ data that "text" reproduces exactly: one terminating NUL, no other NUL, no
// control characters, valid UTF-16.
std::optional<std::string> PlainText(const RegistryValue& v) {
    if (v.type != kRegSz || v.data.size() < 2 || v.data.size() % 2 != 0)
        return std::nullopt;
    std::u16string units = UnitsOf(v.data);
    if (units.back() != 0)
        return std::nullopt;
    units.pop_back();
    for (char16_t u : units) {
        if (u < 0x20)
            return std::nullopt;
    }
    std::string utf8 = text::Utf16ToUtf8(units);
    if (text::Utf8ToUtf16(utf8) != units)
        return std::nullopt;
    return utf8;
}

void AppendHexList(std::string& out, std::string_view prefix, const std::uint8_t* data,
                   std::size_t size) {
    static const char kDigits[] = "0123456789abcdef";
    out += prefix;
    for (std::size_t i = 0; i < size; ++i) {
        if (i > 0) {
            out.push_back(',');
            if (i % kBytesPerLine == 0)
                out += "\\\n  ";
        }
        out.push_back(kDigits[data[i] >> 4]);
        out.push_back(kDigits[data[i] & 0xF]);
    }
}

std::string HexType(std::uint32_t type) {
    static const char kDigits[] = "0123456789abcdef";
    std::string s;
    do {
        s.insert(s.begin(), kDigits[type & 0xF]);
        type >>= 4;
    } while (type != 0);
    return s;
}

void AppendData(std::string& out, const RegistryValue& v) {
    if (auto plain = PlainText(v)) {
        out += QuotedText(*plain);
        return;
    }
    if (v.type == kRegDword && v.data.size() == 4) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "dword:%08x", v.DwordValue());
        out += buf;
        return;
    }
    if (v.type == kRegExpandSz || v.type == kRegMultiSz) {
        if (auto utf8 = LosslessUtf8(v.data)) {
            AppendHexList(out, "hex(" + HexType(v.type) + "):",
                          reinterpret_cast<const std::uint8_t*>(utf8->data()), utf8->size());
        } else {
            // Not valid UTF-16: the raw bytes under a spelling that is not read as text.
            AppendHexList(out, "hex(0" + HexType(v.type) + "):", v.data.data(), v.data.size());
        }
        return;
    }
    const std::string prefix = v.type == kRegBinary ? "hex:" : "hex(" + HexType(v.type) + "):";
    AppendHexList(out, prefix, v.data.data(), v.data.size());
}

}  // namespace

const RegistryValue* RegKey::Find(std::string_view name) const {
    for (const auto& [n, v] : values) {
        if (text::EqualsIgnoreCase(n, name))
            return &v;
    }
    return nullptr;
}

void RegKey::Set(std::string_view name, const RegistryValue& value) {
    for (auto& [n, v] : values) {
        if (text::EqualsIgnoreCase(n, name)) {
            v = value;
            return;
        }
    }
    values.emplace_back(std::string(name), value);
}

bool RegKey::Remove(std::string_view name) {
    for (auto it = values.begin(); it != values.end(); ++it) {
        if (text::EqualsIgnoreCase(it->first, name)) {
            values.erase(it);
            return true;
        }
    }
    return false;
}

RegFile RegFile::Parse(std::string_view bytes, std::string_view source, std::string_view root) {
    return Parser(source, root, Lines(bytes, source)).Run();
}

std::string RegFile::Write() const {
    std::string out(kHeader4);
    out += "\n";
    for (const auto& [sort, key] : keys_) {
        if (!WritableName(key.path))
            throw Error("Registry key name \"" + key.path + "\" contains a line break");
        out += "\n[" + key.path + "]\n";
        for (const auto& [name, value] : key.values) {
            if (!WritableName(name))
                throw Error("Registry value name \"" + name + "\" contains a line break");
            out += name.empty() ? std::string("@") : QuotedText(name);
            out += "=";
            AppendData(out, value);
            out += "\n";
        }
    }
    return out;
}

std::string RegFile::SortKey(std::string_view path) {
    std::string key;
    for (const std::string& part : SplitPath(path)) {
        if (!key.empty())
            key.push_back('\x01');
        key += Fold(part);
    }
    return key;
}

const RegKey* RegFile::Find(std::string_view path) const {
    const auto it = keys_.find(SortKey(path));
    return it == keys_.end() ? nullptr : &it->second;
}

RegKey* RegFile::Find(std::string_view path) {
    const auto it = keys_.find(SortKey(path));
    return it == keys_.end() ? nullptr : &it->second;
}

RegKey& RegFile::Ensure(std::string_view path) {
    std::string sort;
    std::string written;
    RegKey* key = nullptr;
    for (const std::string& part : SplitPath(path)) {
        if (!sort.empty()) {
            sort.push_back('\x01');
            written.push_back('\\');
        }
        sort += Fold(part);
        written += part;
        auto [it, inserted] = keys_.try_emplace(sort);
        if (inserted)
            it->second.path = written;
        key = &it->second;
    }
    if (key == nullptr)
        throw Error("Empty registry key name");
    return *key;
}

bool RegFile::HasSubkeys(std::string_view path) const {
    const std::string prefix = SortKey(path) + '\x01';
    const auto it = keys_.lower_bound(prefix);
    return it != keys_.end() && it->first.compare(0, prefix.size(), prefix) == 0;
}

std::vector<const RegKey*> RegFile::Keys() const {
    std::vector<const RegKey*> out;
    out.reserve(keys_.size());
    for (const auto& [sort_key, key] : keys_)
        out.push_back(&key);
    return out;
}

bool RegFile::RemoveTree(std::string_view path) {
    const std::string sort = SortKey(path);
    const auto self = keys_.find(sort);
    if (self == keys_.end())
        return false;
    const std::string prefix = sort + '\x01';
    auto it = keys_.erase(self);
    while (it != keys_.end() && it->first.compare(0, prefix.size(), prefix) == 0)
        it = keys_.erase(it);
    return true;
}

}  // namespace kelvra::platform::posix
