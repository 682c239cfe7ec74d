// Linux: output files on plain descriptors, created with O_EXCL.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "update/local_files.h"

namespace kelvra::update {

OutputFile::Created OutputFile::CreateNew(const std::string& path, Handle& handle) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
        handle = fd;
        return Created::kOpened;
    }
    return errno == EEXIST ? Created::kNameTaken : Created::kFailed;
}

bool OutputFile::WriteAll(Handle handle, const char* data, std::size_t size) {
    const int fd = static_cast<int>(handle);
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

void OutputFile::BeginWriteback(Handle handle, std::int64_t offset, std::int64_t size) {
    // A hint: where it fails (a file system without it), the later flush does all the work.
    (void)::sync_file_range(static_cast<int>(handle), offset, size, SYNC_FILE_RANGE_WRITE);
}

bool OutputFile::CloseFile(Handle handle) {
    // Linux releases the descriptor even when close reports an error; never retry.
    return ::close(static_cast<int>(handle)) == 0;
}

}  // namespace kelvra::update
