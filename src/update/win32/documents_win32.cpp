// Windows: the user's documents folder.
#include <shlobj.h>
#include <windows.h>

#include "platform/win32/wide.h"
#include "update/update_log.h"

namespace kelvra::update {

std::optional<std::string> DocumentsFolder() {
    wchar_t path[MAX_PATH] = {};
    if (SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK)
        return std::nullopt;
    return platform::win32::Narrow(path);
}

}  // namespace kelvra::update
