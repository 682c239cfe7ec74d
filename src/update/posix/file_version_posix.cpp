// Linux: the file version from a PE version resource or a Kelvra ELF note.
#include <fstream>
#include <sstream>
#include <string>

#include "update/version_info.h"

namespace kelvra::update {

VersionWords ReadFileVersion(std::string_view path) {
    std::ifstream in{std::string(path), std::ios::binary};
    if (!in)
        return {};
    std::ostringstream bytes;
    bytes << in.rdbuf();
    const std::string image = bytes.str();
    if (image.rfind("MZ", 0) == 0)
        return PeFileVersion(image);
    return ElfFileVersion(image);
}

}  // namespace kelvra::update
