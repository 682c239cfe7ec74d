// The next release's client as the benchmark publishes it: started by the restart program
// from the application folder, it writes "started" beside itself and ends, so that the
// benchmark sees the moment the update has been applied. With an argument it only ends (the
// benchmark's stand-in for an updater process that has ended).
#include <cstdio>
#include <string>

#include "platform/file_system.h"
#include "update/file_version_note.h"

// Newer than the installed client the benchmark copies into place (1.0.0.0).
KELVRA_FILE_VERSION_NOTE(1, 0, 0, 1);

int main(int argc, char**) {
    if (argc > 1)
        return 0;
    auto& files = kelvra::platform::SystemFileSystem();
    const std::string dir =
        kelvra::platform::DirectoryOf(files.ExecutablePath(), files.Separator());
    files.AppendFile(dir + files.Separator() + "started", "started\n");
    return 0;
}
