// Reading the update control file: an INI-style text read with the private-profile rules
// (case-insensitive names, values of at most 2047 characters, defaults for missing keys),
// plus the typed reads the engine uses on top of the raw strings.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "update/stored_file.h"

namespace kelvra::update {

// Longest value a read returns, in UTF-16 code units (a 2048-unit buffer with its NUL).
inline constexpr std::size_t kMaxProfileValue = 2047;

// Read-only access to one INI file on disk. The file is never written.
class ControlFileReader {
  public:
    virtual ~ControlFileReader() = default;
    // The value of key in section (UTF-8), or def when the file, the section or the key
    // is missing. A missing or unreadable file is not an error.
    virtual std::string ReadString(std::string_view section, std::string_view key,
                                   std::string_view def) const = 0;
    virtual const std::string& Path() const = 0;

  protected:
    friend class ControlFileHold;
    // See ControlFileHold. A reader that keeps nothing between reads ignores holds.
    virtual void BeginHold() const {}
    virtual void EndHold() const {}
};

// While a hold is open, a reader that caches the file looks for a changed file at its first
// read only, instead of at every read: the reads of one engine step then see one state of
// the file and cost no file-system call each.
class ControlFileHold {
  public:
    explicit ControlFileHold(std::shared_ptr<const ControlFileReader> file)
        : file_(std::move(file)) {
        file_->BeginHold();
    }
    ~ControlFileHold() { file_->EndHold(); }
    ControlFileHold(const ControlFileHold&) = delete;
    ControlFileHold& operator=(const ControlFileHold&) = delete;

  private:
    std::shared_ptr<const ControlFileReader> file_;
};

// The reader for the file at path: the portable reader below over the file read whole,
// read again when the file changes. It answers as GetPrivateProfileStringW does.
std::unique_ptr<ControlFileReader> OpenControlFile(std::string path);

// The reader for the file at path whose contents in the state stamp are bytes (a file the
// caller has just written): its first read only compares the stamp.
std::unique_ptr<ControlFileReader> OpenControlFile(std::string path, std::string bytes,
                                                   const FileStamp& stamp);

// The portable reader over file contents already in memory (bytes as stored: ANSI,
// UTF-8 or UTF-16 with a byte-order mark).
std::unique_ptr<ControlFileReader> ControlFileFromBytes(std::string bytes, std::string path = {});

// Integer text: decimal with an optional sign, or "0x"/"0X" (at least three characters) or
// "$" hexadecimal with no sign before the prefix. nullopt when the text is not a 32-bit
// integer.
std::optional<std::int32_t> ParseProfileInteger(std::string_view text);

// "\n" (backslash + n) becomes a carriage return.
std::string ExpandLineBreaks(std::string_view text);

// Typed reads. A value that does not read as an integer counts as missing.
std::string ReadString(const ControlFileReader& file, std::string_view section,
                       std::string_view key, std::string_view def = {});
std::int32_t ReadInteger(const ControlFileReader& file, std::string_view section,
                         std::string_view key, std::int32_t def);
// Exactly 1 is true; a missing or unreadable value gives def.
bool ReadFlag(const ControlFileReader& file, std::string_view section, std::string_view key,
              bool def = false);
// *lines* values: ReadString with ExpandLineBreaks.
std::string ReadLines(const ControlFileReader& file, std::string_view section,
                      std::string_view key);

}  // namespace kelvra::update
