// Helpers of the targets that write files or name places: a failed check, a folder of this
// process, and where a relative name lands.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

namespace kelvra::fuzz {

inline void Check(bool ok) {
    if (!ok)
        __builtin_trap();
}

// A fresh folder below the temporary folder, made on first use and kept for the run.
inline const std::filesystem::path& Sandbox(const char* prefix) {
    static const std::filesystem::path dir = [prefix] {
        std::string pattern =
            (std::filesystem::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string();
        Check(mkdtemp(pattern.data()) != nullptr);
        return std::filesystem::path(pattern);
    }();
    return dir;
}

// Lexically, how many levels below a folder the relative name lands ("." and empty parts
// stay, ".." climbs; both slashes separate, as on Windows), or -1 when it climbs above the
// folder on the way.
inline int DepthBelow(std::string_view name) {
    int depth = 0;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find_first_of("\\/", start);
        if (end == std::string_view::npos)
            end = name.size();
        const std::string_view part = name.substr(start, end - start);
        if (part == "..")
            --depth;
        else if (!part.empty() && part != ".")
            ++depth;
        if (depth < 0)
            return -1;
        start = end + 1;
    }
    return depth;
}

}  // namespace kelvra::fuzz
