// Registering and unregistering the automation class and its type library, machine-wide
// (HKEY_CLASSES_ROOT) or for the current user (HKEY_CURRENT_USER\Software\Classes).
#pragma once

#include <string>

namespace kelvra::bridge::win32 {

// The LocalServer32 data: the path itself, or its short (8.3) form when it has a blank;
// a path with a blank that has no blank-free short form is written in double quotes.
std::wstring LocalServerPath(const std::wstring& long_path);

// Type library, then the seven entries in order. Throws Error with the failure's text
// ("Error creating system registry entry", or the system's text for the type library's
// result code); entries already written stay.
void RegisterServer(bool per_user);
// Type library, then the single-key deletions; their failures are ignored. Throws Error
// only when the type library's attributes cannot be read.
void UnregisterServer(bool per_user);

}  // namespace kelvra::bridge::win32
