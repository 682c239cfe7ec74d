#include "update/prefix_expansion.h"

#include "platform/error.h"
#include "platform/text.h"

namespace kelvra::update {
namespace {

// Bounds against a conversion that keeps inserting tokens.
constexpr std::size_t kMaxReplacements = 10000;
constexpr std::size_t kMaxExpandedLength = 1 << 20;

}  // namespace

std::string NormalisePrefixDirectory(std::string directory, char separator) {
    if (!directory.empty() && directory.back() != separator)
        directory.push_back(separator);
    const std::u16string units = text::Utf8ToUtf16(directory);
    if (units.size() > 3 && units[1] == u':')
        directory.pop_back();
    else
        directory.push_back('.');
    return directory;
}

std::string BaseConvertPrefix(std::string_view upper_name, const PrefixDirectories& dirs,
                              char separator) {
    std::string dir;
    if (upper_name == "WIN") {
        dir = dirs.windows;
    } else if (upper_name == "SYS") {
        dir = dirs.system;
    } else if (upper_name == "APP") {
        dir = dirs.application;
    } else if (upper_name == "TMP") {
        dir = dirs.temp;
    } else if (upper_name == "DOC") {
        dir = dirs.documents;
    } else if (upper_name == "PF") {
        dir = dirs.program_files;
    } else if (upper_name == "LAD") {
        if (!dirs.local_app_data)
            throw Error("Could not find Local Application Data folder location.");
        dir = *dirs.local_app_data;
    }
    return NormalisePrefixDirectory(std::move(dir), separator);
}

std::string ExpandPrefixes(std::string text, const ConvertPrefixHandler& on_convert_prefix,
                           const ConvertPrefixFunction& convert) {
    if (on_convert_prefix)
        on_convert_prefix(text);
    std::size_t replacements = 0;
    std::size_t open = std::string::npos;
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] == '{' && open == std::string::npos) {
            open = i;
        } else if (text[i] == '}' && open != std::string::npos) {
            const std::string name = text::UpperAscii(text.substr(open + 1, i - open - 1));
            const std::string dir = convert ? convert(name) : std::string();
            if (!dir.empty()) {
                if (++replacements > kMaxReplacements ||
                    text.size() - (i + 1 - open) + dir.size() > kMaxExpandedLength)
                    throw Error("Prefix expansion of \"" + name + "\" does not end.");
                text.replace(open, i + 1 - open, dir);
                i = open;  // rescan the inserted text
                open = std::string::npos;
                continue;
            }
            open = std::string::npos;
        }
        ++i;
    }
    return text;
}

}  // namespace kelvra::update
