// Test helper: an application waiting to be replaced. Appends "<pid>|<version.txt>|<args>"
// to result.txt beside itself, then stays while a file "hold" exists beside it (at most a
// minute), so the restart program has a running process to wait for.
#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "platform/file_system.h"
#include "test_support.h"
#include "update/process_runner.h"

int main(int argc, char** argv) {
    using namespace kelvra;
    auto& files = platform::SystemFileSystem();
    const std::string dir = platform::DirectoryOf(files.ExecutablePath(), files.Separator());
    const std::string sep(1, files.Separator());
    std::ifstream version_in(dir + sep + "version.txt");
    std::string version;
    std::getline(version_in, version);
    std::ostringstream line;
    line << update::SystemProcessRunner().CurrentProcessId() << "|" << version;
    for (int i = 1; i < argc; ++i)
        line << "|" << argv[i];
    files.AppendFile(dir + sep + "result.txt", line.str() + "\n");
    test::WaitUntil([&] { return !files.FileExists(dir + sep + "hold"); },
                    std::chrono::seconds(60));
    return 0;
}
