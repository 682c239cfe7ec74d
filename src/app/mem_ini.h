// In-memory INI object: the whole file read at once, lookups in memory, rewritten only on
// an explicit update.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kelvra::platform {
class CodePage;
class FileSystem;
}  // namespace kelvra::platform

namespace kelvra::app {

enum class IniEncoding { Ansi, Utf8Bom, Utf16LeBom, Utf16BeBom };

class TMemIni {
  public:
    // Reads the file; a missing file reads as empty. Throws OsError when the file exists
    // but cannot be read. Never creates the file.
    TMemIni(std::string file_name, platform::FileSystem& files, const platform::CodePage& ansi);

    // Parses bytes as the file would be read (used by the constructor and the fuzz target).
    void Load(std::string_view bytes);
    // The file's bytes as UpdateFile writes them.
    std::string Serialize() const;

    // The value after "name=" of the first matching key of the first matching section;
    // default_value when either is missing. Names compare case-insensitively.
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view default_value) const;
    // In memory only.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    // Replaces the file with Serialize() atomically; the old file stays whole when writing fails.
    void UpdateFile();

    const std::string& file_name() const { return file_name_; }
    IniEncoding encoding() const { return encoding_; }

  private:
    struct Section {
        std::u16string name;
        std::vector<std::u16string> lines;
    };
    Section* FindSection(std::u16string_view name);
    const Section* FindSection(std::u16string_view name) const;

    std::string file_name_;
    platform::FileSystem& files_;
    const platform::CodePage& ansi_;
    IniEncoding encoding_ = IniEncoding::Ansi;
    std::vector<Section> sections_;
};

}  // namespace kelvra::app
