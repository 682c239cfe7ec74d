// Helpers of the targets that write files: a failed check, and a folder of this process.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

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

}  // namespace kelvra::fuzz
