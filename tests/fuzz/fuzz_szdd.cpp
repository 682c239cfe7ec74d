// Single-file (SZDD) expansion on arbitrary bytes: it either writes the expanded file
// beside the compressed one under the expanded name and removes the compressed file, or
// throws and leaves the compressed file alone with nothing else written.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz_sandbox.h"
#include "platform/error.h"
#include "update/cab_extract.h"

namespace {

namespace fs = std::filesystem;
using kelvra::fuzz::Check;
using kelvra::fuzz::Sandbox;

const fs::path& Dir() {
    return Sandbox("kelvra-fuzz-szdd");
}

std::size_t EntryCount() {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(Dir()))
        ++n;
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fs::path packed = Dir() / "setup.ex_";
    {
        std::ofstream out(packed, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    try {
        const fs::path expanded = kelvra::update::ExpandLZFile(packed.string());
        Check(expanded.parent_path() == Dir());
        const std::string name = expanded.filename().string();
        Check(name.size() == 9 && name.compare(0, 8, "setup.ex") == 0 && name != "setup.ex_");
        Check(!fs::exists(packed) && EntryCount() == 1);
        fs::remove(expanded);
    } catch (const kelvra::Error&) {
        Check(fs::exists(packed) && EntryCount() == 1);
    }
    return 0;
}
