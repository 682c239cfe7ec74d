#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <string>

#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/posix/rewrite_in_place_posix.h"

namespace kelvra::platform {
namespace {

using posix::RewriteInPlace;
using posix::WriteAll;

[[noreturn]] void ThrowErrno(const std::string& what, int err) {
    throw OsError(what + ". " + std::strerror(err), static_cast<std::uint32_t>(err));
}

// The file a chain of symbolic links ends at (path itself when it is no link); a link
// whose target is missing names that missing target.
std::string LinkTarget(std::string path) {
    for (int depth = 0; depth < 40; ++depth) {
        std::string buf(4096, '\0');
        const ssize_t n = ::readlink(path.c_str(), buf.data(), buf.size());
        if (n < 0 || static_cast<std::size_t>(n) >= buf.size())
            return path;
        buf.resize(static_cast<std::size_t>(n));
        if (buf.front() == '/') {
            path = buf;
        } else {
            const std::size_t slash = path.rfind('/');
            path = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + buf;
        }
    }
    return path;
}

bool StatIs(std::string_view path, mode_t kind) {
    struct stat st {};
    if (::stat(std::string(path).c_str(), &st) != 0)
        return false;
    return (st.st_mode & S_IFMT) == kind;
}

// The temporary file of a replacement: path + ".saving." + six letters or digits (mkstemp).
// Its writer holds an exclusive lock on it until the rename.
constexpr std::string_view kTemporaryInfix = ".saving.";

bool IsTemporaryOf(std::string_view entry, std::string_view base) {
    const std::size_t prefix = base.size() + kTemporaryInfix.size();
    if (entry.size() != prefix + 6 || entry.substr(0, base.size()) != base ||
        entry.substr(base.size(), kTemporaryInfix.size()) != kTemporaryInfix)
        return false;
    for (char c : entry.substr(prefix)) {
        if (!std::isalnum(static_cast<unsigned char>(c)))
            return false;
    }
    return true;
}

// A temporary file whose writer died (a killed save) is unlocked: remove it, so that killed
// saves do not pile up beside the file.
void RemoveAbandonedTemporaries(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    DIR* d = ::opendir(dir.c_str());
    if (d == nullptr)
        return;
    while (const dirent* e = ::readdir(d)) {
        if (!IsTemporaryOf(e->d_name, base))
            continue;
        const std::string temp = (slash == std::string::npos ? "" : dir) + e->d_name;
        const int fd = ::open(temp.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlink(temp.c_str());
        ::close(fd);
    }
    ::closedir(d);
}

// mkstemp beside path, locked. A sweep may remove the file between its creation and the
// lock; then it is made again.
int CreateLockedTemporary(std::string& temp, const std::string& path) {
    for (;;) {
        temp = path + std::string(kTemporaryInfix) + "XXXXXX";
        const int fd = ::mkstemp(temp.data());
        if (fd < 0)
            return fd;
        struct stat st {};
        if (::flock(fd, LOCK_EX) != 0 || ::fstat(fd, &st) != 0 || st.st_nlink > 0)
            return fd;
        ::close(fd);
    }
}

class PosixFileSystem final : public FileSystem {
  public:
    char Separator() const override { return '/'; }
    bool FileExists(std::string_view path) const override { return StatIs(path, S_IFREG); }
    bool DirectoryExists(std::string_view path) const override { return StatIs(path, S_IFDIR); }

    void MakeDirectory(std::string_view path) override {
        const std::string p(path);
        if (::mkdir(p.c_str(), 0777) != 0)
            ThrowErrno("Cannot create directory \"" + p + "\"", errno);
    }

    std::string ReadFile(std::string_view path) const override {
        const std::string p(path);
        // A rewrite in place that was cut short is finished first, so the content read is
        // whole.
        posix::FinishInterruptedRewrite(p);
        const int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            ThrowErrno("Cannot open file \"" + p + "\"", errno);
        std::string out;
        char buf[65536];
        for (;;) {
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                const int err = errno;
                ::close(fd);
                ThrowErrno("Cannot read file \"" + p + "\"", err);
            }
            if (n == 0)
                break;
            out.append(buf, static_cast<std::size_t>(n));
        }
        ::close(fd);
        return out;
    }

    void ReplaceAtomically(std::string_view path, std::string_view bytes) override {
        // A symbolic link stays: the new file replaces the file the link points to.
        const std::string p = LinkTarget(std::string(path));
        // Finished first, or its kept copy would later be written over this save's content.
        posix::FinishInterruptedRewrite(p);
        std::string temp;
        const int fd = CreateLockedTemporary(temp, p);
        if (fd < 0) {
            const int err = errno;
            // A folder that takes no new file, holding a writable file: rewrite it in place.
            if ((err == EACCES || err == EPERM || err == EROFS) && RewriteInPlace(p, bytes))
                return;
            ThrowErrno("Cannot create file \"" + p + "\"", err);
        }
        int err = WriteAll(fd, bytes);
        if (err == 0 && ::fsync(fd) != 0)
            err = errno;
        // Keep the permissions an existing file had; new files get the usual 0666 & umask.
        struct stat st {};
        if (err == 0 && ::stat(p.c_str(), &st) == 0) {
            ::fchmod(fd, st.st_mode & 07777);
        } else if (err == 0) {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            ::fchmod(fd, 0666 & ~mask);
        }
        // Renamed while still open, so the lock keeps sweeps of other savers away.
        if (err == 0 && ::rename(temp.c_str(), p.c_str()) != 0)
            err = errno;
        if (::close(fd) != 0 && err == 0)
            err = errno;
        if (err != 0) {
            ::unlink(temp.c_str());
            ThrowErrno("Cannot create file \"" + p + "\"", err);
        }
        RemoveAbandonedTemporaries(p);
    }

    void AppendFile(std::string_view path, std::string_view bytes) override {
        const std::string p(path);
        const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
        if (fd < 0)
            ThrowErrno("Cannot open file \"" + p + "\"", errno);
        const int err = WriteAll(fd, bytes);
        ::close(fd);
        if (err != 0)
            ThrowErrno("Cannot write file \"" + p + "\"", err);
    }

    void RemoveFile(std::string_view path) override {
        const std::string p(path);
        if (::unlink(p.c_str()) != 0 && errno != ENOENT) {
            ThrowErrno("Cannot delete file \"" + p + "\"", errno);
        }
    }

    std::string ExecutablePath() const override {
        std::string buf(4096, '\0');
        const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
        if (n <= 0)
            return {};
        buf.resize(static_cast<std::size_t>(n));
        return buf;
    }
};

}  // namespace

FileSystem& SystemFileSystem() {
    static PosixFileSystem files;
    return files;
}

}  // namespace kelvra::platform
