// Linux: whole files and their stamps through open/fstat/read.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "update/stored_file.h"

namespace kelvra::update {
namespace {

FileStamp StampOf(const struct stat& st) {
    FileStamp s;
    if (!S_ISREG(st.st_mode))
        return s;
    s.exists = true;
    s.size = static_cast<std::uint64_t>(st.st_size);
    s.modified = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    s.origin = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    return s;
}

}  // namespace

FileStamp StampOfFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? StampOf(st) : FileStamp{};
}

bool ReadStampedFile(const std::string& path, std::string& bytes, FileStamp& stamp) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (ok) {
        stamp = StampOf(st);
        // One byte more than announced, so that a file of the stated size is read in one call;
        // a read that does not fill what was asked of a regular file has reached its end.
        bytes.resize(static_cast<std::size_t>(st.st_size) + 1);
        std::size_t have = 0;
        for (;;) {
            if (have == bytes.size())
                bytes.resize(bytes.size() * 2);
            const std::size_t want = bytes.size() - have;
            const ssize_t n = ::read(fd, bytes.data() + have, want);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                ok = false;
            if (n > 0)
                have += static_cast<std::size_t>(n);
            if (n <= 0 || static_cast<std::size_t>(n) < want)
                break;
        }
        bytes.resize(have);
    }
    ::close(fd);
    return ok;
}

}  // namespace kelvra::update
