// The Linux registry's .reg reader on arbitrary bytes: whatever it accepts, it writes back
// in a form that reads to the same keys and values, and with a root it never keeps a key
// outside that root.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/error.h"
#include "platform/posix/reg_file.h"

namespace {

using kelvra::platform::posix::RegFile;

void Check(bool ok) {
    if (!ok)
        __builtin_trap();
}

constexpr std::string_view kRoot = "HKEY_CURRENT_USER";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (std::string_view root : {std::string_view{}, kRoot}) {
        std::string written;
        try {
            written = RegFile::Parse(bytes, "fuzz.reg", root).Write();
        } catch (const kelvra::Error&) {
            continue;  // refused with the file's name and line: the expected outcome
        }
        // The written form is read back without error and is stable from then on.
        const RegFile again = RegFile::Parse(written, "written.reg", root);
        Check(again.Write() == written);
    }
    return 0;
}
