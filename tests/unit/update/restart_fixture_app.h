// The restart fixture application as the restart tests install it: its first version in an
// application folder, kept running by a "hold" file, writing one line per run to
// "result.txt" (process id|version|parameters).
#pragma once

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "test_support.h"

namespace kelvra::test {

// Copies the fixture program into app_dir with version "v1" and the hold file; returns its
// file name.
inline std::string InstallRestartFixtureApp(const std::string& app_dir) {
    const char sep = Separator();
    const std::string fixture = TestProgram("restart_fixture_app");
    const std::string exe = platform::FileNameOf(fixture, sep);
    WriteBytes(app_dir + sep + exe, ReadBytes(fixture));
    std::filesystem::permissions(std::filesystem::u8path(app_dir + sep + exe),
                                 std::filesystem::perms::owner_all);
    WriteBytes(app_dir + sep + "version.txt", "v1\n");
    WriteBytes(app_dir + sep + "hold", "");
    return exe;
}

// The lines the fixture has written to result.txt in app_dir so far, one per run.
inline std::vector<std::string> RestartFixtureRuns(const std::string& app_dir) {
    const std::string result = app_dir + Separator() + "result.txt";
    std::vector<std::string> lines;
    std::istringstream in(PathExists(result) ? ReadBytes(result) : "");
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

}  // namespace kelvra::test
