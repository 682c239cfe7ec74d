#include "update/carried_programs.h"

#include "platform/file_system.h"
#include "update/cab_extract.h"
#include "update/restart_handoff.h"

namespace kelvra::update {
namespace {

std::string InDir(const platform::FileSystem& files, const std::string& dir,
                  const std::string& name) {
    if (dir.empty())
        return name;
    if (dir.back() == files.Separator() || dir.back() == '/')
        return dir + name;
    return dir + files.Separator() + name;
}

}  // namespace

std::string ExtractUpdater(platform::FileSystem& files, const std::string& win_temp_dir) {
    std::string packed = InDir(files, win_temp_dir, kRestartProgramPacked);
    files.ReplaceAtomically(packed, CarriedProgram(kUpdaterResource));
    std::string program = ExpandLZFile(packed);
    MakeExecutable(program);
    return program;
}

std::string ExtractPatcher(platform::FileSystem& files, const std::string& dir) {
    std::string path = InDir(files, dir, kPatchProgram);
    files.ReplaceAtomically(path, CarriedProgram(kPatcherResource));
    MakeExecutable(path);
    return path;
}

}  // namespace kelvra::update
