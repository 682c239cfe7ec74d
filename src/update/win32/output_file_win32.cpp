// Windows: output files on file handles, created with CREATE_NEW.
#include <windows.h>

#include <algorithm>

#include "platform/win32/wide.h"
#include "update/local_files.h"

namespace kelvra::update {

OutputFile::Created OutputFile::CreateNew(const std::string& path, Handle& handle) {
    const HANDLE h = ::CreateFileW(platform::win32::Widen(path).c_str(), GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        handle = reinterpret_cast<Handle>(h);
        return Created::kOpened;
    }
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? Created::kNameTaken
                                                                       : Created::kFailed;
}

bool OutputFile::WriteAll(Handle handle, const char* data, std::size_t size) {
    const HANDLE h = reinterpret_cast<HANDLE>(handle);
    while (size > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(h, data, chunk, &written, nullptr) || written == 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}

void OutputFile::BeginWriteback(Handle, std::int64_t, std::int64_t) {
    // Windows has no call that starts writing a file back without waiting for it; the
    // flush before the file is put in place does the work.
}

bool OutputFile::CloseFile(Handle handle) {
    return ::CloseHandle(reinterpret_cast<HANDLE>(handle)) != FALSE;
}

}  // namespace kelvra::update
