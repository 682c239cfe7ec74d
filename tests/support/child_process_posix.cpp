#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>
#include <thread>

#include "test_support.h"

extern char** environ;

namespace kelvra::test {

struct ChildProcess::Impl {
    pid_t pid = -1;
    std::optional<int> exit_code;
};

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const std::vector<std::string>& extra_env)
    : impl_(new Impl) {
    std::vector<std::string> env_strings;
    for (char** e = environ; *e; ++e) {
        const std::string entry(*e);
        const std::string name = entry.substr(0, entry.find('='));
        bool replaced = false;
        for (const std::string& x : extra_env)
            replaced |= x.substr(0, x.find('=')) == name;
        if (!replaced)
            env_strings.push_back(entry);
    }
    for (const std::string& x : extra_env)
        env_strings.push_back(x);
    std::vector<char*> envp;
    for (auto& s : env_strings)
        envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> argv_strings{program};
    argv_strings.insert(argv_strings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& s : argv_strings)
        argv.push_back(s.data());
    argv.push_back(nullptr);
    const int rc =
        posix_spawn(&impl_->pid, program.c_str(), nullptr, nullptr, argv.data(), envp.data());
    if (rc != 0) {
        delete impl_;
        throw std::runtime_error("cannot start " + program + ": " + std::strerror(rc));
    }
}

ChildProcess::~ChildProcess() {
    if (!impl_->exit_code)
        Kill();
    delete impl_;
}

std::optional<int> ChildProcess::Wait(std::chrono::milliseconds timeout) {
    if (impl_->exit_code)
        return impl_->exit_code;
    WaitUntil(
        [&] {
            int status = 0;
            if (waitpid(impl_->pid, &status, WNOHANG) == impl_->pid) {
                impl_->exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            return impl_->exit_code.has_value();
        },
        timeout);
    return impl_->exit_code;
}

long ChildProcess::Id() const {
    return impl_->pid;
}

void ChildProcess::Kill() {
    if (impl_->exit_code)
        return;
    kill(impl_->pid, SIGKILL);
    int status = 0;
    waitpid(impl_->pid, &status, 0);
    impl_->exit_code = 128 + SIGKILL;
}

}  // namespace kelvra::test
