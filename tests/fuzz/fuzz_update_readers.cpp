// Control-file, version and date readers of the update engine on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "update/control_file.h"
#include "update/update_date.h"
#include "update/version_info.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    auto file = kelvra::update::ControlFileFromBytes(bytes);
    const std::string v = file->ReadString("update", "newversion", "");
    if (v.size() > 3 * kelvra::update::kMaxProfileValue)
        __builtin_trap();
    (void)kelvra::update::ReadInteger(*file, "files", "count", 0);
    (void)kelvra::update::ReadLines(*file, "action", "msg");
    (void)kelvra::update::ParseVersionText(bytes);
    (void)kelvra::update::PeFileVersion(bytes);
    (void)kelvra::update::ElfFileVersion(bytes);
    const std::size_t half = size / 2;
    (void)kelvra::update::ReadReleaseDate(bytes.substr(0, half), bytes.substr(half), {});
    return 0;
}
