// A single pass over the RTF text: groups keep the state that changes inside them (hidden
// destinations, the \uc count); 8-bit text collects until a Unicode character or the end
// forces it through the code page, so double-byte characters split over two \'hh escapes
// decode as one.
#include "ui/rich_text.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/text.h"

namespace kelvra::ui {
namespace {

constexpr unsigned kDefaultCodePage = 1252;
// Deeper groups share the state of the last recorded one, so hostile nesting costs no memory.
constexpr std::size_t kMaxDepth = 1024;
// Control words are at most 32 letters; parameters are clamped to this magnitude.
constexpr std::size_t kMaxWordLength = 32;
constexpr std::int64_t kMaxParameter = std::int64_t{1} << 30;

// Destinations whose text is never shown.
constexpr std::string_view kHiddenDestinations[] = {
    "fonttbl",      "colortbl", "stylesheet", "info",      "pict",     "listtable",
    "revtbl",       "rsidtbl",  "generator",  "fldinst",   "objdata",  "listoverridetable",
    "header",       "footer",   "headerl",    "headerr",   "headerf",  "footerl",
    "footerr",      "footerf",  "themedata",  "datastore", "xmlnstbl", "colorschememapping",
    "latentstyles", "filetbl",  "private"};

struct Symbol {
    std::string_view word;
    char16_t unit;
};

// Control words that stand for one character.
constexpr Symbol kSymbols[] = {
    {"par", u'\n'},           {"line", u'\n'},          {"sect", u'\n'},
    {"page", u'\n'},          {"row", u'\n'},           {"tab", u'\t'},
    {"cell", u'\t'},          {"emdash", u'\u2014'},    {"endash", u'\u2013'},
    {"bullet", u'\u2022'},    {"lquote", u'\u2018'},    {"rquote", u'\u2019'},
    {"ldblquote", u'\u201C'}, {"rdblquote", u'\u201D'}, {"emspace", u'\u2003'},
    {"enspace", u'\u2002'},   {"qmspace", u'\u2005'},   {"zwj", u'\u200D'},
    {"zwnj", u'\u200C'},      {"ltrmark", u'\u200E'},   {"rtlmark", u'\u200F'}};

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

struct GroupState {
    bool hidden = false;            // inside a destination whose text is not shown
    std::int64_t unicode_skip = 1;  // fallback characters that follow each \uN
};

class Converter {
  public:
    Converter(std::string_view rtf, const CodePageDecoder& decode) : in_(rtf), decode_(decode) {}

    std::string Run() {
        while (pos_ < in_.size()) {
            const char c = in_[pos_++];
            switch (c) {
                case '{':
                    OpenGroup();
                    break;
                case '}':
                    CloseGroup();
                    break;
                case '\\':
                    Escape();
                    break;
                case '\r':
                case '\n':
                    break;  // line breaks of the source are not text
                default:
                    Byte(c);
                    break;
            }
        }
        Flush();
        return text::Utf16ToUtf8(out_);
    }

  private:
    void OpenGroup() {
        fallback_left_ = 0;
        if (stack_.size() < kMaxDepth)
            stack_.push_back(state_);
        else
            ++overflow_;
    }

    void CloseGroup() {
        fallback_left_ = 0;
        if (overflow_ > 0) {
            --overflow_;
        } else if (!stack_.empty()) {
            state_ = stack_.back();
            stack_.pop_back();
        }
        // A closing brace without its opening one is ignored.
    }

    // One character of the fallback text after \uN is skipped instead of shown.
    bool SkipFallback() {
        if (fallback_left_ <= 0)
            return false;
        --fallback_left_;
        return true;
    }

    void Byte(char c) {
        if (SkipFallback() || state_.hidden || c == '\0')
            return;
        pending_.push_back(c);
    }

    void Unit(char16_t u) {
        if (state_.hidden)
            return;
        Flush();
        out_.push_back(u);
    }

    void Flush() {
        if (pending_.empty())
            return;
        out_ += decode_(code_page_, pending_);
        pending_.clear();
    }

    void Escape() {
        if (pos_ >= in_.size())
            return;  // a lone backslash at the end
        const char c = in_[pos_];
        if (IsLetter(c)) {
            ControlWord();
            return;
        }
        ++pos_;
        switch (c) {
            case '\\':
            case '{':
            case '}':
                Byte(c);
                break;
            case '\'':
                HexByte();
                break;
            case '*':
                // An ignorable destination: none of those carries text that is shown.
                state_.hidden = true;
                break;
            case '~':
                if (!SkipFallback())
                    Unit(u'\u00A0');
                break;
            case '_':
                if (!SkipFallback())
                    Unit(u'\u2011');
                break;
            case '\r':
            case '\n':
                if (!SkipFallback())
                    Unit(u'\n');
                break;
            default:
                // \- (optional hyphen), \| \: and unknown symbols show nothing.
                SkipFallback();
                break;
        }
    }

    void HexByte() {
        const int hi = pos_ < in_.size() ? text::HexDigitValue(in_[pos_]) : -1;
        const int lo = pos_ + 1 < in_.size() ? text::HexDigitValue(in_[pos_ + 1]) : -1;
        if (hi < 0 || lo < 0) {
            // A truncated escape: the digits that are there are dropped, the rest is text.
            if (hi >= 0)
                ++pos_;
            return;
        }
        pos_ += 2;
        Byte(static_cast<char>(hi * 16 + lo));
    }

    void ControlWord() {
        const std::size_t start = pos_;
        while (pos_ < in_.size() && IsLetter(in_[pos_]))
            ++pos_;
        const std::string_view word = in_.substr(start, std::min(pos_ - start, kMaxWordLength));
        bool has_parameter = false;
        std::int64_t parameter = 0;
        bool negative = false;
        if (pos_ + 1 < in_.size() && in_[pos_] == '-' && IsDigit(in_[pos_ + 1])) {
            negative = true;
            ++pos_;
        }
        while (pos_ < in_.size() && IsDigit(in_[pos_])) {
            has_parameter = true;
            parameter = std::min(kMaxParameter, parameter * 10 + (in_[pos_] - '0'));
            ++pos_;
        }
        if (negative)
            parameter = -parameter;
        if (pos_ < in_.size() && in_[pos_] == ' ')
            ++pos_;  // the delimiting space belongs to the word
        Apply(word, has_parameter, parameter);
    }

    void Apply(std::string_view word, bool has_parameter, std::int64_t parameter) {
        if (word == "bin") {
            // Binary data of the given length follows; it is never text.
            const std::size_t length = has_parameter && parameter > 0
                                           ? static_cast<std::size_t>(parameter)
                                           : std::size_t{0};
            pos_ += std::min(length, in_.size() - pos_);
            return;
        }
        if (word == "ansicpg") {
            Flush();
            code_page_ = has_parameter && parameter > 0 ? static_cast<unsigned>(parameter)
                                                        : kDefaultCodePage;
            return;
        }
        if (word == "uc") {
            state_.unicode_skip = has_parameter ? std::max<std::int64_t>(0, parameter) : 1;
            return;
        }
        if (word == "u" && has_parameter) {
            if (SkipFallback())
                return;
            // The parameter is a signed 16-bit number: negative values stand for U+8000 and
            // up. Numbers outside 16 bits and U+0000 show nothing; the fallback is still skipped.
            if (parameter >= -32768 && parameter <= 65535 && parameter != 0)
                Unit(static_cast<char16_t>(static_cast<std::uint16_t>(parameter & 0xFFFF)));
            fallback_left_ = state_.unicode_skip;
            return;
        }
        if (std::find(std::begin(kHiddenDestinations), std::end(kHiddenDestinations), word) !=
            std::end(kHiddenDestinations)) {
            state_.hidden = true;
            return;
        }
        if (SkipFallback())
            return;
        for (const Symbol& s : kSymbols) {
            if (s.word == word) {
                Unit(s.unit);
                return;
            }
        }
        // Every other control word changes formatting only.
    }

    std::string_view in_;
    const CodePageDecoder& decode_;
    std::size_t pos_ = 0;
    GroupState state_;
    std::vector<GroupState> stack_;
    std::size_t overflow_ = 0;
    std::int64_t fallback_left_ = 0;
    unsigned code_page_ = kDefaultCodePage;
    std::string pending_;
    std::u16string out_;
};

}  // namespace

std::string RichTextToPlain(std::string_view rtf, const CodePageDecoder& decode) {
    return Converter(rtf, decode).Run();
}

std::string RichTextToPlain(const std::string& rtf) {
    static const CodePageDecoder platform = [](unsigned code_page, std::string_view bytes) {
        return DecodeCodePage(code_page, bytes);
    };
    return RichTextToPlain(rtf, platform);
}

}  // namespace kelvra::ui
