#include "update/carried_programs.h"

#include "platform/error.h"
#include "platform/file_system.h"
#include "update/cab_extract.h"
#include "update/local_files.h"
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
    // The packed file must keep its name, from which the expanded one is made. Nothing is
    // flushed to the disk: the files are this run's own and are gone after the update.
    const std::string folder = InDir(files, win_temp_dir, "kusetup.tmp");
    if (!files.DirectoryExists(folder))
        files.MakeDirectory(folder);  // throws OsError when win_temp_dir is missing
    const std::string packed = InDir(files, folder, kRestartProgramPacked);
    DeleteLocalFile(packed);
    if (!WriteNewFileOver(folder, packed, CarriedProgram(kUpdaterResource)))
        throw Error("Cannot write " + packed);
    const std::string expanded = ExpandLZFile(packed);
    const std::string program = InDir(files, win_temp_dir, kRestartProgram);
    DeleteLocalFile(program);
    const bool moved = RenameLocalFile(expanded, program);
    DeleteLocalFile(expanded);
    DeleteLocalFile(folder);  // empty by now: removed like a file
    if (!moved)
        throw Error("Cannot write " + program);
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
