// One version to the next, as a school receives it: the setup program of this build installs
// the client, the client finds the next version on the update server the script serves
// (KELVRA_RELEASE_HOST, KELVRA_RELEASE_VERSION), the teacher answers Yes, and the updater, the
// restart program and the restarted client take it from there. Per user and for all users.
#include <shlobj.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <iostream>
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

// Under QEMU's i386 emulation the whole update (two downloads, three programs) is slow.
constexpr auto kUpdateDeadline = 600s;
const std::string kUpdateQuestion = "发现软件新的版本，是否退出当前运行程序升级？";

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

void SetShellFolder(const wchar_t* name, const std::wstring& path) {
    RegSetKeyValueW(HKEY_CURRENT_USER,
                    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                    name, REG_EXPAND_SZ, path.c_str(),
                    static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
}

// Wine links the user's Desktop and Documents to the Unix home: both point into the prefix
// for the run, so the shortcuts and KUPDATE.LOG land nowhere else.
class FoldersInPrefix {
  public:
    FoldersInPrefix() {
        const std::wstring profile = Widen(KnownFolder(FOLDERID_Profile));
        old_documents_ = Widen(KnownFolder(FOLDERID_Documents));
        CreateDirectoryW((profile + L"\\TestDesktop").c_str(), nullptr);
        CreateDirectoryW((profile + L"\\TestDocuments").c_str(), nullptr);
        SetShellFolder(L"Desktop", profile + L"\\TestDesktop");
        SetShellFolder(L"Personal", profile + L"\\TestDocuments");
        RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Wine\\DllOverrides", L"winemenubuilder.exe",
                        REG_SZ, L"", sizeof(wchar_t));
        log_ = Narrow(profile) + "\\TestDocuments\\KUPDATE.LOG";
        DeleteFileW(Widen(log_).c_str());
    }
    ~FoldersInPrefix() { SetShellFolder(L"Personal", old_documents_); }
    const std::string& log() const { return log_; }

  private:
    std::wstring old_documents_;
    std::string log_;
};

std::string FileVersion(const std::string& path) {
    const std::wstring wide = Widen(path);
    DWORD handle = 0;
    std::vector<char> data(GetFileVersionInfoSizeW(wide.c_str(), &handle));
    VS_FIXEDFILEINFO* info = nullptr;
    UINT size = 0;
    if (data.empty() || !GetFileVersionInfoW(wide.c_str(), 0, data.size(), data.data()) ||
        !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &size))
        return "<no version>";
    return std::to_string(HIWORD(info->dwFileVersionMS)) + "." +
           std::to_string(LOWORD(info->dwFileVersionMS)) + "." +
           std::to_string(HIWORD(info->dwFileVersionLS)) + "." +
           std::to_string(LOWORD(info->dwFileVersionLS));
}

bool TokenElevated() {
    HANDLE token = nullptr;
    TOKEN_ELEVATION elevation{};
    DWORD size = sizeof elevation;
    const bool known = OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token) &&
                       GetTokenInformation(token, TokenElevation, &elevation, size, &size);
    if (token != nullptr)
        CloseHandle(token);
    return known && elevation.TokenIsElevated != 0;
}

// The process showing the client's login window; 0 when none does.
DWORD LoginProcess() {
    DWORD pid = 0;
    if (HWND login = FindWindowW(L"TFrmLogin", nullptr))
        GetWindowThreadProcessId(login, &pid);
    return pid;
}

// Closes the client the update restarted (closed, not killed: a killed client can leave its
// class object registered with Wine's COM service) and waits for its process to end.
bool CloseClient(DWORD pid) {
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid);
    if (process == nullptr)
        return false;
    PostMessageW(FindWindowW(L"TFrmLogin", nullptr), WM_CLOSE, 0, 0);
    bool ended = WaitForSingleObject(process, 60000) == WAIT_OBJECT_0;
    if (!ended) {
        TerminateProcess(process, 1);
        WaitForSingleObject(process, 30000);
    }
    CloseHandle(process);
    return ended;
}

// What a script client reads from the automation object ("error <number> <text>" when it
// cannot create it); the client COM started for it ends once the script let go of it.
std::string ScriptClientReads() {
    TempDir scratch;
    const std::string script = scratch.File("app.vbs");
    const std::string answer = scratch.File("answer.txt");
    WriteBytes(script,
               "On Error Resume Next\r\n"
               "Set out = CreateObject(\"Scripting.FileSystemObject\")"
               ".CreateTextFile(WScript.Arguments.Item(0), True)\r\n"
               "Set app = CreateObject(\"KelvraeduApp.TKelvraAppToIe\")\r\n"
               "If Err.Number = 0 Then text = app.GetKelvraApp\r\n"
               "If Err.Number <> 0 Then text = \"error \" & Hex(Err.Number) & \" \" & "
               "Err.Description\r\n"
               "Set app = Nothing\r\n"
               "out.Write text\r\n"
               "out.Close\r\n");
    // The client COM starts inherits this: no update host, its boxes answered from a script.
    ChildProcess cscript("cscript.exe", {"//nologo", script, answer},
                         {"KELVRA_DEMO_UPDATE_HOST=127.0.0.1:1",
                          "KELVRA_DIALOG_SCRIPT=" + scratch.File("dialogs.txt")});
    const int code = cscript.Wait(kRunDeadline).value_or(-1);
    std::string read =
        PathExists(answer) ? ReadBytes(answer) : "<no answer, exit " + std::to_string(code) + ">";
    if (!WaitUntil([] { return !ClientRunning(); }, 30s))
        CloseClient(LoginProcess());
    return read;
}

int Count(const std::string& text, const std::string& part) {
    int n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

struct Install {
    const char* name;
    std::vector<std::string> setup_args;
    std::string (*folder)();
    HKEY hive;  // of the uninstall entry and of the automation class's registration
};

class ReleaseUpdate : public testing::TestWithParam<Install> {};

TEST_P(ReleaseUpdate, InstalledClientUpdatesToTheServedVersionAndKeepsSettingsAndServer) {
    const Install& install = GetParam();
    const std::string host = Env("KELVRA_RELEASE_HOST");
    const std::string next = Env("KELVRA_RELEASE_VERSION");
    ASSERT_FALSE(host.empty() || next.empty()) << "run through tests/release/release_update.sh";
    FoldersInPrefix folders;
    const std::string folder = install.folder();
    const std::string exe = folder + "\\kelvraedu.exe";
    const std::vector<std::string>& uninstall_args = install.setup_args;
    if (PathExists(folder + "\\uninstall.exe")) {  // left over by a failed earlier run
        ASSERT_EQ(RunToEnd(folder + "\\uninstall.exe", uninstall_args), 0);
    }
    ASSERT_TRUE(WaitUntil([&] { return !PathExists(folder); }, kRunDeadline)) << folder;
    ASSERT_EQ(RunToEnd(TestProgram(KELVRA_SETUP_NAME), install.setup_args), 0);
    ASSERT_EQ(FileVersion(exe), KELVRA_VERSION_TEXT);
    ASSERT_TRUE(PathExists(folder + "\\updater.exe"));

    // Elevation cannot be exercised here: Wine keeps no file ACLs and the prefix belongs to
    // this Unix user, so every process can write Program Files and the updater never asks.
    // The run says so (with the token Wine gives) rather than pretend it was proven.
    const std::wstring probe = Widen(folder) + L"\\write-probe.tmp";
    HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    const bool writable = file != INVALID_HANDLE_VALUE;
    if (writable)
        CloseHandle(file);
    std::cout << "[ NOTE     ] " << install.name << ": " << folder
              << (writable ? " is writable" : " is not writable") << " by this "
              << (TokenElevated() ? "elevated" : "unelevated") << " process; the updater "
              << (writable ? "asks no elevation" : "asks for elevation") << std::endl;

    // The teacher's settings, where the client keeps them: the update leaves them untouched.
    const std::string settings_dir = KnownFolder(FOLDERID_RoamingAppData) + "\\kelvraeduConfig";
    const std::string settings = settings_dir + "\\sysparams.ini";
    const std::string old_settings = PathExists(settings) ? ReadBytes(settings) : "";
    CreateDirectoryW(Widen(settings_dir).c_str(), nullptr);
    const std::string kept =
        "; set by the school\r\n[SYSTEM]\r\nwebroot = 127.0.0.1:9\r\n\r\n[Other]\r\nkey=1\r\n";
    WriteBytes(settings, kept);

    TempDir scratch;
    const std::string dialogs = scratch.File("dialogs.txt");
    WriteBytes(dialogs, "answer: Yes\n");
    {
        ChildProcess client(exe, {},
                            {"KELVRA_DEMO_UPDATE_HOST=" + host, "KELVRA_DIALOG_SCRIPT=" + dialogs,
                             "WINEDLLOVERRIDES=winemenubuilder.exe=d"});
        // The client ends once it started the updater.
        ASSERT_TRUE(client.Wait(kRunDeadline).has_value()) << ReadBytes(dialogs);
    }
    // The restart program starts the new client, which shows its login window, checks again,
    // finds nothing newer and asks nothing: the question came once.
    DWORD restarted = 0;
    auto log = [&] { return PathExists(folders.log()) ? ReadBytes(folders.log()) : "<no log>"; };
    EXPECT_TRUE(WaitUntil(
        [&] {
            return (restarted = LoginProcess()) != 0 &&
                   log().find("[930] No new version found") != std::string::npos;
        },
        kUpdateDeadline))
        << "version " << FileVersion(exe) << "\n"
        << log();
    EXPECT_EQ(Count(ReadBytes(dialogs), kUpdateQuestion), 1) << ReadBytes(dialogs);
    if (restarted != 0) {
        EXPECT_TRUE(CloseClient(restarted));
    }

    EXPECT_EQ(FileVersion(exe), next);
    EXPECT_EQ(Text(install.hive, kUninstallKey, L"DisplayVersion"), Widen(next));
    EXPECT_EQ(PathExists(settings) ? ReadBytes(settings) : "<gone>", kept);
    // The class registration still names the installed client, and a script client creates
    // the object. Wine does not merge the user's classes into HKEY_CLASSES_ROOT (Windows does),
    // so a per-user class reaches no script client here: the run says so instead.
    EXPECT_EQ(Text(install.hive, L"Software\\Classes\\" + kClassKey + L"\\LocalServer32", nullptr),
              ServerName(exe));
    if (install.hive == HKEY_LOCAL_MACHINE ||
        Text(HKEY_CLASSES_ROOT, kProgIdKey + L"\\Clsid", nullptr) == kClsid) {
        EXPECT_EQ(ScriptClientReads(), "kelvraeduapp");
    } else {
        std::cout << "[ NOTE     ] " << install.name
                  << ": the class is not in HKEY_CLASSES_ROOT here; no script client can create it"
                  << std::endl;
    }
    // The procedure, in its order: the update from the signed control file, the components
    // handed to the restart program, moved and started, and the new client finding nothing newer.
    std::size_t at = 0;
    for (const std::string& line : std::vector<std::string>{
             "[968] Start update", "[926] Update control file found",
             "[962] Found application component : kelvraedu.exe",
             "[948] Finished processing update control file",
             "[959] Restart app in directory : " + folder, "kusetup: Moved",
             "kusetup: Started " + exe, "kelvraedu.exe:" + next + " with " + next,
             "[930] No new version found"}) {
        at = log().find(line, at);
        EXPECT_NE(at, std::string::npos) << line << " missing in order in\n" << log();
        if (at == std::string::npos)
            break;
    }

    ASSERT_EQ(RunToEnd(folder + "\\uninstall.exe", uninstall_args), 0);
    EXPECT_TRUE(WaitUntil([&] { return !PathExists(folder); }, kRunDeadline)) << folder;
    if (old_settings.empty())
        DeleteFileW(Widen(settings).c_str());
    else
        WriteBytes(settings, old_settings);
}

INSTANTIATE_TEST_SUITE_P(
    Installs, ReleaseUpdate,
    testing::Values(Install{"per user", {"/S"}, UserFolder, HKEY_CURRENT_USER},
                    Install{"all users", {"/ALLUSERS", "/S"}, MachineFolder, HKEY_LOCAL_MACHINE}),
    [](const testing::TestParamInfo<Install>& info) {
        return std::string(info.param.setup_args.size() == 1 ? "PerUser" : "AllUsers");
    });

}  // namespace
}  // namespace kelvra::test
