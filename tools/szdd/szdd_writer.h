// Writer of the single-file compressed format "SZDD" (mode "A": LZSS over a 4,096-byte
// window that starts filled with blanks, writing from position 4,080). Used by the build to
// pack the carried restart program and by the tests that expand its output.
#pragma once

#include <string>
#include <string_view>

namespace kelvra::tools {

// Header (magic, mode "A", missing_char, length) followed by the compressed bytes.
std::string SzddCompress(std::string_view data, char missing_char);

// The packed file's name for original: its last character replaced by '_'.
std::string SzddPackedName(std::string_view original);

}  // namespace kelvra::tools
