// A regular file read whole, with a stamp of the state read, so that a reader can tell
// cheaply whether the file has changed since (platform backends: POSIX and Win32).
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace kelvra::update {

// What identifies one state of a file: a replaced or rewritten file has another stamp.
struct FileStamp {
    bool exists = false;  // a regular file is there
    std::uint64_t size = 0;
    std::int64_t modified = 0;  // last write, in the platform's own units
    // What tells a file from one put in its place: its device and inode on POSIX, its
    // creation time on Windows (what one attribute query there gives).
    std::array<std::uint64_t, 2> origin{};
    bool operator==(const FileStamp&) const = default;
};

// The stamp of the regular file at path; exists is false when there is none.
FileStamp StampOfFile(const std::string& path);

// The whole regular file at path, with the stamp of what was read; false when there is no
// such file or it cannot be read.
bool ReadStampedFile(const std::string& path, std::string& bytes, FileStamp& stamp);

}  // namespace kelvra::update
