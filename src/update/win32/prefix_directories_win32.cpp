// Windows: the directories behind the prefix names.
#include <shlobj.h>
#include <windows.h>

#include "platform/environment.h"
#include "platform/file_system.h"
#include "platform/win32/wide.h"
#include "update/prefix_expansion.h"
#include "update/update_log.h"

namespace kelvra::update {
namespace {

std::optional<std::string> Folder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    if (SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK)
        return std::nullopt;
    return platform::win32::Narrow(path);
}

}  // namespace

PrefixDirectories SystemPrefixDirectories(std::string temp_directory) {
    PrefixDirectories d;
    wchar_t buffer[MAX_PATH] = {};
    UINT n = GetWindowsDirectoryW(buffer, MAX_PATH);
    d.windows = platform::win32::Narrow(std::wstring_view(buffer, n < MAX_PATH ? n : 0));
    n = GetSystemDirectoryW(buffer, MAX_PATH);
    d.system = platform::win32::Narrow(std::wstring_view(buffer, n < MAX_PATH ? n : 0));
    d.application = platform::DirectoryOf(platform::SystemFileSystem().ExecutablePath(), '\\');
    d.temp = std::move(temp_directory);
    d.documents = DocumentsFolder().value_or("");
    d.program_files = platform::SystemEnvironment().Get("ProgramFiles").value_or("");
    d.local_app_data = Folder(CSIDL_LOCAL_APPDATA);
    return d;
}

}  // namespace kelvra::update
