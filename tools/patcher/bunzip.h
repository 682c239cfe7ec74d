// A bzip2 stream decoder (Huffman, move-to-front, inverse Burrows-Wheeler, run lengths),
// with the block and stream checksums verified. The patch program uses it for the three
// compressed blocks of a "BSDIFF40" patch.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace kelvra::tools {

class CorruptData : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Decodes one bzip2 stream ("BZh1".."BZh9" to its end marker). Throws CorruptData.
std::string Bunzip(std::string_view stream);

}  // namespace kelvra::tools
