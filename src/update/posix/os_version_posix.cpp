// Linux: the kernel's major and minor version.
#include <sys/utsname.h>

#include <cstdio>

#include "update/environment_probes.h"

namespace kelvra::update {

std::string ProbeOSVersion() {
    utsname u{};
    unsigned major = 0, minor = 0;
    if (uname(&u) == 0)
        std::sscanf(u.release, "%u.%u", &major, &minor);
    return FormatOSVersion(major, minor, false);
}

}  // namespace kelvra::update
