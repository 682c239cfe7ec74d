// Cabinet extraction and single-file (SZDD) expansion with the platform's own decompressors
// (Win32: cabinet.dll and LZ32; Linux: libmspack).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kelvra::update {

// The most one cabinet may hold. An update cabinet carries a few dozen files; one that
// declares more entries or more expanded bytes than this is refused before anything is
// extracted, so that a hostile cabinet cannot fill the disk.
struct CabinetLimits {
    std::size_t entries = 4096;
    std::uint64_t bytes = std::uint64_t{1} << 30;  // the entries' expanded sizes together
};

// Counts a cabinet's entries against limits.
class CabinetTally {
  public:
    explicit CabinetTally(const CabinetLimits& limits) : limits_(limits) {}
    // Counts one entry of size expanded bytes; false once the cabinet is past a limit.
    bool Add(std::uint64_t size);

  private:
    CabinetLimits limits_;
    std::size_t entries_ = 0;
    std::uint64_t bytes_ = 0;
};

// Extracts every file of cabinet below target (an empty target extracts against the current
// directory), creating the stored subdirectories and giving each file the stored date and
// time. 0 on success; -1 when the cabinet cannot be opened, is not a cabinet, is damaged, or
// holds a name that is absolute, climbs out of the target ("..", either separator) or names
// the target itself: such entries are skipped, the rest is extracted, and the result is -1.
// Files already written stay. A cabinet past limits gives -1 with nothing extracted.
int ExtractCab(const std::string& cabinet, const std::string& target,
               const CabinetLimits& limits = {});

// True when a stored cabinet name names something inside the extraction target: not
// absolute, no ".." part, and not the target itself ("." and empty parts only).
bool IsSafeCabinetName(const std::string& name);

// Expands an SZDD file in place: writes the expanded name (the final "_" replaced by the
// stored last character) beside it and deletes file. Returns the expanded file's path.
// Throws Error when file is not in that format or cannot be expanded; file then stays.
std::string ExpandLZFile(const std::string& file);

}  // namespace kelvra::update
