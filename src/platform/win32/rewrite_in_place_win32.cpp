#include "platform/win32/rewrite_in_place_win32.h"

#include <algorithm>
#include <cstdint>
#include <cwchar>

#include "platform/win32/wide.h"

namespace kelvra::platform::win32 {
namespace {

// The kept copy of a rewrite of path: a file of the temporary folder named after a hash of
// the path (names compared without case, as the file system does); "" without a
// temporary folder. It holds the path's UTF-8 name, a line break and the new content.
std::wstring KeptCopyOf(const std::wstring& path) {
    wchar_t folder[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, folder);
    if (n == 0 || n > MAX_PATH)
        return {};
    std::wstring upper = path;
    CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (wchar_t c : upper) {
        hash ^= static_cast<std::uint16_t>(c);
        hash *= 1099511628211ull;
    }
    wchar_t name[40];
    std::swprintf(name, 40, L"kelvra-rewrite-%016llx.dat", static_cast<unsigned long long>(hash));
    return std::wstring(folder, n) + name;
}

std::string KeptHeader(const std::wstring& path) {
    return Narrow(path) + "\n";
}

// Opens path for writing, shared with readers only, so no second rewrite writes at the
// same time. A reader finishing an interrupted rewrite holds it for a moment: retried.
HANDLE OpenForRewrite(const std::wstring& path, bool wait) {
    for (int attempt = 0;; ++attempt) {
        HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE || !wait || attempt == 50 ||
            GetLastError() != ERROR_SHARING_VIOLATION)
            return h;
        Sleep(20);
    }
}

// Writes content over the open file from its start and ends the file there.
bool WriteOver(HANDLE h, std::string_view content) {
    return SetFilePointer(h, 0, nullptr, FILE_BEGIN) == 0 && WriteAll(h, content) &&
           SetEndOfFile(h) && FlushFileBuffers(h);
}

}  // namespace

bool WriteAll(HANDLE h, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 20));
        DWORD written = 0;
        if (!WriteFile(h, bytes.data() + done, chunk, &written, nullptr))
            return false;
        done += written;
    }
    return true;
}

bool RewriteInPlace(const std::wstring& path, std::string_view bytes) {
    const std::wstring kept = KeptCopyOf(path);
    if (kept.empty())
        return false;
    // The copy takes its name only once it is whole and on disk: a copy under that name is
    // always complete. A part left by a killed writer is overwritten by the next one.
    const std::wstring part = kept + L".part";
    HANDLE copy = CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_TEMPORARY, nullptr);
    if (copy == INVALID_HANDLE_VALUE)
        return false;
    const bool whole =
        WriteAll(copy, KeptHeader(path)) && WriteAll(copy, bytes) && FlushFileBuffers(copy);
    CloseHandle(copy);
    if (!whole || !MoveFileExW(part.c_str(), kept.c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(part.c_str());
        return false;
    }
    HANDLE h = OpenForRewrite(path, true);
    if (h == INVALID_HANDLE_VALUE) {
        DeleteFileW(kept.c_str());
        return false;
    }
    const bool written = WriteOver(h, bytes);
    // Removed while the file is still held, so a reader never finishes this rewrite again
    // after a later one has started.
    if (written)
        DeleteFileW(kept.c_str());
    CloseHandle(h);
    return written;
}

void FinishInterruptedRewrite(const std::wstring& path) {
    const std::wstring kept = KeptCopyOf(path);
    if (kept.empty() || GetFileAttributesW(kept.c_str()) == INVALID_FILE_ATTRIBUTES)
        return;
    HANDLE h = OpenForRewrite(path, false);
    if (h == INVALID_HANDLE_VALUE)
        return;  // a rewrite running now holds the file and finishes it itself
    HANDLE copy = CreateFileW(kept.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    std::string content;
    bool read = copy != INVALID_HANDLE_VALUE;
    for (char buffer[65536]; read;) {
        DWORD n = 0;
        read = ReadFile(copy, buffer, sizeof buffer, &n, nullptr) != FALSE;
        if (n == 0)
            break;
        content.append(buffer, n);
    }
    if (copy != INVALID_HANDLE_VALUE)
        CloseHandle(copy);
    const std::string header = KeptHeader(path);
    // A copy of another file with the same hash is left alone.
    if (read && content.compare(0, header.size(), header) == 0 &&
        WriteOver(h, std::string_view(content).substr(header.size())))
        DeleteFileW(kept.c_str());
    CloseHandle(h);
}

}  // namespace kelvra::platform::win32
