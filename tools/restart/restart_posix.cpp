// The restart program's system side on Linux.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <string>
#include <thread>
#include <utility>

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

// Copies from to a file created at to (exclusively, so never through a link) with mode.
bool CopyFile(const std::string& from, const std::string& to, mode_t mode) {
    const int in = open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (in < 0)
        return false;
    struct stat st {};
    int out = -1;
    if (fstat(in, &st) == 0 && S_ISREG(st.st_mode))
        out = open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    bool ok = out >= 0;
    char block[65536];
    while (ok) {
        const ssize_t n = read(in, block, sizeof block);
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        for (ssize_t done = 0; ok && done < n;) {
            const ssize_t w = write(out, block + done, static_cast<std::size_t>(n - done));
            ok = w > 0;
            done += w > 0 ? w : 0;
        }
    }
    close(in);
    if (out >= 0) {
        ok = fchmod(out, mode) == 0 && ok;
        ok = fsync(out) == 0 && ok;
        ok = close(out) == 0 && ok;
    }
    if (ok)
        return unlink(from.c_str()) == 0;
    if (out >= 0)
        unlink(to.c_str());
    return false;
}

// A renamed file's data reach the disk before any rename that depends on them.
bool Flush(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = fsync(fd) == 0;
    close(fd);
    return ok;
}

}  // namespace

bool WaitForProcessEnd(std::uint32_t pid, std::chrono::milliseconds timeout) {
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + timeout;
    // A descriptor for the process becomes readable the moment it ends; where the kernel
    // has none (before Linux 5.3), the process is looked at every 20 ms.
    int process = -1;
#ifdef SYS_pidfd_open
    process = static_cast<int>(syscall(SYS_pidfd_open, static_cast<pid_t>(pid), 0));
#endif
    bool ended = false;
    while (!(ended = Ended(pid))) {
        const auto left = duration_cast<milliseconds>(deadline - steady_clock::now());
        if (left.count() <= 0)
            break;
        pollfd wait{process, POLLIN, 0};
        if (process < 0 ||
            poll(&wait, 1, static_cast<int>(std::min<long long>(left.count(), 1000))) < 0 ||
            (wait.revents & (POLLERR | POLLNVAL)) != 0) {
            if (process >= 0)
                close(std::exchange(process, -1));
            std::this_thread::sleep_for(milliseconds(20));
        }
    }
    if (process >= 0)
        close(process);
    return ended;
}

bool MoveToPrepared(const std::string& from, const std::string& prepared,
                    const std::string& target) {
    if (unlink(prepared.c_str()) != 0 && errno != ENOENT)
        return false;
    struct stat st {};
    if (lstat(from.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    // A replaced file keeps its permissions (a downloaded program is not executable yet); a
    // new one keeps those it was staged with.
    struct stat old {};
    const mode_t mode = (stat(target.c_str(), &old) == 0 ? old.st_mode : st.st_mode) & 07777;
    if (rename(from.c_str(), prepared.c_str()) == 0)
        return chmod(prepared.c_str(), mode) == 0 && Flush(prepared);
    return errno == EXDEV && CopyFile(from, prepared, mode);
}

bool ReplaceWithPrepared(const std::string& prepared, const std::string& target) {
    if (rename(prepared.c_str(), target.c_str()) != 0)
        return false;
    // The folder's entry too, so that the rename itself survives a power cut.
    const std::string dir = target.substr(0, target.find_last_of('/') + 1);
    return Flush(dir.empty() ? "." : dir);
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
