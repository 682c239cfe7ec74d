// Windows: whole files and their stamps. The stamp comes from one attribute query by name,
// which needs no handle: under Wine opening, querying and closing a handle each cost a round
// trip to the server, and the stamp is looked at on every read of the control file.
#include <windows.h>

#include "platform/win32/wide.h"
#include "update/stored_file.h"

namespace kelvra::update {
namespace {

std::uint64_t Join(DWORD high, DWORD low) {
    return (static_cast<std::uint64_t>(high) << 32) | low;
}

std::uint64_t Ticks(const FILETIME& t) {
    return Join(t.dwHighDateTime, t.dwLowDateTime);
}

FileStamp StampOf(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    FileStamp s;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return s;
    s.exists = true;
    s.size = Join(data.nFileSizeHigh, data.nFileSizeLow);
    s.modified = static_cast<std::int64_t>(Ticks(data.ftLastWriteTime));
    s.origin = {Ticks(data.ftCreationTime), 0};
    return s;
}

}  // namespace

FileStamp StampOfFile(const std::string& path) {
    return StampOf(platform::win32::Widen(path));
}

bool ReadStampedFile(const std::string& path, std::string& bytes, FileStamp& stamp) {
    // Stamped before it is opened: a file changed in between is read as it is now under the
    // older stamp, so the next look at the stamp reads it again (never the other way round).
    const std::wstring wide = platform::win32::Widen(path);
    stamp = StampOf(wide);
    if (!stamp.exists)
        return false;
    // Shared for writing and deleting, so that the writer of the file is never in the way.
    const HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    // One byte more than stamped, so that a file of the stamped size is read in one call; a
    // read that does not fill what was asked has reached the end.
    bytes.resize(static_cast<std::size_t>(stamp.size) + 1);
    std::size_t have = 0;
    bool ok = true;
    for (;;) {
        if (have == bytes.size())
            bytes.resize(bytes.size() * 2);
        const DWORD want = static_cast<DWORD>(bytes.size() - have);
        DWORD n = 0;
        if (!ReadFile(file, bytes.data() + have, want, &n, nullptr)) {
            ok = false;
            break;
        }
        have += n;
        if (n < want)
            break;
    }
    bytes.resize(have);
    CloseHandle(file);
    return ok;
}

}  // namespace kelvra::update
