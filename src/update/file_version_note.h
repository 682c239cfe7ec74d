// The file version carried by a Linux executable: an ELF note in section
// ".note.kelvra.version", name "Kelvra", type 1, descriptor four 16-bit words (major, minor,
// release, build) in the file's byte order. Put KELVRA_FILE_VERSION_NOTE(1, 0, 1, 2) in one
// source file of the executable (or use kelvra_file_version_note() in CMake).
#pragma once

#include <cstdint>

namespace kelvra::update {

inline constexpr std::uint32_t kVersionNoteType = 1;

struct alignas(4) VersionNote {
    std::uint32_t name_size;  // 7: "Kelvra" with its NUL
    std::uint32_t desc_size;  // 8
    std::uint32_t type;       // kVersionNoteType
    char name[8];             // "Kelvra\0" padded to 4 bytes
    std::uint16_t words[4];   // major, minor, release, build
};

}  // namespace kelvra::update

#if defined(__ELF__)
#define KELVRA_FILE_VERSION_NOTE(major, minor, release, build)                    \
    extern "C" __attribute__((section(".note.kelvra.version"), used, aligned(4))) \
    const ::kelvra::update::VersionNote kelvra_file_version_note = {              \
        7, 8, ::kelvra::update::kVersionNoteType, "Kelvra", {major, minor, release, build}}
#else
#define KELVRA_FILE_VERSION_NOTE(major, minor, release, build) \
    static_assert(true, "Windows executables carry a version resource")
#endif
