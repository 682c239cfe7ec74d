// The setup program built by this tree, run silently: per-user install, upgrade in place,
// refusal while the client runs, uninstall; an all-users install that a script client of
// the automation class can use.
#include <shlobj.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "platform/win32/wide.h"
#include "setup_support.h"
#include "test_support.h"

namespace kelvra::test {
namespace {

using namespace std::chrono_literals;
using platform::win32::Narrow;
using platform::win32::Widen;

const std::wstring kProduct = L"Kelvra教学云客户端";
const std::wstring kUserClasses = L"Software\\Classes\\";

std::vector<std::string> Shortcuts(REFKNOWNFOLDERID desktop, REFKNOWNFOLDERID programs) {
    const std::string name = Narrow(kProduct) + ".lnk";
    return {KnownFolder(desktop) + "\\" + name, KnownFolder(programs) + "\\" + name};
}

bool KeyExists(HKEY root, const std::wstring& key) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
        return false;
    RegCloseKey(h);
    return true;
}

// Wine links the user's Desktop to the Unix home folder and mirrors new shortcuts into the
// Unix menus: the tests point the Desktop into the prefix and keep Wine's menu builder off,
// so the shortcuts land nowhere but in the prefix.
void KeepDesktopInPrefix() {
    const std::wstring desktop = Widen(KnownFolder(FOLDERID_Profile)) + L"\\TestDesktop";
    CreateDirectoryW(desktop.c_str(), nullptr);
    RegSetKeyValueW(HKEY_CURRENT_USER,
                    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                    L"Desktop", REG_EXPAND_SZ, desktop.c_str(),
                    static_cast<DWORD>((desktop.size() + 1) * sizeof(wchar_t)));
    RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Wine\\DllOverrides", L"winemenubuilder.exe",
                    REG_SZ, L"", sizeof(wchar_t));
}

std::string SetupProgram() {
    return TestProgram(KELVRA_SETUP_NAME);
}

// Ends a client that an automation request started: it leaves once the script's object is
// released; one still showing its login window is ended by its process id.
void EndStartedClient() {
    if (WaitUntil([] { return !ClientRunning(); }, 30s))
        return;
    DWORD pid = 0;
    if (HWND login = FindWindowW(L"TFrmLogin", nullptr))
        GetWindowThreadProcessId(login, &pid);
    if (HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid)) {
        TerminateProcess(process, 1);
        WaitForSingleObject(process, 30000);
        CloseHandle(process);
    }
}

// Uninstalls silently the way Apps & features does (the uninstaller runs from a temporary
// copy, so its end shows as the folder going away).
void Uninstall(const std::string& folder, const std::vector<std::string>& args) {
    ASSERT_EQ(RunToEnd(folder + "\\uninstall.exe", args), 0);
    EXPECT_TRUE(WaitUntil([&] { return !PathExists(folder); }, kRunDeadline)) << folder;
}

// An installation that a failed earlier run left in the prefix goes first.
void RemoveLeftOver(const std::string& folder, const std::vector<std::string>& args) {
    if (PathExists(folder + "\\uninstall.exe"))
        Uninstall(folder, args);
    ASSERT_FALSE(PathExists(folder)) << "cannot remove " << folder;
}

int UninstallEntries(HKEY root) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(root, kUninstallRoot.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
        return 0;
    int count = 0;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        if (RegEnumKeyExW(h, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        count += Text(h, name, L"DisplayName") == kProduct;
    }
    RegCloseKey(h);
    return count;
}

TEST(Installer, PerUserInstallUpgradesInPlaceRefusesWhileTheClientRunsAndUninstalls) {
    KeepDesktopInPrefix();
    const std::string folder = UserFolder();
    const std::string exe = folder + "\\kelvraedu.exe";
    ASSERT_NO_FATAL_FAILURE(RemoveLeftOver(folder, {"/S"}));
    ASSERT_EQ(RunToEnd(SetupProgram(), {"/S"}), 0);

    EXPECT_TRUE(PathExists(exe));
    EXPECT_TRUE(PathExists(folder + "\\uninstall.exe"));
    // The updater comes with the client when the build has it; uninstalling removes it.
    EXPECT_EQ(PathExists(folder + "\\updater.exe"), KELVRA_SETUP_HAS_UPDATER != 0);
    for (const auto& link : Shortcuts(FOLDERID_Desktop, FOLDERID_Programs))
        EXPECT_TRUE(PathExists(link)) << link;
    EXPECT_EQ(Text(HKEY_CURRENT_USER, kUninstallKey, L"DisplayName"), kProduct);
    EXPECT_EQ(Text(HKEY_CURRENT_USER, kUninstallKey, L"DisplayVersion"),
              Widen(KELVRA_VERSION_TEXT));
    EXPECT_EQ(Text(HKEY_CURRENT_USER, kUninstallKey, L"Publisher"), L"Kelvra");
    EXPECT_EQ(Text(HKEY_CURRENT_USER, kUninstallKey, L"InstallLocation"), Widen(folder));
    EXPECT_EQ(Text(HKEY_CURRENT_USER, kUninstallKey, L"DisplayIcon"), Widen(exe + ",0"));
    const std::wstring uninstall = L"\"" + Widen(folder) + L"\\uninstall.exe\"";
    EXPECT_EQ(Text(HKEY_CURRENT_USER, kUninstallKey, L"UninstallString"), uninstall);
    EXPECT_EQ(Text(HKEY_CURRENT_USER, kUninstallKey, L"QuietUninstallString"), uninstall + L" /S");
    DWORD size = 0, bytes = sizeof size;
    EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, kUninstallKey.c_str(), L"EstimatedSize",
                           RRF_RT_REG_DWORD, nullptr, &size, &bytes),
              ERROR_SUCCESS);
    EXPECT_GT(size, 100u);  // KB: the client alone is larger
    // The client registered itself in the user's classes through its own switch.
    EXPECT_EQ(Text(HKEY_CURRENT_USER, kUserClasses + kClassKey + L"\\LocalServer32", nullptr),
              ServerName(exe));
    EXPECT_EQ(Text(HKEY_CURRENT_USER, kUserClasses + kProgIdKey + L"\\Clsid", nullptr),
              L"{B5BDEB81-41E0-485B-B52F-78E07C10CED1}");

    // Installing again upgrades in place: still one entry.
    ASSERT_EQ(RunToEnd(SetupProgram(), {"/S"}), 0);
    EXPECT_EQ(UninstallEntries(HKEY_CURRENT_USER), 1);

    // While the client runs, neither the setup program nor the uninstaller changes a thing.
    {
        TempDir appdata;
        const std::string before = ReadBytes(exe);
        ChildProcess client(
            exe, {},
            {"APPDATA=" + appdata.path(), "KELVRA_DIALOG_SCRIPT=" + appdata.File("dialogs.txt"),
             "KELVRA_DEMO_UPDATE_HOST=127.0.0.1:1"});
        HWND login = nullptr;
        ASSERT_TRUE(WaitUntil(
            [&] { return (login = FindWindowW(L"TFrmLogin", nullptr)) != nullptr; }, 60s));
        ASSERT_TRUE(ClientRunning());
        EXPECT_NE(RunToEnd(SetupProgram(), {"/S"}), 0);
        EXPECT_NE(RunToEnd(folder + "\\uninstall.exe", {"/S", "_?=" + folder}), 0);
        EXPECT_EQ(ReadBytes(exe), before);
        EXPECT_TRUE(PathExists(folder + "\\uninstall.exe"));
        // Closed, not killed: a killed client leaves its class object registered with Wine's
        // COM service, which then fails every later activation.
        PostMessageW(login, WM_CLOSE, 0, 0);
        EXPECT_TRUE(client.Wait(30s).has_value());
    }

    // The uninstaller keeps the user's settings.
    const std::string settings_dir = KnownFolder(FOLDERID_RoamingAppData) + "\\kelvraeduConfig";
    const std::string settings = settings_dir + "\\sysparams.ini";
    const bool had_settings = PathExists(settings);
    if (!had_settings) {
        CreateDirectoryW(Widen(settings_dir).c_str(), nullptr);
        WriteBytes(settings, "[SYSTEM]\r\nwebroot=127.0.0.1:9\r\n");
    }
    Uninstall(folder, {"/S"});
    for (const auto& link : Shortcuts(FOLDERID_Desktop, FOLDERID_Programs))
        EXPECT_FALSE(PathExists(link)) << link;
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUninstallKey));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUserClasses + kClassKey));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUserClasses + kProgIdKey));
    EXPECT_TRUE(PathExists(settings));
    if (!had_settings) {
        DeleteFileW(Widen(settings).c_str());
        RemoveDirectoryW(Widen(settings_dir).c_str());
    }
}

TEST(Installer, AllUsersInstallServesAScriptClientAndUninstalls) {
    KeepDesktopInPrefix();
    const std::string folder = MachineFolder();
    ASSERT_NO_FATAL_FAILURE(RemoveLeftOver(folder, {"/ALLUSERS", "/S"}));
    ASSERT_EQ(RunToEnd(SetupProgram(), {"/ALLUSERS", "/S"}), 0);
    EXPECT_TRUE(PathExists(folder + "\\kelvraedu.exe"));
    for (const auto& link : Shortcuts(FOLDERID_PublicDesktop, FOLDERID_CommonPrograms))
        EXPECT_TRUE(PathExists(link)) << link;
    EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayVersion"),
              Widen(KELVRA_VERSION_TEXT));
    EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, kUninstallKey, L"QuietUninstallString"),
              L"\"" + Widen(folder) + L"\\uninstall.exe\" /ALLUSERS /S");

    // A script client creates the object through the machine-wide class.
    TempDir scratch;
    const std::string script = scratch.File("app.vbs");
    const std::string answer = scratch.File("answer.txt");
    WriteBytes(script,
               "Set app = CreateObject(\"KelvraeduApp.TKelvraAppToIe\")\r\n"
               "Set out = CreateObject(\"Scripting.FileSystemObject\")"
               ".CreateTextFile(WScript.Arguments.Item(0), True)\r\n"
               "out.Write app.GetKelvraApp\r\n"
               "out.Close\r\n");
    EXPECT_EQ(RunToEnd("cscript.exe", {"//nologo", script, answer}), 0);
    EXPECT_EQ(PathExists(answer) ? ReadBytes(answer) : "<no answer>", "kelvraeduapp");
    EndStartedClient();

    Uninstall(folder, {"/ALLUSERS", "/S"});
    for (const auto& link : Shortcuts(FOLDERID_PublicDesktop, FOLDERID_CommonPrograms))
        EXPECT_FALSE(PathExists(link)) << link;
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kClassKey));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kProgIdKey));
}

}  // namespace
}  // namespace kelvra::test
