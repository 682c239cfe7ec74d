// Platform-independent checks on cabinets: stored names and the size limits.
#include <string>

#include "update/cab_extract.h"

namespace kelvra::update {

bool IsSafeCabinetName(const std::string& name) {
    if (name.empty() || name[0] == '\\' || name[0] == '/')
        return false;
    if (name.find(':') != std::string::npos)
        return false;  // drive letters, streams
    // Some part must name a file or folder: a name made only of "." and empty parts is
    // the target folder itself.
    bool names_something = false;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find_first_of("\\/", start);
        if (end == std::string::npos)
            end = name.size();
        if (name.compare(start, end - start, "..") == 0)
            return false;
        if (end > start && name.compare(start, end - start, ".") != 0)
            names_something = true;
        start = end + 1;
    }
    return names_something;
}

bool CabinetTally::Add(std::uint64_t size) {
    ++entries_;
    bytes_ += size;
    return entries_ <= limits_.entries && bytes_ <= limits_.bytes;
}

}  // namespace kelvra::update
