#include "platform/file_system.h"

namespace kelvra::platform {
namespace {

std::size_t LastSeparator(std::string_view path, char separator) {
    const std::size_t a = path.rfind(separator);
    const std::size_t b = path.rfind('/');
    if (a == std::string_view::npos)
        return b;
    if (b == std::string_view::npos)
        return a;
    return a > b ? a : b;
}

}  // namespace

std::string FileNameOf(std::string_view path, char separator) {
    const std::size_t at = LastSeparator(path, separator);
    return std::string(at == std::string_view::npos ? path : path.substr(at + 1));
}

std::string DirectoryOf(std::string_view path, char separator) {
    const std::size_t at = LastSeparator(path, separator);
    return at == std::string_view::npos ? std::string() : std::string(path.substr(0, at));
}

}  // namespace kelvra::platform
