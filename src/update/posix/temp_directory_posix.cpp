// Linux: the temporary-files directory from the environment, as the C library names it.
#include <string>

#include "platform/environment.h"
#include "update/local_files.h"

namespace kelvra::update {

std::string TempFilesDirectory() {
    std::string dir = "/tmp";
    for (const char* name : {"TMPDIR", "TMP", "TEMP", "TEMPDIR"}) {
        const std::optional<std::string> value = platform::SystemEnvironment().Get(name);
        if (value && !value->empty()) {
            dir = *value;
            break;
        }
    }
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    return dir;
}

}  // namespace kelvra::update
