#include "bunzip.h"

#include <array>
#include <cstdint>
#include <vector>

namespace kelvra::tools {
namespace {

constexpr int kMaxGroups = 6;
constexpr int kMaxAlpha = 258;
constexpr int kMaxCodeLen = 20;
constexpr int kGroupSize = 50;

class BitReader {
  public:
    explicit BitReader(std::string_view data) : data_(data) {}
    std::uint32_t Bits(int n) {
        std::uint32_t v = 0;
        while (n-- > 0)
            v = (v << 1) | Bit();
        return v;
    }
    std::uint32_t Bit() {
        if (pos_ >= data_.size() * 8)
            throw CorruptData("bzip2 data ends early");
        std::uint32_t b = (static_cast<unsigned char>(data_[pos_ / 8]) >> (7 - pos_ % 8)) & 1;
        ++pos_;
        return b;
    }

  private:
    std::string_view data_;
    std::size_t pos_ = 0;
};

// Canonical Huffman table: codes of each length are consecutive, assigned in symbol order.
struct Table {
    std::array<int, kMaxCodeLen + 2> first{};   // first code of each length
    std::array<int, kMaxCodeLen + 2> count{};   // codes of each length
    std::array<int, kMaxCodeLen + 2> offset{};  // index of the first such symbol in sorted
    std::vector<int> sorted;

    void Build(const std::vector<int>& lengths) {
        count.fill(0);
        for (int len : lengths)
            ++count[len];
        int code = 0, index = 0;
        for (int len = 1; len <= kMaxCodeLen; ++len) {
            first[len] = code;
            offset[len] = index;
            code = (code + count[len]) << 1;
            index += count[len];
        }
        sorted.clear();
        for (int len = 1; len <= kMaxCodeLen; ++len) {
            for (std::size_t s = 0; s < lengths.size(); ++s) {
                if (lengths[s] == len)
                    sorted.push_back(static_cast<int>(s));
            }
        }
    }

    int Decode(BitReader& in) const {
        int code = 0;
        for (int len = 1; len <= kMaxCodeLen; ++len) {
            code = (code << 1) | static_cast<int>(in.Bit());
            int delta = code - first[len];
            if (delta >= 0 && delta < count[len])
                return sorted[offset[len] + delta];
        }
        throw CorruptData("bad bzip2 Huffman code");
    }
};

std::array<std::uint32_t, 256> CrcTable() {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i << 24;
        for (int k = 0; k < 8; ++k)
            c = (c & 0x80000000u) ? (c << 1) ^ 0x04C11DB7u : c << 1;
        t[i] = c;
    }
    return t;
}

// One block: returns its bytes after undoing the initial run-length step.
std::string DecodeBlock(BitReader& in, std::size_t max_block) {
    if (in.Bit())
        throw CorruptData("randomised bzip2 blocks are not supported");
    std::uint32_t orig_ptr = in.Bits(24);

    std::vector<unsigned char> used;
    std::uint32_t ranges = in.Bits(16);
    for (int i = 0; i < 16; ++i) {
        if (ranges & (0x8000u >> i)) {
            std::uint32_t bits = in.Bits(16);
            for (int j = 0; j < 16; ++j) {
                if (bits & (0x8000u >> j))
                    used.push_back(static_cast<unsigned char>(i * 16 + j));
            }
        }
    }
    if (used.empty())
        throw CorruptData("bzip2 block uses no symbols");
    const int alpha = static_cast<int>(used.size()) + 2;

    int groups = static_cast<int>(in.Bits(3));
    if (groups < 2 || groups > kMaxGroups)
        throw CorruptData("bad bzip2 table count");
    int selectors = static_cast<int>(in.Bits(15));
    if (selectors < 1)
        throw CorruptData("bad bzip2 selector count");
    std::vector<int> selector(static_cast<std::size_t>(selectors));
    std::array<int, kMaxGroups> mtf_groups{0, 1, 2, 3, 4, 5};
    for (int& s : selector) {
        int j = 0;
        while (in.Bit()) {
            if (++j >= groups)
                throw CorruptData("bad bzip2 selector");
        }
        int v = mtf_groups[j];
        for (; j > 0; --j)
            mtf_groups[j] = mtf_groups[j - 1];
        mtf_groups[0] = v;
        s = v;
    }

    std::vector<Table> tables(static_cast<std::size_t>(groups));
    for (Table& table : tables) {
        std::vector<int> lengths(static_cast<std::size_t>(alpha));
        int len = static_cast<int>(in.Bits(5));
        for (int& l : lengths) {
            for (;;) {
                if (len < 1 || len > kMaxCodeLen)
                    throw CorruptData("bad bzip2 code length");
                if (!in.Bit())
                    break;
                len += in.Bit() ? -1 : 1;
            }
            l = len;
        }
        table.Build(lengths);
    }

    // Symbols: run-length coded zeros (RUNA, RUNB), move-to-front indices, end of block.
    std::vector<unsigned char> mtf(used);
    std::vector<unsigned char> block;
    block.reserve(max_block);
    std::array<std::uint32_t, 256> counts{};
    std::size_t run = 0, run_weight = 1;
    int group_left = 0, group_index = -1;
    const Table* table = nullptr;
    auto flush_run = [&] {
        if (run == 0)
            return;
        if (block.size() + run > max_block)
            throw CorruptData("bzip2 block too large");
        block.insert(block.end(), run, mtf[0]);
        counts[mtf[0]] += static_cast<std::uint32_t>(run);
        run = 0;
        run_weight = 1;
    };
    for (;;) {
        if (group_left == 0) {
            if (++group_index >= selectors)
                throw CorruptData("bzip2 selectors run out");
            table =
                &tables[static_cast<std::size_t>(selector[static_cast<std::size_t>(group_index)])];
            group_left = kGroupSize;
        }
        --group_left;
        int sym = table->Decode(in);
        if (sym <= 1) {
            if (run_weight > max_block)
                throw CorruptData("bzip2 run too long");
            run += run_weight << sym;
            run_weight <<= 1;
            continue;
        }
        flush_run();
        if (sym == alpha - 1)
            break;
        int index = sym - 1;
        if (index >= static_cast<int>(mtf.size()))
            throw CorruptData("bad bzip2 symbol");
        unsigned char c = mtf[static_cast<std::size_t>(index)];
        for (int k = index; k > 0; --k)
            mtf[static_cast<std::size_t>(k)] = mtf[static_cast<std::size_t>(k - 1)];
        mtf[0] = c;
        if (block.size() >= max_block)
            throw CorruptData("bzip2 block too large");
        block.push_back(c);
        ++counts[c];
    }
    if (block.empty() || orig_ptr >= block.size())
        throw CorruptData("bad bzip2 origin");

    // Inverse Burrows-Wheeler.
    std::array<std::uint32_t, 256> start{};
    for (int c = 1; c < 256; ++c)
        start[c] = start[c - 1] + counts[c - 1];
    std::vector<std::uint32_t> next(block.size());
    for (std::uint32_t i = 0; i < block.size(); ++i)
        next[start[block[i]]++] = i;
    std::string out;
    out.reserve(block.size() + block.size() / 4);
    std::uint32_t p = next[orig_ptr];
    int same = 0;
    int last = -1;
    for (std::size_t k = 0; k < block.size(); ++k) {
        unsigned char c = block[p];
        p = next[p];
        if (same == 4) {
            out.append(c, static_cast<char>(last));  // c is the repeat count after four
            same = 0;
            last = -1;
            continue;
        }
        if (c == last) {
            ++same;
        } else {
            same = 1;
            last = c;
        }
        out.push_back(static_cast<char>(c));
    }
    return out;
}

}  // namespace

std::string Bunzip(std::string_view stream) {
    if (stream.size() < 4 || stream.substr(0, 3) != "BZh" || stream[3] < '1' || stream[3] > '9')
        throw CorruptData("not a bzip2 stream");
    const std::size_t max_block = static_cast<std::size_t>(stream[3] - '0') * 100000;
    static const std::array<std::uint32_t, 256> crc_table = CrcTable();
    BitReader in(stream.substr(4));
    std::string out;
    std::uint32_t combined = 0;
    for (;;) {
        std::uint64_t magic = (static_cast<std::uint64_t>(in.Bits(24)) << 24) | in.Bits(24);
        std::uint32_t crc = in.Bits(32);
        if (magic == 0x177245385090ull) {
            if (crc != combined)
                throw CorruptData("bzip2 stream checksum mismatch");
            return out;
        }
        if (magic != 0x314159265359ull)
            throw CorruptData("bad bzip2 block header");
        std::string block = DecodeBlock(in, max_block);
        std::uint32_t c = 0xFFFFFFFFu;
        for (unsigned char b : block)
            c = (c << 8) ^ crc_table[((c >> 24) ^ b) & 0xFF];
        c = ~c;
        if (c != crc)
            throw CorruptData("bzip2 block checksum mismatch");
        combined = ((combined << 1) | (combined >> 31)) ^ c;
        out += block;
    }
}

}  // namespace kelvra::tools
