// Prefix expansion of control-file values: "{NAME}" tokens become directories.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace kelvra::update {

// The directories the built-in prefix names stand for (UTF-8, platform syntax).
struct PrefixDirectories {
    std::string windows;                        // WIN
    std::string system;                         // SYS
    std::string application;                    // APP: directory of the running executable
    std::string temp;                           // TMP: the engine's download directory
    std::string documents;                      // DOC
    std::string program_files;                  // PF: the environment variable "ProgramFiles"
    std::optional<std::string> local_app_data;  // LAD; nullopt when the platform has none
};

// Fills everything except temp (the engine's own download directory) from the platform.
PrefixDirectories SystemPrefixDirectories(std::string temp_directory);

// A directory as the built-in conversion returns it: a separator is appended when
// missing; then a text longer than 3 characters whose second character is ":" loses it
// again, and any other text gets "." appended ("C:\Windows", "C:\.", "\\srv\x\.", ".").
std::string NormalisePrefixDirectory(std::string directory, char separator);

// The built-in conversion of an upper-cased name (WIN, SYS, APP, TMP, DOC, PF, LAD); any
// other name gives an empty directory before normalisation, so a lone ".". Throws Error
// "Could not find Local Application Data folder location." for LAD without a folder.
std::string BaseConvertPrefix(std::string_view upper_name, const PrefixDirectories& dirs,
                              char separator);

// OnConvertPrefix: sees the whole text before the scan and may change it.
using ConvertPrefixHandler = std::function<void(std::string& text)>;
// The (overridable) conversion: upper-cased name -> directory; "" leaves the token as is.
using ConvertPrefixFunction = std::function<std::string(const std::string& upper_name)>;

// Runs the handler (when set), then replaces every closed "{name}" token by
// convert(upper-cased name) when that is non-empty, rescanning inserted text. A "{" inside
// an open token is ordinary text; an unclosed token stays as written. Throws Error when
// the expansion keeps growing without end (a conversion that inserts its own token).
std::string ExpandPrefixes(std::string text, const ConvertPrefixHandler& on_convert_prefix,
                           const ConvertPrefixFunction& convert);

}  // namespace kelvra::update
