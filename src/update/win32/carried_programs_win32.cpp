// The carried programs as RCDATA resources of the running executable.
#include <windows.h>

#include "platform/error.h"
#include "platform/win32/wide.h"
#include "update/carried_programs.h"

namespace kelvra::update {

std::string CarriedProgram(const std::string& resource) {
    std::wstring name = platform::win32::Widen(resource);
    HRSRC info = FindResourceW(nullptr, name.c_str(), MAKEINTRESOURCEW(10));  // RT_RCDATA
    HGLOBAL data = info ? LoadResource(nullptr, info) : nullptr;
    const void* bytes = data ? LockResource(data) : nullptr;
    if (bytes == nullptr)
        throw OsError("Resource " + resource + " not found", GetLastError());
    return std::string(static_cast<const char*>(bytes), SizeofResource(nullptr, info));
}

void MakeExecutable(const std::string&) {}

}  // namespace kelvra::update
