// The real Windows executable: it starts and shows the login window, the settings dialog
// reached from the login window's title bar writes the settings file, closing the login
// window ends the process, a second copy is refused, and its identity and icon read back.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32/wide.h"
#include "screenshot.h"
#include "test_support.h"
#include "ui/dialog_script.h"

namespace kelvra::test {
namespace {

using namespace std::chrono_literals;
using platform::win32::Widen;

constexpr auto kStartDeadline = 60s;

std::string Executable() {
    return TestProgram("kelvraedu");
}

HWND VisibleLoginWindow() {
    HWND login = FindWindowW(L"TFrmLogin", nullptr);
    return login != nullptr && IsWindowVisible(login) ? login : nullptr;
}

// Under Wine without a window manager nothing draws the frames and captions, and Wine's
// fonts carry no Chinese: Wine draws the frames itself when told so, and Tahoma links to
// the system's CJK font. Keys that Windows does not read; for the screenshot only.
void PrepareWineDisplay() {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\X11 Driver", 0, nullptr, 0,
                        KEY_SET_VALUE, nullptr, &key, nullptr) == ERROR_SUCCESS) {
        const wchar_t value[] = L"N";
        RegSetValueExW(key, L"Decorated", 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                       sizeof value);
        RegCloseKey(key);
    }
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE,
                        L"Software\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink", 0,
                        nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) == ERROR_SUCCESS) {
        const wchar_t link[] = L"wqy-microhei.ttc,WenQuanYi Micro Hei\0";
        RegSetValueExW(key, L"Tahoma", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(link),
                       sizeof link);
        RegCloseKey(key);
    }
}

struct ClientRun {
    TempDir appdata;
    TempDir scratch;
    std::string script = scratch.File("dialogs.txt");

    // The update check two seconds after the login window opens meets a closed loopback
    // port: whatever it reports goes through the dialog script too.
    std::vector<std::string> Env() const {
        return {"APPDATA=" + appdata.path(), "KELVRA_DIALOG_SCRIPT=" + script,
                "KELVRA_DEMO_UPDATE_HOST=127.0.0.1:1"};
    }
    std::string SettingsFile() const {
        return appdata.File("kelvraeduConfig") + Separator() + "sysparams.ini";
    }
    std::vector<ui::ScriptRecord> Records(const std::string& kind) const {
        std::vector<ui::ScriptRecord> out;
        if (PathExists(script))
            for (auto& record : ui::ReadScriptRecords(ReadBytes(script)))
                if (record.kind == kind)
                    out.push_back(record);
        return out;
    }
};

TEST(KelvraeduExe, ShowsTheLoginWindowWritesSettingsThroughTheDialogAndEndsWhenClosed) {
    PrepareWineDisplay();
    ClientRun run;
    // Boxes and prompts take the answers in turn: the same answer twice serves the settings
    // prompt whether or not the update check's report comes first.
    WriteBytes(run.script,
               "answer: OK edt_webroot=\"127.0.0.1:9\"\nanswer: OK edt_webroot=\"127.0.0.1:9\"\n");
    ChildProcess client(Executable(), {}, run.Env());
    ASSERT_TRUE(WaitUntil([] { return VisibleLoginWindow() != nullptr; }, kStartDeadline))
        << "no login window";
    HWND login = VisibleLoginWindow();
    EXPECT_TRUE(run.Records("prompt").empty()) << ReadBytes(run.script);
    // The main window exists but stays hidden while the login window runs.
    HWND main = FindWindowW(L"TFrmMain", nullptr);
    ASSERT_NE(main, nullptr);
    EXPECT_FALSE(IsWindowVisible(main));
    RECT client_rect{};
    GetClientRect(login, &client_rect);
    EXPECT_EQ(client_rect.right, 800);
    EXPECT_EQ(client_rect.bottom, 460);
    wchar_t caption[64] = {};
    GetWindowTextW(login, caption, 64);
    EXPECT_STREQ(caption, L"Kelvra教学云平台");

    const std::string shot = TestBinDir() + Separator() + "kelvraedu-login.png";
    EXPECT_TRUE(WaitUntil([&] { return SaveWindowPng(login, shot); }, 10s));

    // The settings button is the title bar's rightmost item left of the close button: the
    // first point from the right, above the client area, that takes the mouse as a button.
    std::optional<POINT> settings;
    for (int x = client_rect.right - 1; x > 0 && !settings; --x) {
        POINT p{x, -13};
        ClientToScreen(login, &p);
        if (SendMessageW(login, WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y)) == HTCLIENT)
            settings = POINT{x - 4, -13};
    }
    ASSERT_TRUE(settings) << "no button on the title bar";
    PostMessageW(login, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(settings->x, settings->y));
    PostMessageW(login, WM_LBUTTONUP, 0, MAKELPARAM(settings->x, settings->y));
    ASSERT_TRUE(WaitUntil(
        [&] {
            return PathExists(run.SettingsFile()) &&
                   ReadBytes(run.SettingsFile()).find("webroot=127.0.0.1:9") != std::string::npos;
        },
        30s))
        << ReadBytes(run.script);
    const auto records = run.Records("prompt");
    ASSERT_EQ(records.size(), 1u) << ReadBytes(run.script);
    EXPECT_EQ(records[0].fields.at("caption"), "系统设置");
    EXPECT_EQ(records[0].answer, "OK");
    ASSERT_TRUE(WaitUntil(
        [] {
            HWND dialog = FindWindowW(L"TFrmsysSet", nullptr);
            return dialog != nullptr && !IsWindowVisible(dialog);
        },
        10s));

    // Closing the login window before sign-in ends the client.
    PostMessageW(login, WM_CLOSE, 0, 0);
    const auto code = client.Wait(30s);
    ASSERT_TRUE(code.has_value()) << "the client did not end";
    EXPECT_EQ(*code, 0);
    EXPECT_EQ(FindWindowW(L"TFrmLogin", nullptr), nullptr);
}

TEST(KelvraeduExe, ASecondCopyShowsTheMessageAndEndsWhileTheFirstRunsOn) {
    ClientRun first_run;
    ChildProcess first(Executable(), {}, first_run.Env());
    ASSERT_TRUE(WaitUntil([] { return VisibleLoginWindow() != nullptr; }, kStartDeadline));
    HWND login = VisibleLoginWindow();

    ClientRun second_run;
    ChildProcess second(Executable(), {}, second_run.Env());
    const auto code = second.Wait(30s);
    ASSERT_TRUE(code.has_value()) << "the second copy did not end";
    EXPECT_EQ(*code, 0);
    const auto records = second_run.Records("box");
    ASSERT_EQ(records.size(), 1u) << ReadBytes(second_run.script);
    EXPECT_EQ(records[0].fields.at("caption"), "Kelvra教学云客户端");
    EXPECT_EQ(records[0].fields.at("text"), "已经有一个Kelvra教学云客户端在运行了!");
    EXPECT_EQ(records[0].fields.at("buttons"), "OK");
    EXPECT_EQ(records[0].fields.at("icon"), "Information");

    // The first copy is unaffected.
    EXPECT_FALSE(first.Wait(0ms).has_value());
    EXPECT_EQ(VisibleLoginWindow(), login);
    PostMessageW(login, WM_CLOSE, 0, 0);
    EXPECT_EQ(first.Wait(30s), 0);
}

std::wstring VersionString(const std::vector<char>& block, const wchar_t* name, bool& present) {
    void* value = nullptr;
    UINT length = 0;
    const std::wstring key = std::wstring(L"\\StringFileInfo\\080404B0\\") + name;
    present = VerQueryValueW(block.data(), key.c_str(), &value, &length) != FALSE;
    if (!present || length == 0)
        return {};
    return std::wstring(static_cast<const wchar_t*>(value)).substr(0, length);
}

TEST(KelvraeduExe, IdentityReadsBackThroughTheSystem) {
    const std::wstring exe = Widen(Executable());
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(exe.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(exe.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    // The build's product version, a.b.c.d, as two words.
    EXPECT_EQ(fixed->dwFileVersionMS, KELVRA_VERSION_MS);
    EXPECT_EQ(fixed->dwFileVersionLS, KELVRA_VERSION_LS);
    EXPECT_EQ(fixed->dwProductVersionMS, KELVRA_VERSION_MS);
    EXPECT_EQ(fixed->dwProductVersionLS, KELVRA_VERSION_LS);

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    ASSERT_GE(length, 4u);
    EXPECT_EQ(translation[0], 0x0804);  // Chinese (Simplified)

    bool present = false;
    EXPECT_EQ(VersionString(block, L"FileVersion", present), Widen(KELVRA_VERSION_TEXT));
    EXPECT_TRUE(present);
    EXPECT_EQ(VersionString(block, L"ProductVersion", present), L"1.0.0.0");
    EXPECT_TRUE(present);
    for (const wchar_t* name :
         {L"CompanyName", L"FileDescription", L"InternalName", L"LegalCopyright",
          L"LegalTrademarks", L"OriginalFilename", L"ProductName", L"Comments"}) {
        const std::wstring value = VersionString(block, name, present);
        EXPECT_TRUE(present) << platform::win32::Narrow(name);
        EXPECT_EQ(value.find_first_not_of(L'\0'), std::wstring::npos)
            << platform::win32::Narrow(name);
    }

    HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    HRSRC manifest = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(manifest, nullptr);
    const std::string text(static_cast<const char*>(LockResource(LoadResource(module, manifest))),
                           SizeofResource(module, manifest));
    EXPECT_NE(text.find("level=\"asInvoker\" uiAccess=\"false\""), std::string::npos);
    // The executable's own identity names the architecture it was built for.
#if defined(_WIN64)
    const char* arch = "amd64";
#else
    const char* arch = "x86";
#endif
    EXPECT_NE(text.find("name=\"Kelvra.Kelvraedu\" version=\"" KELVRA_VERSION_TEXT
                        "\" processorArchitecture=\"" +
                        std::string(arch) + "\""),
              std::string::npos);
    EXPECT_NE(text.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""),
              std::string::npos);
    EXPECT_NE(FindResourceW(module, MAKEINTRESOURCEW(1), L"TYPELIB"), nullptr);
    // The update engine's carried programs: the packed restart program and the patcher.
    HRSRC upd = FindResourceW(module, L"UPD", MAKEINTRESOURCEW(10));
    HRSRC util = FindResourceW(module, L"UTIL", MAKEINTRESOURCEW(10));
    ASSERT_NE(upd, nullptr);
    ASSERT_NE(util, nullptr);
    const auto* packed = static_cast<const char*>(LockResource(LoadResource(module, upd)));
    EXPECT_EQ(std::string(packed, 4), "SZDD");
    const auto* patcher = static_cast<const char*>(LockResource(LoadResource(module, util)));
    EXPECT_EQ(std::string(patcher, 2), "MZ");

    // The application icon: one group with the six sizes, each of which loads.
    HRSRC group = FindResourceW(module, L"MAINICON", MAKEINTRESOURCEW(14));
    ASSERT_NE(group, nullptr);
    const auto* dir = static_cast<const BYTE*>(LockResource(LoadResource(module, group)));
    const WORD count = *reinterpret_cast<const WORD*>(dir + 4);
    std::vector<int> sizes;
    for (WORD i = 0; i < count; ++i) {
        const BYTE width = dir[6 + 14 * i];  // GRPICONDIRENTRY: 0 stands for 256
        sizes.push_back(width == 0 ? 256 : width);
    }
    EXPECT_EQ(sizes, (std::vector<int>{16, 24, 32, 48, 64, 256}));
    for (int size : sizes) {
        HANDLE image = LoadImageW(module, L"MAINICON", IMAGE_ICON, size, size, 0);
        EXPECT_NE(image, nullptr) << size;
        if (image != nullptr)
            DestroyIcon(static_cast<HICON>(image));
    }
    FreeLibrary(module);
}

}  // namespace
}  // namespace kelvra::test
