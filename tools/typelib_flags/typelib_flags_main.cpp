// Build tool: sets the type flags of one type description in a compiled type library
// (the MSFT format that widl writes) and fails the build when the file is not one or has
// no such type.
//
//   typelib_flags <file.tlb> <{GUID}> <flags>     (flags in hexadecimal, e.g. 0x1140)
//
// Layout used (all little-endian 32-bit fields):
//   header, 0x54 bytes: magic "MSFT" at 0x00, varflags at 0x14 (bit 0x100: one more field
//     follows the header), number of type descriptions at 0x20;
//   then one offset per type description (into the type-description segment);
//   then the segment directory, 16 bytes per segment (offset, length, two reserved):
//     segment 0 holds the type descriptions (0x64 bytes each), segment 5 the GUIDs;
//   a type description keeps its GUID's offset (into the GUID segment) at 0x2C and its
//     type flags at 0x30.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kMagic = 0x5446534D;  // "MSFT"
constexpr std::size_t kHeaderSize = 0x54;
constexpr std::uint32_t kExtraHeaderField = 0x100;
constexpr std::size_t kSegmentSize = 16;
constexpr std::size_t kTypeSegment = 0;
constexpr std::size_t kGuidSegment = 5;
constexpr std::size_t kTypeDescriptionSize = 0x64;
constexpr std::size_t kGuidOffsetField = 0x2C;
constexpr std::size_t kFlagsField = 0x30;

std::uint32_t Read32(const std::vector<unsigned char>& b, std::size_t at) {
    if (at + 4 > b.size())
        throw std::runtime_error("truncated type library");
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t(b[at + 3]) << 24);
}

void Write32(std::vector<unsigned char>& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<unsigned char>(v >> (8 * i));
}

// A GUID as stored: Data1, Data2, Data3 little-endian, then Data4's eight bytes.
std::vector<unsigned char> ParseGuid(const std::string& text) {
    std::string hex;
    for (char c : text) {
        if (c != '{' && c != '}' && c != '-')
            hex += c;
    }
    if (hex.size() != 32)
        throw std::runtime_error("bad GUID: " + text);
    std::vector<unsigned char> raw(16);
    for (std::size_t i = 0; i < 16; ++i)
        raw[i] = static_cast<unsigned char>(std::stoul(hex.substr(2 * i, 2), nullptr, 16));
    const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    std::vector<unsigned char> stored(16);
    for (std::size_t i = 0; i < 16; ++i)
        stored[i] = raw[order[i]];
    return stored;
}

void SetFlags(std::vector<unsigned char>& lib, const std::vector<unsigned char>& guid,
              std::uint32_t flags) {
    if (Read32(lib, 0) != kMagic)
        throw std::runtime_error("not an MSFT type library");
    const std::uint32_t count = Read32(lib, 0x20);
    std::size_t at = kHeaderSize + ((Read32(lib, 0x14) & kExtraHeaderField) ? 4 : 0);
    const std::size_t offsets = at;
    at += 4 * std::size_t(count);
    const std::uint32_t types = Read32(lib, at + kTypeSegment * kSegmentSize);
    const std::uint32_t guids = Read32(lib, at + kGuidSegment * kSegmentSize);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t type = types + Read32(lib, offsets + 4 * i);
        if (type + kTypeDescriptionSize > lib.size())
            throw std::runtime_error("type description outside the file");
        const std::size_t g = guids + Read32(lib, type + kGuidOffsetField);
        if (g + 16 > lib.size())
            throw std::runtime_error("GUID outside the file");
        if (std::equal(guid.begin(), guid.end(), lib.begin() + g)) {
            Write32(lib, type + kFlagsField, flags);
            return;
        }
    }
    throw std::runtime_error("no type description with that GUID");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: typelib_flags <file.tlb> <{GUID}> <flags>\n");
        return 2;
    }
    try {
        std::vector<unsigned char> lib;
        {
            std::ifstream in(argv[1], std::ios::binary);
            if (!in)
                throw std::runtime_error("cannot read the file");
            lib.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
        SetFlags(lib, ParseGuid(argv[2]), std::uint32_t(std::stoul(argv[3], nullptr, 16)));
        std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(lib.data()), std::streamsize(lib.size()));
        if (!out)
            throw std::runtime_error("cannot write the file");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "typelib_flags: %s: %s\n", argv[1], e.what());
        return 1;
    }
    return 0;
}
