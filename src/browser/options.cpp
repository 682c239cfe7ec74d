#include "browser/options.h"

#include <array>

namespace kelvra::browser {
namespace {

constexpr std::array<std::uint32_t, kUserInterfaceOptionCount> kHostFlags{
    0x1,       0x2,       0x4,       0x8,        0x10,       0x20,     0x40,     0x80,
    0x100,     0x200,     0x400,     0x800,      0x1000,     0x2000,   0x4000,
    0x10000,  // 0x8000 belongs to no member
    0x20000,   0x40000,   0x80000,   0x100000,   0x200000,   0x400000, 0x800000, 0x1000000,
    0x2000000, 0x4000000, 0x8000000, 0x10000000, 0x20000000,
};

constexpr std::array<std::uint32_t, kDownloadControlOptionCount> kDownloadFlags{
    0x10,    0x20,       0x40,       0x80,       0x100,      0x200,   0x400,
    0x800,   0x1000,     0x2000,     0x4000,     0x8000,     0x10000, 0x20000,
    0x40000, 0x10000000, 0x20000000, 0x40000000, 0x80000000,
};

}  // namespace

std::uint32_t HostFlagOf(TUserInterfaceOption member) {
    return kHostFlags.at(static_cast<std::size_t>(member));
}

std::uint32_t DownloadFlagOf(TDownloadControlOption member) {
    return kDownloadFlags.at(static_cast<std::size_t>(member));
}

std::uint32_t ComputeUserInterfaceValue(const UserInterfaceOptions& options) {
    std::uint32_t value = 0;
    for (int i = 0; i < kUserInterfaceOptionCount; ++i) {
        const auto member = static_cast<TUserInterfaceOption>(i);
        if (options.Has(member))
            value += HostFlagOf(member);
    }
    return value;
}

std::uint32_t ComputeDownloadOptionValue(const DownloadOptions& options) {
    std::uint32_t value = 0;
    for (int i = 0; i < kDownloadControlOptionCount; ++i) {
        const auto member = static_cast<TDownloadControlOption>(i);
        if (options.Has(member))
            value += DownloadFlagOf(member);
    }
    return value;
}

UserInterfaceOptions DefaultUserInterfaceOptions() {
    return {TUserInterfaceOption::EnablesFormsAutoComplete, TUserInterfaceOption::EnableThemes};
}

DownloadOptions DefaultDownloadOptions() {
    return {TDownloadControlOption::DownloadImages, TDownloadControlOption::DownloadVideos,
            TDownloadControlOption::DownloadBGSounds};
}

}  // namespace kelvra::browser
