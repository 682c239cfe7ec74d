#include "platform/posix/rewrite_in_place_posix.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace kelvra::platform::posix {
namespace {

// The kept copy of a rewrite of path: a file of the temporary folder named after a hash of
// the file's real path; "" when path cannot be resolved. It holds the real path, a line
// break and the new content.
struct KeptCopy {
    std::string real_path;
    std::string name;
};

KeptCopy KeptCopyOf(const std::string& path) {
    char real[PATH_MAX];
    if (::realpath(path.c_str(), real) == nullptr)
        return {};
    const char* folder = std::getenv("TMPDIR");
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (const char* c = real; *c; ++c) {
        hash ^= static_cast<unsigned char>(*c);
        hash *= 1099511628211ull;
    }
    char name[40];
    std::snprintf(name, sizeof name, "/kelvra-rewrite-%016llx.dat",
                  static_cast<unsigned long long>(hash));
    return {real, std::string(folder && *folder ? folder : "/tmp") + name};
}

// Opens path for writing and locks it, so no second rewrite writes at the same time; -1
// when it cannot be opened, or (wait false) while another rewrite holds it.
int OpenForRewrite(const std::string& path, bool wait) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd >= 0 && ::flock(fd, wait ? LOCK_EX : LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Writes content over the open file from its start and ends the file there.
bool WriteOver(int fd, std::string_view content) {
    return ::lseek(fd, 0, SEEK_SET) == 0 && WriteAll(fd, content) == 0 &&
           ::ftruncate(fd, static_cast<off_t>(content.size())) == 0 && ::fsync(fd) == 0;
}

}  // namespace

int WriteAll(int fd, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

bool RewriteInPlace(const std::string& path, std::string_view bytes) {
    const KeptCopy kept = KeptCopyOf(path);
    if (kept.name.empty())
        return false;
    // The copy takes its name only once it is whole and on disk: a copy under that name is
    // always complete. A part left by a killed writer is overwritten by the next one.
    const std::string part = kept.name + ".part";
    const int copy = ::open(part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (copy < 0)
        return false;
    const bool whole = WriteAll(copy, kept.real_path + "\n") == 0 && WriteAll(copy, bytes) == 0 &&
                       ::fsync(copy) == 0;
    if (::close(copy) != 0 || !whole || ::rename(part.c_str(), kept.name.c_str()) != 0) {
        ::unlink(part.c_str());
        return false;
    }
    const int fd = OpenForRewrite(kept.real_path, true);
    if (fd < 0) {
        ::unlink(kept.name.c_str());
        return false;
    }
    const bool written = WriteOver(fd, bytes);
    // Removed while the file is still locked, so a reader never finishes this rewrite again
    // after a later one has started.
    if (written)
        ::unlink(kept.name.c_str());
    ::close(fd);
    return written;
}

void FinishInterruptedRewrite(const std::string& path) {
    const KeptCopy kept = KeptCopyOf(path);
    if (kept.name.empty() || ::access(kept.name.c_str(), F_OK) != 0)
        return;
    const int fd = OpenForRewrite(kept.real_path, false);
    if (fd < 0)
        return;  // a rewrite running now holds the file and finishes it itself
    const int copy = ::open(kept.name.c_str(), O_RDONLY | O_CLOEXEC);
    std::string content;
    bool read = copy >= 0;
    for (char buffer[65536]; read;) {
        const ssize_t n = ::read(copy, buffer, sizeof buffer);
        read = n >= 0 || errno == EINTR;
        if (n == 0)
            break;
        if (n > 0)
            content.append(buffer, static_cast<std::size_t>(n));
    }
    if (copy >= 0)
        ::close(copy);
    const std::string header = kept.real_path + "\n";
    // A copy of another file with the same hash is left alone.
    if (read && content.compare(0, header.size(), header) == 0 &&
        WriteOver(fd, std::string_view(content).substr(header.size())))
        ::unlink(kept.name.c_str());
    ::close(fd);
}

}  // namespace kelvra::platform::posix
