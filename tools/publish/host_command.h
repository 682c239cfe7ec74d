// Runs the host's own tools (apt-ftparchive, gpg, gzip) for the publisher.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace kelvra::publish {

struct HostCommand {
    std::vector<std::string> argv;                   // argv[0] is looked up on PATH
    std::string directory;                           // working directory; empty: the current one
    std::string output_file;                         // standard output goes here when not empty
    std::map<std::string, std::string> environment;  // added to the inherited environment
};

// Runs the command to its end; throws std::runtime_error naming the program when it cannot
// be started or does not exit with 0.
void Run(const HostCommand& command);

}  // namespace kelvra::publish
