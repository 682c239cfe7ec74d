// Programs started with posix_spawn. A command line is split as the carried programs read
// it (quotes group, backslashes are plain); a relative program is looked up in the current
// directory first, then in PATH. A shell "open" of a web address or a document goes to
// xdg-open.
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <thread>
#include <vector>

#include "update/process_runner.h"
#include "update/restart_handoff.h"

extern char** environ;

namespace kelvra::update {
namespace {

bool IsExecutable(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

std::string Resolve(const std::string& program) {
    if (program.find('/') != std::string::npos)
        return program;
    if (IsExecutable("./" + program))
        return "./" + program;
    return program;  // posix_spawnp searches PATH
}

// Spawns argv (with attributes, when given); pid or -1 with errno set.
pid_t Spawn(const std::vector<std::string>& args, const posix_spawnattr_t* attributes = nullptr) {
    if (args.empty()) {
        errno = ENOENT;
        return -1;
    }
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::string program = Resolve(args[0]);
    pid_t pid = -1;
    int err = posix_spawnp(&pid, program.c_str(), nullptr, attributes, argv.data(), environ);
    if (err != 0) {
        errno = err;
        return -1;
    }
    return pid;
}

// A web address or a document (a file that is not a program) is opened as the desktop opens
// it, as the shell's "open" does on Windows.
bool OpensWithDesktop(const std::string& target) {
    if (target.find("://") != std::string::npos)
        return true;
    struct stat st {};
    return stat(target.c_str(), &st) == 0 && !IsExecutable(target);
}

class PosixProcessRunner final : public ProcessRunner {
  public:
    bool ShellOpen(const std::string& program, const std::string& params) override {
        std::vector<std::string> args{program};
        if (OpensWithDesktop(program))
            args.insert(args.begin(), "xdg-open");
        else
            for (std::string& a : SplitCommandLine(params))
                args.push_back(std::move(a));
        // Started in a session of its own, without forking this (possibly large) process
        // first; a thread reaps it when it ends, and init does once this process has ended.
        posix_spawnattr_t attributes;
        if (posix_spawnattr_init(&attributes) != 0)
            return false;
        const pid_t pid = posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID) == 0
                              ? Spawn(args, &attributes)
                              : -1;
        posix_spawnattr_destroy(&attributes);
        if (pid < 0)
            return false;
        try {
            std::thread([pid] {
                int status = 0;
                while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
                }
            }).detach();
        } catch (const std::system_error&) {
            // Without a thread the program still runs; it stays a zombie until this ends.
        }
        return true;
    }

    std::optional<std::uint32_t> RunAndWait(const std::string& command_line, bool) override {
        pid_t pid = Spawn(SplitCommandLine(command_line));
        if (pid < 0)
            return std::nullopt;
        int status = 0;
        pid_t r;
        while ((r = waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
        }
        if (r != pid)
            return std::nullopt;
        if (WIFEXITED(status))
            return static_cast<std::uint32_t>(WEXITSTATUS(status));
        if (WIFSIGNALED(status))
            return 128u + static_cast<std::uint32_t>(WTERMSIG(status));
        return std::nullopt;
    }

    std::uint32_t CurrentProcessId() const override { return static_cast<std::uint32_t>(getpid()); }
    void SetLastErrorValue(std::uint32_t value) override { errno = static_cast<int>(value); }
    std::uint32_t LastErrorValue() const override { return static_cast<std::uint32_t>(errno); }
};

}  // namespace

ProcessRunner& SystemProcessRunner() {
    static PosixProcessRunner runner;
    return runner;
}

}  // namespace kelvra::update
