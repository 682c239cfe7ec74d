// The client's executable as the COM-started automation server, seen from outside: whether
// it runs, its process, and the outside client program run against it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "test_support.h"

namespace kelvra::test {

// The environment a server that COM starts inherits from the test: its settings in dir, no
// real update host, and its message boxes answered by the dialog script.
class ServerEnvironment {
  public:
    explicit ServerEnvironment(const TempDir& dir)
        : appdata_("APPDATA", dir.path()),
          script_("KELVRA_DIALOG_SCRIPT", dir.File("dialogs.txt")),
          update_("KELVRA_DEMO_UPDATE_HOST", "127.0.0.1:1") {}

  private:
    ScopedEnv appdata_;
    ScopedEnv script_;
    ScopedEnv update_;
};

// The id of a running copy of the client's executable in this prefix; 0 when none runs.
DWORD ClientProcessId();
inline bool ClientRunning() {
    return ClientProcessId() != 0;
}

// Runs a program to its end (two minutes at most); its exit code, -1 when it did not end.
int RunToEnd(const std::string& program, const std::vector<std::string>& args);

// Runs an outside client program (kelvra_com_client) with its output file and arguments;
// what it read, or its exit code and what it wrote when it failed.
std::string ClientReads(const std::string& client, const std::string& out,
                        const std::vector<std::string>& args = {});

}  // namespace kelvra::test
