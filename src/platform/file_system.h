// Files and directories. Paths are UTF-8 in the platform's own syntax.
#pragma once

#include <string>
#include <string_view>

namespace kelvra::platform {

class FileSystem {
  public:
    virtual ~FileSystem() = default;
    // '\\' on Windows, '/' on Linux.
    virtual char Separator() const = 0;
    // Links are followed; false for anything that cannot be examined.
    virtual bool FileExists(std::string_view path) const = 0;
    virtual bool DirectoryExists(std::string_view path) const = 0;
    // Creates one directory level; the parent must exist. Throws OsError on failure
    // (also when it already exists).
    virtual void MakeDirectory(std::string_view path) = 0;
    // Whole file as bytes. Throws OsError when it cannot be opened or read.
    virtual std::string ReadFile(std::string_view path) const = 0;
    // Writes a temporary file in the same folder, then replaces path with it, so path is
    // either the old file or the complete new one. Throws OsError; no temporary file stays.
    // In a folder that takes no new file an existing file is rewritten in place, its new
    // content kept whole in the temporary folder meanwhile: a rewrite cut short is finished
    // by the next ReadFile or ReplaceAtomically of the file.
    virtual void ReplaceAtomically(std::string_view path, std::string_view bytes) = 0;
    // Appends bytes, creating the file when missing. Throws OsError.
    virtual void AppendFile(std::string_view path, std::string_view bytes) = 0;
    // Throws OsError when the file exists and cannot be removed; a missing file is fine.
    virtual void RemoveFile(std::string_view path) = 0;
    // Full path of the running executable.
    virtual std::string ExecutablePath() const = 0;
};

FileSystem& SystemFileSystem();

// The part after the last separator ('/' or the platform's own).
std::string FileNameOf(std::string_view path, char separator);
// The part before the last separator, without it; "" when there is none.
std::string DirectoryOf(std::string_view path, char separator);

}  // namespace kelvra::platform
