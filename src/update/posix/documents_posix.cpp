// Linux: the documents folder as the desktop names it: XDG_DOCUMENTS_DIR in user-dirs.dirs
// (localised names such as "文档" included), else the environment's XDG_DOCUMENTS_DIR,
// else ~/Documents; and only when that folder exists.
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>

#include "platform/environment.h"
#include "update/update_log.h"

namespace kelvra::update {
namespace {

constexpr std::string_view kDocumentsKey = "XDG_DOCUMENTS_DIR";

// The folder of one user-dirs.dirs line XDG_DOCUMENTS_DIR="$HOME/..." or "/...", with its
// backslash escapes read; nullopt for any other line.
std::optional<std::string> DocumentsLine(std::string_view line, const std::string& home) {
    const std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string_view::npos ||
        line.substr(start, kDocumentsKey.size()) != kDocumentsKey)
        return std::nullopt;
    line.remove_prefix(start + kDocumentsKey.size());
    line.remove_prefix(std::min(line.size(), line.find_first_not_of(" \t")));
    if (line.substr(0, 1) != "=")
        return std::nullopt;
    line.remove_prefix(1);
    line.remove_prefix(std::min(line.size(), line.find_first_not_of(" \t")));
    if (line.substr(0, 1) != "\"")
        return std::nullopt;
    line.remove_prefix(1);
    std::string value;
    if (line.substr(0, 5) == "$HOME" && (line.size() == 5 || line[5] == '/' || line[5] == '"')) {
        value = home;
        line.remove_prefix(5);
    } else if (line.substr(0, 1) != "/") {
        return std::nullopt;  // only absolute or $HOME-relative folders are valid
    }
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"')
            return value;
        if (line[i] == '\\' && i + 1 < line.size())
            ++i;
        value += line[i];
    }
    return std::nullopt;  // no closing quote
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::optional<std::string> DocumentsFolder() {
    auto& env = platform::SystemEnvironment();
    const std::string home = env.Get("HOME").value_or("");
    std::string config = env.Get("XDG_CONFIG_HOME").value_or("");
    if (config.empty() || config[0] != '/')
        config = home.empty() ? std::string() : home + "/.config";
    std::optional<std::string> named;
    if (!config.empty()) {
        std::ifstream in(config + "/user-dirs.dirs");
        std::string line;
        while (std::getline(in, line)) {
            if (auto folder = DocumentsLine(line, home))
                named = folder;  // as the shell reads the file, the last line wins
        }
    }
    if (!named) {
        // A relative value names no folder (it would follow the current directory).
        if (auto value = env.Get(std::string(kDocumentsKey)); value && value->starts_with('/'))
            named = *value;
    }
    std::string folder;
    // A documents folder equal to the home folder means "not set".
    if (named && !named->empty() && *named != home && *named != home + "/")
        folder = *named;
    else if (!home.empty())
        folder = home + "/Documents";
    // A folder that does not exist cannot hold the log: the bare name is used instead.
    if (folder.empty() || !IsDirectory(folder))
        return std::nullopt;
    return folder;
}

}  // namespace kelvra::update
