#include <cstdio>

#include "update/version_info.h"

namespace kelvra::update {
namespace {

struct Piece {
    std::uint32_t value = 0;  // kept in 16 bits
    bool reads = false;
};

// Leading blanks, an optional sign, decimal digits ("$" or "0x" makes them hexadecimal);
// the piece reads only when nothing follows the digits.
Piece ReadPiece(std::string_view s) {
    Piece p;
    std::size_t i = 0;
    while (i < s.size() && s[i] == ' ')
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    unsigned base = 10;
    if (i < s.size() && s[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    std::uint32_t v = 0;
    std::size_t digits = 0;
    for (; i < s.size(); ++i, ++digits) {
        const char c = s[i];
        unsigned d;
        if (c >= '0' && c <= '9')
            d = static_cast<unsigned>(c - '0');
        else if (base == 16 && c >= 'a' && c <= 'f')
            d = static_cast<unsigned>(c - 'a' + 10);
        else if (base == 16 && c >= 'A' && c <= 'F')
            d = static_cast<unsigned>(c - 'A' + 10);
        else
            break;
        v = (v * base + d) & 0xFFFFu;  // modulo 65536 all along
    }
    p.value = negative ? ((0x10000u - v) & 0xFFFFu) : v;
    p.reads = digits > 0 && i == s.size();
    if (!p.reads && digits == 0)
        p.value = 0;
    return p;
}

}  // namespace

VersionWords ParseVersionText(std::string_view text) {
    VersionWords w;
    char sep = 0;
    if (text.find(',') != std::string_view::npos)
        sep = ',';
    else if (text.find('.') != std::string_view::npos)
        sep = '.';
    if (sep == 0) {
        const Piece whole = ReadPiece(text);
        if (whole.reads) {
            w.high = whole.value << 16;
            w.low = 0;
        }
        return w;
    }
    std::size_t cut = text.find(sep);
    const Piece major = ReadPiece(text.substr(0, cut));
    std::string_view rest = text.substr(cut + 1);
    cut = rest.find(sep);
    if (cut == std::string_view::npos || !major.reads) {
        w.high = (major.value << 16) + ReadPiece(rest).value;
        w.low = 0;
        return w;
    }
    const Piece minor = ReadPiece(rest.substr(0, cut));
    rest = rest.substr(cut + 1);
    w.high = (major.value << 16) + minor.value;
    cut = rest.find(sep);
    if (cut == std::string_view::npos || !minor.reads) {
        w.low = ReadPiece(rest).value << 16;
        return w;
    }
    const Piece release = ReadPiece(rest.substr(0, cut));
    const Piece build = ReadPiece(rest.substr(cut + 1));
    if (build.reads)
        w.low = (release.value << 16) + build.value;
    return w;
}

std::string VersionToText(const VersionWords& v) {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%u.%u.%u.%u", v.high >> 16, v.high & 0xFFFFu, v.low >> 16,
                  v.low & 0xFFFFu);
    return buffer;
}

bool IsNewerVersion(const VersionWords& newer, const VersionWords& local) {
    const auto nh = static_cast<std::int32_t>(newer.high);
    const auto lh = static_cast<std::int32_t>(local.high);
    return nh > lh || (nh == lh &&
                       static_cast<std::int32_t>(newer.low) > static_cast<std::int32_t>(local.low));
}

}  // namespace kelvra::update
