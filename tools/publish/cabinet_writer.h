// Writes a cabinet (MSZIP compression) with libgcab: the one library on Linux that writes
// the format that cabinet.dll and libmspack read, so the publisher needs no Windows tool.
#pragma once

#include <string>
#include <vector>

#include "build_tree.h"

namespace kelvra::publish {

// Writes path holding files under their names ("/" stored as "\"), each with its file time.
// Throws std::runtime_error with libgcab's message on failure.
void WriteCabinet(const std::string& path, const std::vector<ReleaseFile>& files);

}  // namespace kelvra::publish
