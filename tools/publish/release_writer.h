// Publishes a build tree as an update server's folder: "kelvraeduclient/update.inf" in the
// control-file format released clients read, its detached signature "update.inf.sig", and
// the release's files as the update procedure fetches them.
//
// Every file is an application component (named in appcomps): the update procedure leaves
// components in its download folder and the carried restart program moves them into the
// application folder only after the updater has ended, so nothing there is half replaced.
// The client executable is fetched as it is (a component is never expanded); the other files
// travel in one cabinet that the procedure extracts into the download folder ({TMP}), which
// also keeps the folders below the application folder (the Linux web process extension).
// Single-file compressed files are not used: the procedure expands those in the current
// directory, the application folder, behind the restart program's back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "build_tree.h"
#include "release_key.h"

namespace kelvra::publish {

// One file of the control file's [files] list, as stored on the server.
struct ServedFile {
    std::string name;  // in "kelvraeduclient/"
    std::string description;
    bool cabinet = false;
    std::uint64_t size = 0;
    std::string sha256;
};

// The control file's text (CRLF line ends for the Windows release, LF for Linux).
std::string ControlFileText(const BuildTree& tree, const std::string& host,
                            const std::vector<ServedFile>& files);

// Writes the release into out_dir (created when missing; files of earlier releases there
// are replaced or left alone). host names the update server in the files' addresses.
// Throws std::runtime_error when anything cannot be read or written.
void PublishRelease(const BuildTree& tree, const ReleaseKey& key, const std::string& host,
                    const std::string& out_dir);

}  // namespace kelvra::publish
