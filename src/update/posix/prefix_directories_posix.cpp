// Linux: the directories behind the prefix names. WIN and SYS have no counterpart and
// name the file-system root; PF names /opt unless "ProgramFiles" is set.
#include "platform/environment.h"
#include "platform/file_system.h"
#include "update/prefix_expansion.h"
#include "update/update_log.h"

namespace kelvra::update {

PrefixDirectories SystemPrefixDirectories(std::string temp_directory) {
    PrefixDirectories d;
    auto& env = platform::SystemEnvironment();
    d.windows = "/";
    d.system = "/";
    d.application = platform::DirectoryOf(platform::SystemFileSystem().ExecutablePath(), '/');
    d.temp = std::move(temp_directory);
    d.documents = DocumentsFolder().value_or("");
    d.program_files = env.Get("ProgramFiles").value_or("/opt");
    if (auto data = env.Get("XDG_DATA_HOME"); data && !data->empty() && (*data)[0] == '/')
        d.local_app_data = *data;
    else if (auto home = env.Get("HOME"); home && !home->empty())
        d.local_app_data = *home + "/.local/share";
    return d;
}

}  // namespace kelvra::update
