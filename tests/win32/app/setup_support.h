// What the tests of the setup program share: the install's folders and registry names, known
// folders, registry text, the client's server name and mutex, and running the setup program
// or an uninstaller to its end.
#pragma once

#include <shlobj.h>
#include <windows.h>

#include <chrono>
#include <string>
#include <vector>

namespace kelvra::test {

// How long the setup program, an uninstaller or a client run may take.
inline constexpr std::chrono::seconds kRunDeadline{120};
inline const std::wstring kUninstallRoot =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
inline const std::wstring kUninstallKey = kUninstallRoot + L"\\KelvraEdu";
inline const std::wstring kClsid = L"{B5BDEB81-41E0-485B-B52F-78E07C10CED1}";
inline const std::wstring kClassKey = L"CLSID\\" + kClsid;
inline const std::wstring kProgIdKey = L"KelvraeduApp.TKelvraAppToIe";

std::string KnownFolder(REFKNOWNFOLDERID id);

// Where the setup program installs per user and for all users.
std::string UserFolder();
std::string MachineFolder();

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
