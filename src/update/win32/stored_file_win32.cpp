// Windows: whole files and their stamps through CreateFileW/GetFileInformationByHandle.
#include <windows.h>

#include "platform/win32/wide.h"
#include "update/stored_file.h"

namespace kelvra::update {
namespace {

// Opened so that the writer of the file (the engine's own download) is never in the way.
HANDLE OpenShared(const std::string& path, DWORD access) {
    return CreateFileW(platform::win32::Widen(path).c_str(), access,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::uint64_t Join(DWORD high, DWORD low) {
    return (static_cast<std::uint64_t>(high) << 32) | low;
}

FileStamp StampOf(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info{};
    FileStamp s;
    if (!GetFileInformationByHandle(file, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return s;
    s.exists = true;
    s.size = Join(info.nFileSizeHigh, info.nFileSizeLow);
    s.modified = static_cast<std::int64_t>(
        Join(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime));
    s.device = info.dwVolumeSerialNumber;
    s.id = Join(info.nFileIndexHigh, info.nFileIndexLow);
    return s;
}

}  // namespace

FileStamp StampOfFile(const std::string& path) {
    // No access asked: the handle serves for the query only.
    const HANDLE file = OpenShared(path, 0);
    if (file == INVALID_HANDLE_VALUE)
        return {};
    const FileStamp stamp = StampOf(file);
    CloseHandle(file);
    return stamp;
}

bool ReadStampedFile(const std::string& path, std::string& bytes, FileStamp& stamp) {
    const HANDLE file = OpenShared(path, GENERIC_READ);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    stamp = StampOf(file);
    bool ok = stamp.exists;
    if (ok) {
        // One byte more than announced, so that a file of the stated size is read in one call;
        // a read that does not fill what was asked has reached the end.
        bytes.resize(static_cast<std::size_t>(stamp.size) + 1);
        std::size_t have = 0;
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
    }
    CloseHandle(file);
    return ok;
}

}  // namespace kelvra::update
