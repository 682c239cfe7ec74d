// Local file operations of the transport: temporary files, deletion with attribute
// clearing, renaming, and block-wise reading and writing. Paths are UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>

namespace kelvra::update {

// The user's temporary-files directory as the platform names it (Linux: TMPDIR, TMP, TEMP,
// TEMPDIR, else /tmp; Windows: GetTempPathW), without a trailing separator. It is not
// checked: a missing one makes creating a file in it fail.
std::string TempFilesDirectory();
bool LocalFileExists(const std::string& path);
// Deletes a file; false when it could not be deleted (a missing file counts as deleted).
bool DeleteLocalFile(const std::string& path);
// Makes the file writable (and, on Windows, not hidden).
void ClearReadOnlyHidden(const std::string& path);
bool RenameLocalFile(const std::string& from, const std::string& to);
std::optional<std::int64_t> LocalFileSize(const std::string& path);
void SetCurrentDirectoryTo(const std::string& path);
std::string CurrentDirectory();
// Creates the directory with every missing parent; throws std::filesystem::filesystem_error
// when that fails.
void CreateDirectories(const std::string& path);
// Directory part of a path (up to and without its last separator).
std::string DirectoryOf(const std::string& path);
// Upper-cased extension of the path's file-name part, with its dot ("" without one).
std::string UpperExtension(const std::string& path);

// A new file written block by block through a buffer of kBufferSize bytes. Failures throw
// OsError (an input/output error), from Write or, for what is still buffered, from Close.
class OutputFile {
  public:
    // A new file named prefix + four hex digits + ".tmp" in directory, created exclusively
    // (a name that is taken is never opened). Throws OsError when none can be created.
    static OutputFile CreateUnique(const std::string& directory, const std::string& prefix);
    // path itself, created exclusively; nullopt when a file of that name exists or it cannot
    // be created.
    static std::optional<OutputFile> CreateNewAt(const std::string& path);
    OutputFile(OutputFile&& other) noexcept;
    OutputFile& operator=(OutputFile&&) = delete;
    // Closes a file still open without reporting.
    ~OutputFile();
    const std::string& path() const { return path_; }
    void Write(const char* data, std::size_t size);
    void Close();
    // Closes without reporting (the file is being deleted after a failure).
    void Abandon();
    // Once kWritebackStep bytes have been written since the last time, asks the system to
    // start writing them to the disk without waiting, so that a later flush of the file
    // (before it is put in place) finds most of it there already.
    void StartWriteback();

    static constexpr std::size_t kBufferSize = 65536;
    static constexpr std::int64_t kWritebackStep = 2 * 1024 * 1024;

  private:
    // The platform's file handle (a descriptor on Linux, a HANDLE on Windows).
    using Handle = std::intptr_t;
    static constexpr Handle kNoHandle = -1;
    enum class Created { kOpened, kNameTaken, kFailed };
    // Creates path only when no file of that name exists.
    static Created CreateNew(const std::string& path, Handle& handle);
    static bool WriteAll(Handle handle, const char* data, std::size_t size);
    static bool CloseFile(Handle handle);
    // Starts writing the range's data to the disk where the system can do so without
    // waiting for it; a hint only.
    static void BeginWriteback(Handle handle, std::int64_t offset, std::int64_t size);

    OutputFile(std::string path, Handle handle) : path_(std::move(path)), handle_(handle) {}
    void Flush();

    std::string path_;
    Handle handle_ = kNoHandle;
    std::string buffer_;
    std::int64_t written_ = 0;    // bytes handed to the system
    std::int64_t writeback_ = 0;  // of which the system was asked to write back
};

// Writes bytes to a new file in dir (under a name of its own) and renames it over path, so a
// reader of path never sees part of them. Nothing is flushed to the disk: for the run's own
// files. False when the rename fails (the new file is removed); write failures throw OsError.
bool WriteNewFileOver(const std::string& dir, const std::string& path, std::string_view bytes);

// A file read block by block; Open fails softly.
class InputFile {
  public:
    bool Open(const std::string& path);
    // Bytes read; nullopt on a read error.
    std::optional<std::size_t> Read(char* data, std::size_t size);
    void Close() { in_.close(); }

  private:
    std::ifstream in_;
};

}  // namespace kelvra::update
