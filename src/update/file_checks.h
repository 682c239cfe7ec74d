// Facts about local files that the version check compares: checksums, size and time.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "update/update_date.h"

namespace kelvra::update {

// 0xFFFFFFFF plus every byte (unsigned) modulo 2^32, as a signed number; -1 when the file
// cannot be opened (and for an empty file).
std::int32_t FileChecksum(std::string_view path);
// The engine's CRC variant: each table step is added to the register rather than assigned;
// the complement of the register, as a signed number. 0 when the file cannot be opened.
std::int32_t FileCRC32(std::string_view path);
// The same over bytes in memory.
std::int32_t BytesChecksum(std::string_view bytes, std::uint32_t start = 0xFFFFFFFFu);
std::uint32_t BytesCRC32Step(std::string_view bytes, std::uint32_t c);

// Size in bytes; -1 when the file cannot be opened (also for a directory).
std::int64_t FileSize(std::string_view path);
// Last modification time in local time; nullopt when the file does not exist.
std::optional<LocalDateTime> FileModifiedTime(std::string_view path);

}  // namespace kelvra::update
