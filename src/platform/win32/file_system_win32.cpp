#include <windows.h>

#include <aclapi.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/win32/rewrite_in_place_win32.h"
#include "platform/win32/wide.h"

namespace kelvra::platform {
namespace {

using win32::RewriteInPlace;
using win32::ThrowWin32;
using win32::Widen;
using win32::WriteAll;

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

// The file a symbolic link (or a chain of them) ends at, so a save replaces the file and
// keeps the link; path itself when it is no link or does not exist yet.
std::wstring LinkTarget(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return path;
    std::wstring final_path(MAX_PATH + 1, L'\0');
    DWORD n = GetFinalPathNameByHandleW(h, final_path.data(), static_cast<DWORD>(final_path.size()),
                                        VOLUME_NAME_DOS);
    if (n >= final_path.size()) {  // too small: n is the size needed, terminator included
        final_path.resize(n);
        n = GetFinalPathNameByHandleW(h, final_path.data(), n, VOLUME_NAME_DOS);
    }
    CloseHandle(h);
    if (n == 0 || n >= final_path.size())
        return path;
    final_path.resize(n);
    // "\\?\C:\..." and "\\?\UNC\server\..." back to their usual forms.
    if (final_path.compare(0, 8, L"\\\\?\\UNC\\") == 0)
        return L"\\" + final_path.substr(7);
    if (final_path.compare(0, 4, L"\\\\?\\") == 0)
        return final_path.substr(4);
    return final_path;
}

// The full path of a file name: a rename through a handle takes a fully qualified name.
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

// The temporary file of a replacement: path + "." + process id + "." + tick count + ".tmp".
// Its writer holds it open without sharing delete or write access from creation until it
// has been renamed over path: while that handle is open nobody else can delete it, and when
// the writer dies (a killed save) the system closes the handle, so the next save can.
bool IsTemporaryOf(const std::wstring& entry, const std::wstring& base) {
    if (entry.size() <= base.size() + 1 || entry.compare(0, base.size(), base) != 0 ||
        entry[base.size()] != L'.')
        return false;
    const std::wstring rest = entry.substr(base.size() + 1);
    const std::size_t dot = rest.find(L'.');
    if (dot == 0 || dot == std::wstring::npos || rest.size() - dot - 1 <= 4 ||
        rest.compare(rest.size() - 4, 4, L".tmp") != 0)
        return false;
    const std::wstring pid = rest.substr(0, dot);
    const std::wstring tick = rest.substr(dot + 1, rest.size() - dot - 5);
    const auto digits = [](const std::wstring& text) {
        return !text.empty() && std::all_of(text.begin(), text.end(),
                                            [](wchar_t c) { return c >= L'0' && c <= L'9'; });
    };
    return digits(pid) && digits(tick);
}

// Removes the temporary files of killed saves beside path. One still held by a running save
// refuses the delete access (sharing violation) and stays.
void RemoveAbandonedTemporaries(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    const std::wstring dir = slash == std::wstring::npos ? L"" : path.substr(0, slash + 1);
    const std::wstring base = slash == std::wstring::npos ? path : path.substr(slash + 1);
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((path + L".*.tmp").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
            !IsTemporaryOf(found.cFileName, base))
            continue;
        HANDLE h = CreateFileW((dir + found.cFileName).c_str(), DELETE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING,
                               FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

// The entries of dacl that were set on the file itself, not inherited from its folder; null
// when there are none. Free the result with LocalFree.
PACL ExplicitEntries(PACL dacl) {
    ACL_SIZE_INFORMATION size{};
    if (!GetAclInformation(dacl, &size, sizeof size, AclSizeInformation))
        return nullptr;
    auto* out = static_cast<PACL>(LocalAlloc(LPTR, size.AclBytesInUse));
    if (out == nullptr || !InitializeAcl(out, size.AclBytesInUse, ACL_REVISION_DS)) {
        LocalFree(out);
        return nullptr;
    }
    bool any = false;
    for (DWORD i = 0; i < size.AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(dacl, i, &ace))
            continue;
        const auto* header = static_cast<ACE_HEADER*>(ace);
        if (header->AceFlags & INHERITED_ACE)
            continue;
        if (AddAce(out, ACL_REVISION_DS, MAXDWORD, ace, header->AceSize))
            any = true;
    }
    if (!any) {
        LocalFree(out);
        return nullptr;
    }
    return out;
}

// Gives the temporary file the old file's own access list: a protected list whole, and of
// an ordinary one the entries set on the file itself (the inherited ones the new file gets
// from the folder anyway). As with a replacement's merge errors, a list that cannot be
// carried over leaves the folder's.
void CarrySecurity(const std::wstring& old_file, HANDLE temp) {
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (GetNamedSecurityInfoW(old_file.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, &dacl, nullptr, &sd) != ERROR_SUCCESS)
        return;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (dacl && GetSecurityDescriptorControl(sd, &control, &revision)) {
        if (control & SE_DACL_PROTECTED) {
            SetSecurityInfo(temp, SE_FILE_OBJECT,
                            DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                            nullptr, nullptr, dacl, nullptr);
        } else if (PACL own = ExplicitEntries(dacl)) {
            SetSecurityInfo(temp, SE_FILE_OBJECT,
                            DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION,
                            nullptr, nullptr, own, nullptr);
            LocalFree(own);
        }
    }
    LocalFree(sd);
}

// Whether target may be replaced at all: its folder or its own access list grants the
// delete access a replacement needs. A refusal of that is permanent, unlike a reader's
// open handle, which makes an attempt fail only for a moment.
bool MayReplace(const std::wstring& target) {
    HANDLE h =
        CreateFileW(target.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        CloseHandle(h);
        return true;
    }
    return GetLastError() != ERROR_ACCESS_DENIED;
}

// Renames the open file over target through its own handle, so the writer's hold on it
// lasts until the rename is done. A reader that has target open makes the rename fail for
// a moment (access denied or sharing violation): it is retried for up to a second, unless
// target refuses replacement for good.
DWORD RenameHeldOver(HANDLE h, const std::wstring& target) {
    const std::size_t name_bytes = target.size() * sizeof(wchar_t);
    std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + name_bytes);
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = TRUE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(name_bytes);
    std::memcpy(info->FileName, target.data(), name_bytes);
    DWORD err = ERROR_SUCCESS;
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (SetFileInformationByHandle(h, FileRenameInfo, info, static_cast<DWORD>(buffer.size())))
            return ERROR_SUCCESS;
        err = GetLastError();
        if (err != ERROR_ACCESS_DENIED && err != ERROR_SHARING_VIOLATION)
            return err;
        if (attempt == 0 && err == ERROR_ACCESS_DENIED && !MayReplace(target))
            return err;
        Sleep(20);
    }
    return err;
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
        // A rewrite in place that was cut short is finished first, so the content read is
        // whole.
        win32::FinishInterruptedRewrite(LinkTarget(FullPath(Widen(p))));
        // Delete access shared too: a save that has just renamed its new file over this one
        // still holds it open with delete access for a moment.
        HANDLE h = CreateFileW(Widen(p).c_str(), GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
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
        const std::wstring target = LinkTarget(FullPath(Widen(p)));
        const DWORD old_attributes = GetFileAttributesW(target.c_str());
        const bool exists = old_attributes != INVALID_FILE_ATTRIBUTES &&
                            !(old_attributes & FILE_ATTRIBUTE_DIRECTORY);
        // Finished first, or its kept copy would later be written over this save's content.
        if (exists)
            win32::FinishInterruptedRewrite(target);
        std::wstring temp;
        HANDLE h = INVALID_HANDLE_VALUE;
        // A unique name in the same folder, so the final move is a rename on one volume.
        for (unsigned attempt = 0; attempt < 100 && h == INVALID_HANDLE_VALUE; ++attempt) {
            temp = target + L"." + std::to_wstring(GetCurrentProcessId()) + L"." +
                   std::to_wstring(GetTickCount() + attempt) + L".tmp";
            h = CreateFileW(temp.c_str(), GENERIC_WRITE | DELETE | WRITE_DAC, FILE_SHARE_READ,
                            nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
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
        if (err == ERROR_SUCCESS && exists)
            CarrySecurity(target, h);
        if (err == ERROR_SUCCESS)
            err = RenameHeldOver(h, target);
        const bool renamed = err == ERROR_SUCCESS;
        if (!renamed) {
            // Deleted through the writer's own handle: nobody else can open it meanwhile.
            FILE_DISPOSITION_INFO dispose{TRUE};
            SetFileInformationByHandle(h, FileDispositionInfo, &dispose, sizeof dispose);
        }
        CloseHandle(h);
        // A file that stays refused (its folder lets nobody delete it) is rewritten in place.
        if (exists && err == ERROR_ACCESS_DENIED && RewriteInPlace(target, bytes))
            err = ERROR_SUCCESS;
        if (err != ERROR_SUCCESS)
            ThrowWin32("Cannot create file \"" + p + "\"", err);
        if (renamed && exists)
            KeepAttributes(target, old_attributes);
        RemoveAbandonedTemporaries(target);
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
