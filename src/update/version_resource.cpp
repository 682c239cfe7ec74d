// Portable readers of the file version in PE (version resource) and ELF (note) images.
#include <cstring>

#include "update/file_version_note.h"
#include "update/version_info.h"

namespace kelvra::update {
namespace {

// Bounds-checked little/big-endian reads; out of range reads fail the whole lookup.
struct Reader {
    std::string_view b;
    bool big = false;
    bool ok = true;
    std::uint64_t Get(std::uint64_t off, int size) {
        if (off > b.size() || b.size() - off < static_cast<std::uint64_t>(size)) {
            ok = false;
            return 0;
        }
        std::uint64_t v = 0;
        for (int i = 0; i < size; ++i) {
            const auto byte = static_cast<unsigned char>(b[off + (big ? i : size - 1 - i)]);
            v = (v << 8) | byte;
        }
        return v;
    }
    std::uint32_t U16(std::uint64_t off) { return static_cast<std::uint32_t>(Get(off, 2)); }
    std::uint32_t U32(std::uint64_t off) { return static_cast<std::uint32_t>(Get(off, 4)); }
    std::uint64_t U64(std::uint64_t off) { return Get(off, 8); }
};

constexpr std::uint32_t kFixedSignature = 0xFEEF04BDu;
constexpr std::uint32_t kRtVersion = 16;

}  // namespace

VersionWords PeFileVersion(std::string_view image) {
    Reader r{image};
    if (image.size() < 64 || image.substr(0, 2) != "MZ")
        return {};
    const std::uint32_t pe = r.U32(0x3C);
    if (!r.ok || r.U32(pe) != 0x00004550u)
        return {};
    const std::uint32_t sections = r.U16(pe + 6);
    const std::uint32_t optional_size = r.U16(pe + 20);
    const std::uint64_t opt = pe + 24;
    const std::uint32_t magic = r.U16(opt);
    const std::uint64_t dirs = opt + (magic == 0x20B ? 112 : 96);
    if (!r.ok || (magic != 0x10B && magic != 0x20B) || dirs + 24 > opt + optional_size)
        return {};
    const std::uint32_t rsrc_rva = r.U32(dirs + 2 * 8);
    // Maps a relative virtual address to its file offset through the section table.
    const std::uint64_t table = opt + optional_size;
    auto to_offset = [&](std::uint32_t rva, std::uint64_t* off) {
        for (std::uint32_t i = 0; i < sections && r.ok; ++i) {
            const std::uint64_t s = table + i * 40ull;
            const std::uint32_t va = r.U32(s + 12);
            const std::uint32_t raw_size = r.U32(s + 16);
            const std::uint32_t raw = r.U32(s + 20);
            if (rva >= va && rva - va < raw_size) {
                *off = raw + static_cast<std::uint64_t>(rva - va);
                return true;
            }
        }
        return false;
    };
    std::uint64_t root = 0;
    if (rsrc_rva == 0 || !to_offset(rsrc_rva, &root))
        return {};
    // Type RT_VERSION, then the first name and the first language.
    auto find_entry = [&](std::uint64_t dir, bool by_id, std::uint32_t id, std::uint32_t* out) {
        const std::uint32_t named = r.U16(dir + 12);
        const std::uint32_t ids = r.U16(dir + 14);
        for (std::uint32_t i = 0; i < named + ids && r.ok && i < 4096; ++i) {
            const std::uint64_t e = dir + 16 + i * 8ull;
            if (!by_id || r.U32(e) == id) {
                *out = r.U32(e + 4);
                return r.ok;
            }
        }
        return false;
    };
    std::uint32_t next = 0;
    if (!find_entry(root, true, kRtVersion, &next) || !(next & 0x80000000u))
        return {};
    if (!find_entry(root + (next & 0x7FFFFFFFu), false, 0, &next) || !(next & 0x80000000u))
        return {};
    if (!find_entry(root + (next & 0x7FFFFFFFu), false, 0, &next) || (next & 0x80000000u))
        return {};
    const std::uint64_t data_entry = root + next;
    const std::uint32_t data_rva = r.U32(data_entry);
    const std::uint32_t data_size = r.U32(data_entry + 4);
    std::uint64_t data = 0;
    if (!r.ok || !to_offset(data_rva, &data) || data_size < 92)
        return {};
    // VS_VERSION_INFO: length, value length, type, "VS_VERSION_INFO" in UTF-16, padding,
    // then the fixed file information.
    const std::uint32_t value_length = r.U16(data + 2);
    const std::uint64_t fixed = data + 40;
    if (!r.ok || value_length < 52 || r.U32(fixed) != kFixedSignature)
        return {};
    VersionWords v{r.U32(fixed + 8), r.U32(fixed + 12)};
    return r.ok ? v : VersionWords{};
}

VersionWords ElfFileVersion(std::string_view image) {
    if (image.size() < 52 || image.substr(0, 4) !=
                                 "\x7F"
                                 "ELF")
        return {};
    const bool is64 = image[4] == 2;
    Reader r{image, image[5] == 2};
    const std::uint64_t shoff = is64 ? r.U64(0x28) : r.U32(0x20);
    const std::uint32_t shentsize = r.U16(is64 ? 0x3A : 0x2E);
    const std::uint32_t shnum = r.U16(is64 ? 0x3C : 0x30);
    if (!r.ok || shoff == 0 || shentsize < (is64 ? 64u : 40u))
        return {};
    for (std::uint32_t i = 0; i < shnum && r.ok; ++i) {
        const std::uint64_t sh = shoff + static_cast<std::uint64_t>(i) * shentsize;
        if (r.U32(sh + 4) != 7)  // SHT_NOTE
            continue;
        const std::uint64_t off = is64 ? r.U64(sh + 0x18) : r.U32(sh + 0x10);
        const std::uint64_t size = is64 ? r.U64(sh + 0x20) : r.U32(sh + 0x14);
        if (off > image.size() || size > image.size() - off)
            continue;
        for (std::uint64_t p = off; p + 12 <= off + size && r.ok;) {
            const std::uint32_t namesz = r.U32(p);
            const std::uint32_t descsz = r.U32(p + 4);
            const std::uint32_t type = r.U32(p + 8);
            const std::uint64_t name = p + 12;
            const std::uint64_t desc = name + ((namesz + 3ull) & ~3ull);
            const std::uint64_t end = desc + ((descsz + 3ull) & ~3ull);
            if (end > off + size)
                break;
            if (type == kVersionNoteType && namesz == 7 &&
                image.substr(name, 7) == std::string_view("Kelvra\0", 7)) {
                if (descsz == 8)
                    return {(r.U16(desc) << 16) | r.U16(desc + 2),
                            (r.U16(desc + 4) << 16) | r.U16(desc + 6)};
            }
            p = end;
        }
    }
    return {};
}

}  // namespace kelvra::update
