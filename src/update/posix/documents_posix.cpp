// Linux: the documents folder as xdg-user-dir gives it.
#include <fstream>
#include <string>

#include "platform/environment.h"
#include "update/update_log.h"

namespace kelvra::update {

std::optional<std::string> DocumentsFolder() {
    auto& env = platform::SystemEnvironment();
    const std::string home = env.Get("HOME").value_or("");
    std::string config = env.Get("XDG_CONFIG_HOME").value_or("");
    if (config.empty() || config[0] != '/')
        config = home.empty() ? std::string() : home + "/.config";
    if (!config.empty()) {
        std::ifstream in(config + "/user-dirs.dirs");
        std::string line;
        while (std::getline(in, line)) {
            const std::string key = "XDG_DOCUMENTS_DIR=\"";
            if (line.rfind(key, 0) != 0)
                continue;
            const std::size_t end = line.rfind('"');
            if (end <= key.size())
                break;
            std::string value = line.substr(key.size(), end - key.size());
            if (value.rfind("$HOME", 0) == 0)
                value = home + value.substr(5);
            else if (value.empty() || value[0] != '/')
                break;
            // A documents folder equal to the home folder means "not set".
            if (value == home || value == home + "/")
                break;
            return value;
        }
    }
    if (home.empty())
        return std::nullopt;
    return home + "/Documents";
}

}  // namespace kelvra::update
