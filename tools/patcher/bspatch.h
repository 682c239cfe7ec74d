// Applying a patch in the bsdiff format ("BSDIFF40": header, then bzip2-compressed control,
// difference and extra blocks).
#pragma once

#include <string>
#include <string_view>

namespace kelvra::tools {

// The new file's bytes. Throws CorruptData when the patch is not valid for old.
std::string ApplyBsdiff(std::string_view old_bytes, std::string_view patch);

}  // namespace kelvra::tools
