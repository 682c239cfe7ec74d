// The carried programs as files installed beside the executable.
#include <sys/stat.h>

#include <cerrno>

#include "platform/error.h"
#include "platform/file_system.h"
#include "update/carried_programs.h"

namespace kelvra::update {

std::string CarriedProgram(const std::string& resource) {
    auto& files = platform::SystemFileSystem();
    std::string name;
    if (resource == kUpdaterResource)
        name = "kusetup.ex_";
    else if (resource == kPatcherResource)
        name = "patcher";
    else
        throw Error("Resource " + resource + " not found");
    std::string dir = platform::DirectoryOf(files.ExecutablePath(), '/');
    std::string path = dir + "/" + name;
    if (!files.FileExists(path))
        throw OsError("Resource " + resource + " not found", ENOENT);
    return files.ReadFile(path);
}

void MakeExecutable(const std::string& path) {
    if (chmod(path.c_str(), 0755) != 0)
        throw OsError("Cannot make " + path + " executable", errno);
}

}  // namespace kelvra::update
