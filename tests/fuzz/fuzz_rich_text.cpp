// Rich text reduced to plain text, on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "ui/rich_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string rtf(reinterpret_cast<const char*>(data), size);
    const std::string plain = kelvra::ui::RichTextToPlain(rtf);
    // No input byte yields more than one character of at most three UTF-8 bytes.
    if (plain.size() > 3 * size)
        __builtin_trap();
    return 0;
}
