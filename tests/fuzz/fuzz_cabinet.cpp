// Cabinet extraction on arbitrary bytes: whatever the cabinet holds, nothing is written
// outside the extraction folder, and every name the name check accepts stays inside it.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz_sandbox.h"
#include "update/cab_extract.h"

namespace {

namespace fs = std::filesystem;
using kelvra::fuzz::Check;
using kelvra::fuzz::DepthBelow;
using kelvra::fuzz::Sandbox;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    // The name check alone, on the bytes as one stored name: what it accepts names a file
    // below the folder, never the folder itself or anything above it.
    if (kelvra::update::IsSafeCabinetName(bytes))
        Check(bytes[0] != '/' && bytes[0] != '\\' && DepthBelow(bytes) >= 1);

    // The cabinet at the top, extraction three levels down: a climb of up to three ".."
    // lands inside the folder and is seen.
    const fs::path& root = Sandbox("kelvra-fuzz-cab");
    const fs::path cabinet = root / "in.cab";
    const fs::path target = root / "a" / "b" / "target";
    fs::create_directories(target);
    {
        std::ofstream out(cabinet, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    (void)kelvra::update::ExtractCab(cabinet.string(), target.string());

    // Only the cabinet and the folders down to the target exist beside what it extracted.
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
         ++it) {
        const fs::path& p = it->path();
        if (p == target) {
            it.disable_recursion_pending();
            continue;
        }
        Check(p == cabinet || p == root / "a" || p == root / "a" / "b");
    }
    fs::remove_all(target);
    return 0;
}
