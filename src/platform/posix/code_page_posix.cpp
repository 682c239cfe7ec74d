#include "platform/posix/code_page_posix.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <mutex>

#include "platform/text.h"

namespace kelvra::platform {
namespace {

// True when no byte has its top bit set; looked at eight bytes at a time.
bool IsAscii(std::string_view bytes) {
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes.data() + i, sizeof word);
        if ((word & 0x8080808080808080u) != 0)
            return false;
    }
    for (; i < bytes.size(); ++i)
        if (static_cast<unsigned char>(bytes[i]) >= 0x80)
            return false;
    return true;
}

// Converts in_bytes with cd; on an input sequence it cannot take, calls on_bad(in, left)
// which returns how many input bytes to skip and appends its replacement to out.
template <typename OnBad>
std::string Run(iconv_t cd, const char* data, std::size_t size, OnBad on_bad) {
    std::string out;
    if (cd == reinterpret_cast<iconv_t>(-1))
        return out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(data);
    std::size_t in_left = size;
    char buf[4096];
    while (in_left > 0) {
        char* o = buf;
        std::size_t o_left = sizeof buf;
        const std::size_t r = iconv(cd, &in, &in_left, &o, &o_left);
        out.append(buf, static_cast<std::size_t>(o - buf));
        if (r != static_cast<std::size_t>(-1))
            continue;
        if (errno == E2BIG)
            continue;
        // EILSEQ or EINVAL (incomplete sequence at the end): replace and move on.
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        const std::size_t skip = std::min(in_left, on_bad(in, in_left, out));
        in += skip;
        in_left -= skip;
    }
    {
        char* o = buf;
        std::size_t o_left = sizeof buf;
        iconv(cd, nullptr, nullptr, &o, &o_left);
        out.append(buf, static_cast<std::size_t>(o - buf));
    }
    return out;
}

class IconvCodePage final : public CodePage {
  public:
    explicit IconvCodePage(std::string codeset)
        : codeset_(std::move(codeset)), id_(WindowsCodePageId(codeset_)) {
        to_ = iconv_open(codeset_.c_str(), "UTF-16LE");
        from_ = iconv_open("UTF-16LE", codeset_.c_str());
        ascii_identity_ = MapsAsciiToItself();
    }
    ~IconvCodePage() override {
        if (to_ != reinterpret_cast<iconv_t>(-1))
            iconv_close(to_);
        if (from_ != reinterpret_cast<iconv_t>(-1))
            iconv_close(from_);
    }

    unsigned Id() const override { return id_; }

    std::string FromUtf16(std::u16string_view text) const override {
        std::lock_guard<std::mutex> lock(mutex_);
        std::string le;
        le.reserve(text.size() * 2);
        for (char16_t c : text) {
            le.push_back(static_cast<char>(c & 0xFF));
            le.push_back(static_cast<char>(c >> 8));
        }
        if (to_ == reinterpret_cast<iconv_t>(-1))
            return std::string(text.size(), '?');
        // As Windows does for its ANSI code pages, every UTF-16 code unit that cannot be
        // converted becomes '?', so a surrogate pair gives two.
        return Run(to_, le.data(), le.size(), [](const char*, std::size_t, std::string& out) {
            out.push_back('?');
            return std::size_t{2};
        });
    }

    std::u16string ToUtf16(std::string_view bytes) const override {
        if (ascii_identity_ && IsAscii(bytes)) {
            std::u16string wide(bytes.size(), u'\0');
            char16_t* out = wide.data();
            for (const char c : bytes)
                *out++ = static_cast<char16_t>(c);
            return wide;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        if (from_ == reinterpret_cast<iconv_t>(-1))
            return text::Utf8ToUtf16(bytes);
        const std::string le = ConvertFrom(bytes);
        std::u16string out;
        out.reserve(le.size() / 2);
        for (std::size_t i = 0; i + 1 < le.size(); i += 2) {
            out.push_back(static_cast<char16_t>(static_cast<unsigned char>(le[i]) |
                                                (static_cast<unsigned char>(le[i + 1]) << 8)));
        }
        return out;
    }

  private:
    std::string ConvertFrom(std::string_view bytes) const {
        return Run(from_, bytes.data(), bytes.size(),
                   [](const char*, std::size_t, std::string& out) {
                       out.push_back(static_cast<char>(0xFD));
                       out.push_back(static_cast<char>(0xFF));
                       return std::size_t{1};
                   });
    }

    // Whether text of bytes below 0x80 alone can be widened directly, without the converter:
    // only for the known stateless code sets that extend ASCII (a stateful one such as
    // ISO-2022-JP gives escape sequences of such bytes a meaning), and only when the converter
    // agrees that each of those bytes stands for the character of that code.
    bool MapsAsciiToItself() const {
        static constexpr unsigned kAsciiSupersets[] = {65001, 936, 1252, 28591, 20127, 950, 949};
        if (from_ == reinterpret_cast<iconv_t>(-1) ||
            std::find(std::begin(kAsciiSupersets), std::end(kAsciiSupersets), id_) ==
                std::end(kAsciiSupersets))
            return false;
        std::string ascii;
        for (int c = 1; c < 0x80; ++c)
            ascii.push_back(static_cast<char>(c));
        std::string expected;
        for (char c : ascii) {
            expected.push_back(c);
            expected.push_back('\0');
        }
        return ConvertFrom(ascii) == expected;
    }

    std::string codeset_;
    unsigned id_;
    iconv_t to_;
    iconv_t from_;
    bool ascii_identity_ = false;
    mutable std::mutex mutex_;
};

std::string LocaleCodeset() {
    locale_t loc = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
    if (loc == static_cast<locale_t>(0))
        return "ANSI_X3.4-1968";
    std::string codeset = nl_langinfo_l(CODESET, loc);
    freelocale(loc);
    return codeset.empty() ? "ANSI_X3.4-1968" : codeset;
}

}  // namespace

unsigned WindowsCodePageId(const std::string& codeset) {
    const std::string c = text::UpperAscii(codeset);
    if (c == "UTF-8" || c == "UTF8")
        return 65001;
    if (c == "GBK" || c == "GB2312" || c == "GB18030" || c == "CP936" || c == "EUC-CN")
        return 936;
    if (c == "CP1252" || c == "WINDOWS-1252")
        return 1252;
    if (c == "ISO-8859-1" || c == "ISO8859-1" || c == "LATIN1")
        return 28591;
    if (c == "ANSI_X3.4-1968" || c == "ASCII" || c == "US-ASCII")
        return 20127;
    if (c == "BIG5" || c == "BIG5-HKSCS" || c == "CP950")
        return 950;
    if (c == "SHIFT_JIS" || c == "SJIS" || c == "CP932")
        return 932;
    if (c == "EUC-KR" || c == "CP949")
        return 949;
    return 0;
}

std::unique_ptr<CodePage> MakeIconvCodePage(std::string codeset) {
    return std::make_unique<IconvCodePage>(std::move(codeset));
}

CodePage& SystemCodePage() {
    static const std::unique_ptr<CodePage> page = MakeIconvCodePage(LocaleCodeset());
    return *page;
}

}  // namespace kelvra::platform
