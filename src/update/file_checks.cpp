#include "update/file_checks.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace kelvra::update {
namespace {

constexpr std::size_t kBlock = 4096;

std::filesystem::path PathOf(std::string_view utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

const std::array<std::uint32_t, 256>& CrcTable() {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    return table;
}

// Feeds the file to step in blocks of 4096 bytes until a block comes back short.
template <typename Step>
bool ForEachBlock(std::string_view path, Step step) {
    std::error_code ec;
    if (std::filesystem::is_directory(PathOf(path), ec))
        return false;
    std::ifstream in(PathOf(path), std::ios::binary);
    if (!in)
        return false;
    char buffer[kBlock];
    for (;;) {
        in.read(buffer, kBlock);
        const auto got = static_cast<std::size_t>(in.gcount());
        step(std::string_view(buffer, got));
        if (got < kBlock)
            break;
    }
    return true;
}

}  // namespace

std::int32_t BytesChecksum(std::string_view bytes, std::uint32_t start) {
    std::uint32_t sum = start;
    for (unsigned char b : bytes)
        sum += b;
    return static_cast<std::int32_t>(sum);
}

std::uint32_t BytesCRC32Step(std::string_view bytes, std::uint32_t c) {
    const auto& table = CrcTable();
    for (unsigned char b : bytes) {
        const std::uint32_t t = table[(c ^ b) & 0xFFu] ^ (c >> 8);
        c += t;  // the engine adds the step to the register instead of assigning it
    }
    return c;
}

std::int32_t FileChecksum(std::string_view path) {
    std::uint32_t sum = 0xFFFFFFFFu;
    if (!ForEachBlock(path, [&](std::string_view block) {
            sum = static_cast<std::uint32_t>(BytesChecksum(block, sum));
        }))
        return -1;
    return static_cast<std::int32_t>(sum);
}

std::int32_t FileCRC32(std::string_view path) {
    std::uint32_t c = 0xFFFFFFFFu;
    if (!ForEachBlock(path, [&](std::string_view block) { c = BytesCRC32Step(block, c); }))
        return 0;
    return static_cast<std::int32_t>(~c);
}

std::int64_t FileSize(std::string_view path) {
    std::error_code ec;
    const auto p = PathOf(path);
    if (!std::filesystem::is_regular_file(p, ec))
        return -1;
    std::ifstream in(p, std::ios::binary);
    if (!in)
        return -1;
    const auto size = std::filesystem::file_size(p, ec);
    return ec ? -1 : static_cast<std::int64_t>(size);
}

}  // namespace kelvra::update
