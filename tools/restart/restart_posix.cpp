// The restart program's system side on Linux.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <thread>

#include "restart_program.h"
#include "update/restart_handoff.h"

namespace kelvra::tools {
namespace {

// Ended, or a zombie that nobody has reaped yet.
bool Ended(std::uint32_t pid) {
    if (kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
        return true;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line))
        return true;
    std::size_t paren = line.rfind(')');
    return paren != std::string::npos && paren + 2 < line.size() && line[paren + 2] == 'Z';
}

bool CopyFile(const std::string& from, const std::string& to) {
    std::ifstream in(from, std::ios::binary);
    std::ofstream out(to + ".new", std::ios::binary | std::ios::trunc);
    out << in.rdbuf();
    out.close();
    struct stat st {};
    if (!in || !out || stat(from.c_str(), &st) != 0)
        return false;
    chmod((to + ".new").c_str(), st.st_mode & 07777);
    return rename((to + ".new").c_str(), to.c_str()) == 0 && unlink(from.c_str()) == 0;
}

}  // namespace

bool WaitForProcessEnd(std::uint32_t pid, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!Ended(pid)) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

bool MoveReplacing(const std::string& from, const std::string& to) {
    // A replaced file keeps its permissions (a downloaded program is not executable yet).
    struct stat old {};
    if (stat(to.c_str(), &old) == 0)
        chmod(from.c_str(), old.st_mode & 07777);
    if (rename(from.c_str(), to.c_str()) == 0)
        return true;
    return errno == EXDEV && CopyFile(from, to);
}

bool StartApplication(const std::string& application, const std::string& parameters,
                      const std::string& dir) {
    std::vector<std::string> args{application};
    for (std::string& a : update::SplitCommandLine(parameters)) {
        if (a.find_first_not_of(" \t") != std::string::npos)
            args.push_back(a);
    }
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0)
        return false;
    pid_t pid = fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        close(ready[0]);
        setsid();
        if (!dir.empty() && chdir(dir.c_str()) != 0)
            _exit(127);
        execv(application.c_str(), argv.data());
        int err = errno;
        (void)!write(ready[1], &err, sizeof err);
        _exit(127);
    }
    close(ready[1]);
    int err = 0;
    ssize_t n = read(ready[0], &err, sizeof err);
    close(ready[0]);
    return n == 0;  // the pipe closed on exec
}

char PathSeparator() {
    return '/';
}

}  // namespace kelvra::tools
