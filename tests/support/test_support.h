// Helpers shared by the test binaries: temporary folders, scoped environment variables,
// whole-file reads and writes, and child processes.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kelvra::test {

// A fresh folder, removed with its contents when the object goes.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // path() + the platform separator + name.
    std::string File(const std::string& name) const;

  private:
    std::string path_;
};

// Sets (or with nullopt removes) an environment variable, restoring it afterwards.
class ScopedEnv {
  public:
    ScopedEnv(std::string name, std::optional<std::string> value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    std::string name_;
    std::optional<std::string> old_;
};

std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);
bool PathExists(const std::string& path);
char Separator();

// Folder of the test binaries (where helper executables are built).
std::string TestBinDir();
// A helper executable built beside the tests ("name" or "name.exe").
std::string TestProgram(const std::string& name);

// A started child process.
class ChildProcess {
  public:
    // Starts program with args; the environment is the current one plus extra_env
    // entries of the form "NAME=value".
    ChildProcess(const std::string& program, const std::vector<std::string>& args,
                 const std::vector<std::string>& extra_env = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Exit code, or nullopt when it did not end within timeout.
    std::optional<int> Wait(std::chrono::milliseconds timeout);
    // Ends the process abruptly (TerminateProcess / SIGKILL) and reaps it.
    void Kill();
    // The system's process id.
    long Id() const;

  private:
    struct Impl;
    Impl* impl_;
};

// Polls condition every 20 ms until it holds or the deadline passes.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

}  // namespace kelvra::test
