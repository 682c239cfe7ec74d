// Greedy LZSS with hash chains. Matches only reach bytes already written (never the blanks
// the window starts with), at most 4,095 back, 3 to 18 bytes long.
#include "szdd_writer.h"

#include <cstdint>
#include <vector>

namespace kelvra::tools {
namespace {

constexpr std::size_t kWindow = 4096;
constexpr std::size_t kStart = kWindow - 16;
constexpr std::size_t kMinMatch = 3;
constexpr std::size_t kMaxMatch = 18;
constexpr std::size_t kMaxDistance = kWindow - 1;
constexpr std::size_t kHashSize = 1 << 14;
constexpr int kMaxChain = 128;

std::size_t Hash(const unsigned char* p) {
    return ((p[0] << 6) ^ (p[1] << 3) ^ p[2]) & (kHashSize - 1);
}

void PutLength(std::string& out, std::uint32_t n) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((n >> (8 * i)) & 0xFF));
}

}  // namespace

std::string SzddCompress(std::string_view data, char missing_char) {
    std::string out("SZDD\x88\xF0\x27\x33", 8);
    out.push_back('A');
    out.push_back(missing_char);
    PutLength(out, static_cast<std::uint32_t>(data.size()));

    const auto* in = reinterpret_cast<const unsigned char*>(data.data());
    const std::size_t n = data.size();
    std::vector<std::int64_t> head(kHashSize, -1);
    std::vector<std::int64_t> prev(n, -1);
    auto insert = [&](std::size_t pos) {
        if (pos + kMinMatch > n)
            return;
        std::size_t h = Hash(in + pos);
        prev[pos] = head[h];
        head[h] = static_cast<std::int64_t>(pos);
    };

    std::size_t pos = 0;
    while (pos < n) {
        std::size_t control_at = out.size();
        out.push_back('\0');
        unsigned char control = 0;
        for (int bit = 0; bit < 8 && pos < n; ++bit) {
            std::size_t best_len = 0, best_from = 0;
            if (pos + kMinMatch <= n) {
                std::size_t limit = std::min(kMaxMatch, n - pos);
                int chain = kMaxChain;
                for (std::int64_t cand = head[Hash(in + pos)];
                     cand >= 0 && pos - static_cast<std::size_t>(cand) <= kMaxDistance &&
                     chain-- > 0;
                     cand = prev[cand]) {
                    std::size_t c = static_cast<std::size_t>(cand), len = 0;
                    while (len < limit && in[c + len] == in[pos + len])
                        ++len;
                    if (len > best_len) {
                        best_len = len;
                        best_from = c;
                        if (len == limit)
                            break;
                    }
                }
            }
            if (best_len >= kMinMatch) {
                std::size_t window_pos = (best_from + kStart) & (kWindow - 1);
                out.push_back(static_cast<char>(window_pos & 0xFF));
                out.push_back(static_cast<char>(((window_pos >> 4) & 0xF0) | (best_len - 3)));
                for (std::size_t i = 0; i < best_len; ++i)
                    insert(pos + i);
                pos += best_len;
            } else {
                control |= static_cast<unsigned char>(1u << bit);
                out.push_back(static_cast<char>(in[pos]));
                insert(pos);
                ++pos;
            }
        }
        out[control_at] = static_cast<char>(control);
    }
    return out;
}

std::string SzddPackedName(std::string_view original) {
    std::string name(original);
    if (!name.empty())
        name.back() = '_';
    return name;
}

}  // namespace kelvra::tools
