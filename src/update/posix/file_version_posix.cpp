// Linux: the file version from a PE version resource or a Kelvra ELF note.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "update/version_info.h"

namespace kelvra::update {

VersionWords ReadFileVersion(std::string_view path) {
    // The image is mapped rather than read: a client is tens of megabytes, of which the
    // parse touches the headers and one note or resource.
    const int fd = ::open(std::string(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    struct stat st {};
    void* map = MAP_FAILED;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
        map = ::mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    ::close(fd);
    if (map == MAP_FAILED)
        return {};
    const std::string_view image(static_cast<const char*>(map),
                                 static_cast<std::size_t>(st.st_size));
    const VersionWords version =
        image.substr(0, 2) == "MZ" ? PeFileVersion(image) : ElfFileVersion(image);
    ::munmap(map, static_cast<std::size_t>(st.st_size));
    return version;
}

}  // namespace kelvra::update
