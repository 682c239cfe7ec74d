// What the tests of the setup program share: known folders, registry text, the client's
// server name and mutex, and running the setup program or an uninstaller to its end.
#pragma once

#include <shlobj.h>
#include <windows.h>

#include <string>
#include <vector>

namespace kelvra::test {

std::string KnownFolder(REFKNOWNFOLDERID id);

// A REG_SZ value; "<missing>" when it cannot be read.
std::wstring Text(HKEY root, const std::wstring& key, const wchar_t* value);

// The server file name the client registers: its short form when the path has a space.
std::wstring ServerName(const std::string& exe);

// Runs the setup program or an uninstaller to its end (Wine's menu builder off) and answers
// its exit code; -1 when it did not end within two minutes.
int RunToEnd(const std::string& program, const std::vector<std::string>& args);

// Whether a client holds its single-instance mutex.
bool ClientRunning();

}  // namespace kelvra::test
