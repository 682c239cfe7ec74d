#include "host_command.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace kelvra::publish {

void Run(const HostCommand& command) {
    if (command.argv.empty())
        throw std::invalid_argument("Run: no program");
    const std::string& program = command.argv.front();
    std::vector<char*> argv;
    for (const std::string& arg : command.argv)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    // The child's environment is made here: between fork and exec only async-signal-safe
    // calls are allowed.
    std::vector<std::string> env_text;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        if (!command.environment.count(text.substr(0, text.find('='))))
            env_text.push_back(text);
    }
    for (const auto& [name, value] : command.environment)
        env_text.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (std::string& text : env_text)
        envp.push_back(text.data());
    envp.push_back(nullptr);

    int out = -1;
    if (!command.output_file.empty()) {
        out = ::open(command.output_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (out < 0)
            throw std::runtime_error("Cannot create " + command.output_file + ": " +
                                     std::strerror(errno));
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (out >= 0 && ::dup2(out, STDOUT_FILENO) < 0)
            ::_exit(127);
        if (!command.directory.empty() && ::chdir(command.directory.c_str()) != 0)
            ::_exit(127);
        ::execvpe(program.c_str(), argv.data(), envp.data());
        ::_exit(127);
    }
    const int fork_error = errno;
    if (out >= 0)
        ::close(out);
    if (pid < 0)
        throw std::runtime_error("Cannot start " + program + ": " + std::strerror(fork_error));
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR)
            throw std::runtime_error("Lost " + program + ": " + std::strerror(errno));
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error(program + " failed (" +
                                 (WIFEXITED(status)
                                      ? "exit code " + std::to_string(WEXITSTATUS(status))
                                      : "signal " + std::to_string(WTERMSIG(status))) +
                                 ")");
}

}  // namespace kelvra::publish
