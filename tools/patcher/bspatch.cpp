#include "bspatch.h"

#include <cstdint>

#include "bunzip.h"

namespace kelvra::tools {
namespace {

// Sign and magnitude, little-endian.
std::int64_t OffsetAt(std::string_view s, std::size_t at) {
    if (at + 8 > s.size())
        throw CorruptData("patch control data ends early");
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(s[at + static_cast<std::size_t>(i)]);
    std::int64_t magnitude = static_cast<std::int64_t>(v & 0x7FFFFFFFFFFFFFFFull);
    return (v >> 63) ? -magnitude : magnitude;
}

}  // namespace

std::string ApplyBsdiff(std::string_view old_bytes, std::string_view patch) {
    if (patch.size() < 32 || patch.substr(0, 8) != "BSDIFF40")
        throw CorruptData("not a BSDIFF40 patch");
    const std::int64_t ctrl_len = OffsetAt(patch, 8);
    const std::int64_t diff_len = OffsetAt(patch, 16);
    const std::int64_t new_size = OffsetAt(patch, 24);
    const auto rest = static_cast<std::int64_t>(patch.size()) - 32;
    if (ctrl_len < 0 || diff_len < 0 || new_size < 0 || ctrl_len > rest ||
        diff_len > rest - ctrl_len || new_size > (std::int64_t{1} << 31))
        throw CorruptData("bad BSDIFF40 header");
    const std::string ctrl = Bunzip(patch.substr(32, static_cast<std::size_t>(ctrl_len)));
    const std::string diff = Bunzip(
        patch.substr(32 + static_cast<std::size_t>(ctrl_len), static_cast<std::size_t>(diff_len)));
    const std::string extra =
        Bunzip(patch.substr(32 + static_cast<std::size_t>(ctrl_len + diff_len)));

    std::string out(static_cast<std::size_t>(new_size), '\0');
    const auto old_size = static_cast<std::int64_t>(old_bytes.size());
    std::int64_t new_pos = 0, old_pos = 0;
    std::size_t ctrl_pos = 0, diff_pos = 0, extra_pos = 0;
    while (new_pos < new_size) {
        std::int64_t add = OffsetAt(ctrl, ctrl_pos);
        std::int64_t copy = OffsetAt(ctrl, ctrl_pos + 8);
        std::int64_t seek = OffsetAt(ctrl, ctrl_pos + 16);
        ctrl_pos += 24;
        if (add < 0 || copy < 0 || add > new_size - new_pos ||
            static_cast<std::uint64_t>(add) > diff.size() - diff_pos)
            throw CorruptData("bad patch control data");
        for (std::int64_t i = 0; i < add; ++i) {
            char c = diff[diff_pos++];
            std::int64_t o = old_pos + i;
            if (o >= 0 && o < old_size)
                c = static_cast<char>(c + old_bytes[static_cast<std::size_t>(o)]);
            out[static_cast<std::size_t>(new_pos + i)] = c;
        }
        new_pos += add;
        old_pos += add;
        if (copy > new_size - new_pos ||
            static_cast<std::uint64_t>(copy) > extra.size() - extra_pos)
            throw CorruptData("bad patch control data");
        out.replace(static_cast<std::size_t>(new_pos), static_cast<std::size_t>(copy), extra,
                    extra_pos, static_cast<std::size_t>(copy));
        extra_pos += static_cast<std::size_t>(copy);
        new_pos += copy;
        old_pos += seek;
    }
    return out;
}

}  // namespace kelvra::tools
