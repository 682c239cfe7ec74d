// What a build tree holds for a release: its platform, the client's version and the files
// the release carries.
#pragma once

#include <string>
#include <vector>

namespace kelvra::publish {

enum class ReleasePlatform { kWindows, kLinux };

struct ReleaseFile {
    std::string name;    // relative to the application folder, "/" between folders
    std::string source;  // path in the build tree
};

struct BuildTree {
    ReleasePlatform platform = ReleasePlatform::kLinux;
    std::string version;             // "a.b.c.d", the client executable's file version
    std::string update_host;         // the update server's host the build's clients ask
    std::string client;              // file name of the client executable
    std::vector<ReleaseFile> files;  // the client first, then the others
};

// Reads dir: a win32/win64 tree (bin/kelvraedu.exe) gives the Windows release, a linux tree
// (bin/kelvraedu) the Linux release. Throws std::runtime_error when dir holds no built client
// or the client carries no file version.
BuildTree ReadBuildTree(const std::string& dir);

}  // namespace kelvra::publish
