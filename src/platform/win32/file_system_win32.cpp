#include <windows.h>

#include <algorithm>
#include <string>

#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/win32/wide.h"

namespace kelvra::platform {
namespace {

using win32::ThrowWin32;
using win32::Widen;

// The attributes of what path names, links followed: a symbolic link or junction answers
// for its target, and one whose target is gone does not exist.
DWORD Attributes(std::string_view path) {
    const std::wstring wide = Widen(path);
    const DWORD own = GetFileAttributesW(wide.c_str());
    if (own == INVALID_FILE_ATTRIBUTES || !(own & FILE_ATTRIBUTE_REPARSE_POINT))
        return own;
    HANDLE h = CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return INVALID_FILE_ATTRIBUTES;
    BY_HANDLE_FILE_INFORMATION info;
    const BOOL ok = GetFileInformationByHandle(h, &info);
    CloseHandle(h);
    return ok ? info.dwFileAttributes : INVALID_FILE_ATTRIBUTES;
}

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

// Writes bytes over an existing file (truncating it); false when it cannot be opened or
// written.
bool RewriteInPlace(const std::wstring& path, std::string_view bytes) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, TRUNCATE_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    const bool ok = WriteAll(h, bytes) && FlushFileBuffers(h);
    CloseHandle(h);
    return ok;
}

// The full path of a file name; ReplaceFileW refuses a name without a folder under Wine.
std::wstring FullPath(const std::wstring& path) {
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return path;
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size)
        return path;
    full.resize(length);
    return full;
}

// Sets the hidden, system and not-indexed attributes of path back to those of old.
void KeepAttributes(const std::wstring& path, DWORD old) {
    constexpr DWORD kKept =
        FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    const DWORD now = GetFileAttributesW(path.c_str());
    if (now != INVALID_FILE_ATTRIBUTES && (now & kKept) != (old & kKept))
        SetFileAttributesW(path.c_str(), (now & ~kKept) | (old & kKept));
}

class Win32FileSystem final : public FileSystem {
  public:
    char Separator() const override { return '\\'; }

    bool FileExists(std::string_view path) const override {
        const DWORD a = Attributes(path);
        return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
    }
    bool DirectoryExists(std::string_view path) const override {
        const DWORD a = Attributes(path);
        return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
    }

    void MakeDirectory(std::string_view path) override {
        if (!CreateDirectoryW(Widen(path).c_str(), nullptr)) {
            ThrowWin32("Cannot create directory \"" + std::string(path) + "\"", GetLastError());
        }
    }

    std::string ReadFile(std::string_view path) const override {
        const std::string p(path);
        HANDLE h = CreateFileW(Widen(p).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            ThrowWin32("Cannot open file \"" + p + "\"", GetLastError());
        std::string out;
        char buf[65536];
        for (;;) {
            DWORD n = 0;
            if (!::ReadFile(h, buf, sizeof buf, &n, nullptr)) {
                const DWORD err = GetLastError();
                CloseHandle(h);
                ThrowWin32("Cannot read file \"" + p + "\"", err);
            }
            if (n == 0)
                break;
            out.append(buf, n);
        }
        CloseHandle(h);
        return out;
    }

    void ReplaceAtomically(std::string_view path, std::string_view bytes) override {
        const std::string p(path);
        const std::wstring target = Widen(p);
        const DWORD old_attributes = GetFileAttributesW(target.c_str());
        const bool exists = old_attributes != INVALID_FILE_ATTRIBUTES &&
                            !(old_attributes & FILE_ATTRIBUTE_DIRECTORY);
        std::wstring temp;
        HANDLE h = INVALID_HANDLE_VALUE;
        // A unique name in the same folder, so the final move is a rename on one volume.
        for (unsigned attempt = 0; attempt < 100 && h == INVALID_HANDLE_VALUE; ++attempt) {
            temp = target + L"." + std::to_wstring(GetCurrentProcessId()) + L"." +
                   std::to_wstring(GetTickCount() + attempt) + L".tmp";
            h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
            if (h == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS)
                break;
        }
        if (h == INVALID_HANDLE_VALUE) {
            const DWORD err = GetLastError();
            // A folder that takes no new file, holding a writable file: rewrite it in place.
            if (exists && err == ERROR_ACCESS_DENIED && RewriteInPlace(target, bytes))
                return;
            ThrowWin32("Cannot create file \"" + p + "\"", err);
        }
        DWORD err = ERROR_SUCCESS;
        if (!WriteAll(h, bytes) || !FlushFileBuffers(h))
            err = GetLastError();
        CloseHandle(h);
        bool temp_left = true;
        if (err == ERROR_SUCCESS && exists) {
            // ReplaceFileW keeps the old file's attributes and security; the visible ones
            // are set again where an implementation does not carry them over.
            if (ReplaceFileW(FullPath(target).c_str(), FullPath(temp).c_str(), nullptr,
                             REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
                temp_left = false;
                KeepAttributes(target, old_attributes);
            } else {
                err = GetLastError();
                if (err == ERROR_ACCESS_DENIED && RewriteInPlace(target, bytes))
                    err = ERROR_SUCCESS;
            }
        } else if (err == ERROR_SUCCESS) {
            if (MoveFileExW(temp.c_str(), target.c_str(),
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
                temp_left = false;
            else
                err = GetLastError();
        }
        if (temp_left)
            DeleteFileW(temp.c_str());
        if (err != ERROR_SUCCESS)
            ThrowWin32("Cannot create file \"" + p + "\"", err);
    }

    void AppendFile(std::string_view path, std::string_view bytes) override {
        const std::string p(path);
        HANDLE h =
            CreateFileW(Widen(p).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            ThrowWin32("Cannot open file \"" + p + "\"", GetLastError());
        const bool ok = WriteAll(h, bytes);
        const DWORD err = GetLastError();
        CloseHandle(h);
        if (!ok)
            ThrowWin32("Cannot write file \"" + p + "\"", err);
    }

    void RemoveFile(std::string_view path) override {
        if (!DeleteFileW(Widen(path).c_str())) {
            const DWORD err = GetLastError();
            if (err != ERROR_FILE_NOT_FOUND && err != ERROR_PATH_NOT_FOUND) {
                ThrowWin32("Cannot delete file \"" + std::string(path) + "\"", err);
            }
        }
    }

    std::string ExecutablePath() const override {
        std::wstring buf(MAX_PATH, L'\0');
        for (;;) {
            const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
            if (n == 0)
                return {};
            if (n < buf.size()) {
                buf.resize(n);
                return win32::Narrow(buf);
            }
            buf.resize(buf.size() * 2);
        }
    }
};

}  // namespace

FileSystem& SystemFileSystem() {
    static Win32FileSystem files;
    return files;
}

}  // namespace kelvra::platform
