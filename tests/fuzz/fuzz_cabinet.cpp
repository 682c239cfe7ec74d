// Cabinet extraction on arbitrary bytes: whatever the cabinet holds, nothing is written
// outside the extraction folder, and every name the name check accepts stays inside it.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "fuzz_sandbox.h"
#include "update/cab_extract.h"

namespace {

namespace fs = std::filesystem;
using kelvra::fuzz::Check;
using kelvra::fuzz::Sandbox;

// Lexically: does base joined with the stored name stay below base?
bool StaysInside(const std::string& name) {
    int depth = 0;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find_first_of("\\/", start);
        if (end == std::string::npos)
            end = name.size();
        const std::string_view part(name.data() + start, end - start);
        if (part == "..")
            --depth;
        else if (!part.empty() && part != ".")
            ++depth;
        if (depth < 0)
            return false;
        start = end + 1;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    // The name check alone, on the bytes as one stored name.
    if (kelvra::update::IsSafeCabinetName(bytes))
        Check(bytes[0] != '/' && bytes[0] != '\\' && StaysInside(bytes));

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
