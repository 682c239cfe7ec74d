// The automation server out of process, under Wine: registration as Wine's reg.exe reads
// it back, COM starting the server fixture for an outside client, the hand-off to the
// running demo whiteboard, starting it, the dialog seam, the code page, and the server
// ending by itself when the client lets go.
#include <windows.h>

#include <objbase.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "app/app_identity.h"
#include "bridge/app_to_ie_members.h"
#include "bridge/whiteboard_launch.h"
#include "com_test_util.h"
#include "platform/registry.h"
#include "platform/win32/wide.h"
#include "test_support.h"
#include "ui/dialog_script.h"

namespace kelvra::bridge {
namespace {

using namespace std::chrono_literals;
using platform::RegistryHive;
using platform::win32::Narrow;
using platform::win32::Widen;
using test::Args;
using test::Excep;

constexpr const char* kSettingsKey = "Software\\KelvraComFixture";
const std::string kClassKey = std::string("CLSID\\") + kClassClsid;

struct RegOutput {
    DWORD exit_code = 1;
    std::string text;
};

// Runs Wine's reg.exe and captures what it prints.
RegOutput Reg(const std::string& arguments) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    RegOutput out;
    if (!CreatePipe(&read, &write, &sa, 0))
        return out;
    SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = write;
    si.hStdError = write;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    std::wstring command = L"reg.exe " + Widen(arguments);
    PROCESS_INFORMATION pi{};
    const BOOL started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE,
                                        CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi);
    CloseHandle(write);
    if (started) {
        char buffer[4096];
        DWORD n = 0;
        while (ReadFile(read, buffer, sizeof buffer, &n, nullptr) && n > 0)
            out.text.append(buffer, n);
        WaitForSingleObject(pi.hProcess, 30000);
        GetExitCodeProcess(pi.hProcess, &out.exit_code);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    CloseHandle(read);
    return out;
}

// The key's default value as reg.exe prints it; "<missing>" when the key is absent.
std::string DefaultValue(const std::string& root, const std::string& key) {
    const RegOutput out = Reg("query \"" + root + "\\" + key + "\" /ve");
    if (out.exit_code != 0)
        return "<missing>";
    const std::size_t type = out.text.find("REG_SZ");
    if (type == std::string::npos)
        return "<no default: " + out.text + ">";
    std::size_t begin = out.text.find_first_not_of(' ', type + 6);
    std::size_t end = out.text.find_first_of("\r\n", begin);
    return out.text.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

bool KeyExists(const std::string& root, const std::string& key) {
    return Reg("query \"" + root + "\\" + key + "\"").exit_code == 0;
}

const std::string kMachine = "HKLM\\Software\\Classes";
const std::string kUser = "HKCU\\Software\\Classes";

std::vector<std::string> SevenKeys() {
    return {kClassKey,
            kClassKey + "\\LocalServer32",
            kProgId,
            std::string(kProgId) + "\\Clsid",
            kClassKey + "\\ProgID",
            kClassKey + "\\Version",
            kClassKey + "\\TypeLib"};
}

std::string Fixture() {
    return test::TestProgram("bridge_com_fixture");
}

int RunFixture(const std::string& program, const std::vector<std::string>& args,
               const std::vector<std::string>& env = {}) {
    test::ChildProcess p(program, args, env);
    const auto code = p.Wait(60s);
    return code ? *code : -1;
}

void SetSetting(const char* name, const std::string& value) {
    platform::SystemRegistry()
        .Create(RegistryHive::CurrentUser, kSettingsKey)
        ->Set(name, platform::RegistryValue::Text(value));
}

std::string Setting(const char* name) {
    auto key = platform::SystemRegistry().Open(RegistryHive::CurrentUser, kSettingsKey,
                                               platform::RegistryAccess::Read);
    auto value = key ? key->Query(name) : std::nullopt;
    return value ? value->TextValue() : "";
}

void ClearHandOff() {
    if (auto key = platform::SystemRegistry().Open(RegistryHive::CurrentUser, kHandOffKey,
                                                   platform::RegistryAccess::ReadWrite))
        key->DeleteValue(kHandOffValue);
}

std::string HandOff() {
    auto key = platform::SystemRegistry().Open(RegistryHive::CurrentUser, kHandOffKey,
                                               platform::RegistryAccess::Read);
    auto value = key ? key->Query(kHandOffValue) : std::nullopt;
    return value ? value->TextValue() : "<none>";
}

HWND WhiteboardWindow() {
    return FindWindowW(L"VantleMainFrame", nullptr);
}

// Closes whatever whiteboard window is up and waits until it is gone.
void CloseWhiteboards() {
    test::WaitUntil(
        [] {
            HWND w = WhiteboardWindow();
            if (w)
                PostMessageW(w, WM_CLOSE, 0, 0);
            return w == nullptr;
        },
        20s);
}

class ComServerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        CloseWhiteboards();
        ASSERT_EQ(RunFixture(Fixture(), {"/UNREGSERVER"}), 0);
        ASSERT_EQ(RunFixture(Fixture(), {"/UNREGSERVERPERUSER"}), 0);
        SetSetting("WhiteboardPath", "");
        SetSetting("DialogScript", script_);
        SetSetting("WhiteboardRecord", record_);
        SetSetting("Pid", "");
        ClearHandOff();
    }
    // The class is not left registered to the fixture: later suites in the prefix (the
    // client's own registration in the other view) look at the same keys.
    void TearDown() override {
        CloseWhiteboards();
        EXPECT_EQ(RunFixture(Fixture(), {"/UNREGSERVER"}), 0);
    }

    std::string Record() {
        return test::PathExists(record_) ? test::ReadBytes(record_) : std::string();
    }
    // Waits for the fixture that offers the class now and opens it to wait for its end.
    HANDLE ServerProcess() {
        std::string pid;
        if (!test::WaitUntil([&] { return !(pid = Setting("Pid")).empty(); }, 30s))
            return nullptr;
        return OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, std::stoul(pid));
    }
    IDispatch* Create() {
        IDispatch* d = nullptr;
        const CLSID clsid = ClassId();
        const HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                            reinterpret_cast<void**>(&d));
        EXPECT_EQ(hr, S_OK);
        return SUCCEEDED(hr) ? d : nullptr;
    }
    static CLSID ClassId() {
        CLSID id{};
        CLSIDFromString(Widen(kClassClsid).c_str(), &id);
        return id;
    }

    test::OleScope ole_;
    test::TempDir dir_;
    std::string script_ = dir_.File("dialogs.txt");
    std::string record_ = dir_.File("record.txt");
};

TEST_F(ComServerTest, RegisterWritesSevenKeysAndUnregisterRemovesThem) {
    ASSERT_EQ(RunFixture(Fixture(), {"/REGSERVER"}), 0);
    const std::vector<std::string> expected = {kClassDescription, Fixture(), kClassDescription,
                                               kClassClsid,       kProgId,   "1.0",
                                               kLibraryLibid};
    const auto keys = SevenKeys();
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const std::string got = DefaultValue(kMachine, keys[i]);
        if (i == 1)
            EXPECT_EQ(_stricmp(got.c_str(), expected[i].c_str()), 0) << got;
        else
            EXPECT_EQ(got, expected[i]) << keys[i];
        EXPECT_FALSE(KeyExists(kUser, keys[i])) << keys[i];
    }
    // The type library and its interface are registered for the automation marshaller.
    EXPECT_TRUE(KeyExists(kMachine, std::string("TypeLib\\") + kLibraryLibid + "\\1.0"));
    EXPECT_TRUE(KeyExists(kMachine, std::string("Interface\\") + kInterfaceIid));

    ASSERT_EQ(RunFixture(Fixture(), {"/UNREGSERVER"}), 0);
    for (const std::string& key : keys)
        EXPECT_FALSE(KeyExists(kMachine, key)) << key;
    EXPECT_FALSE(KeyExists(kMachine, std::string("TypeLib\\") + kLibraryLibid + "\\1.0"));
}

TEST_F(ComServerTest, PerUserFormWritesOnlyUnderTheUsersClasses) {
    ASSERT_EQ(RunFixture(Fixture(), {"-RegServerPerUser"}), 0);
    for (const std::string& key : SevenKeys()) {
        EXPECT_TRUE(KeyExists(kUser, key)) << key;
        EXPECT_FALSE(KeyExists(kMachine, key)) << key;
    }
    EXPECT_EQ(DefaultValue(kUser, kClassKey + "\\Version"), "1.0");
    ASSERT_EQ(RunFixture(Fixture(), {"-unregserverperuser"}), 0);
    for (const std::string& key : SevenKeys())
        EXPECT_FALSE(KeyExists(kUser, key)) << key;
}

TEST_F(ComServerTest, SwitchTableOrderAndNonSwitches) {
    // Both switches: the table's order registers, whatever the arguments' order.
    ASSERT_EQ(RunFixture(Fixture(), {"/UNREGSERVER", "/RegServer"}), 0);
    EXPECT_TRUE(KeyExists(kMachine, kClassKey + "\\LocalServer32"));
    ASSERT_EQ(RunFixture(Fixture(), {"-unregserver"}), 0);

    // Automation wins over registering; a bare or lengthened name is no switch at all.
    // Those runs carry on serving, so they are ended once their class object is up.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"-Embedding", "-RegServer"}, {"REGSERVER"}, {"/REGSERVERX"}}) {
        SetSetting("Pid", "");
        test::ChildProcess server(Fixture(), args);
        HANDLE process = ServerProcess();
        ASSERT_NE(process, nullptr) << args[0];
        CloseHandle(process);
        EXPECT_FALSE(KeyExists(kMachine, kClassKey)) << args[0];
        // Ended through its message loop, so it withdraws its class object.
        PostThreadMessageW(std::stoul(Setting("Thread")), WM_QUIT, 0, 0);
        EXPECT_EQ(server.Wait(30s), 0) << args[0];
    }
}

TEST_F(ComServerTest, PathWithBlankRegistersItsShortForm) {
    const std::filesystem::path folder = std::filesystem::path(Widen(dir_.path())) / L"with blank";
    std::filesystem::create_directory(folder);
    const std::filesystem::path copy = folder / L"bridge_com_fixture.exe";
    ASSERT_TRUE(CopyFileW(Widen(Fixture()).c_str(), copy.c_str(), FALSE));
    ASSERT_EQ(RunFixture(Narrow(copy.wstring()), {"-RegServerPerUser"}), 0);
    wchar_t short_path[MAX_PATH];
    ASSERT_NE(GetShortPathNameW(copy.c_str(), short_path, MAX_PATH), 0u);
    const std::string registered = DefaultValue(kUser, kClassKey + "\\LocalServer32");
    EXPECT_EQ(registered, Narrow(short_path));
    EXPECT_EQ(registered.find(' '), std::string::npos) << registered;
    ASSERT_EQ(RunFixture(Narrow(copy.wstring()), {"-UnRegServerPerUser"}), 0);
}

TEST_F(ComServerTest, FailedRegistrationShowsTheErrorAndExitsWithOne) {
    // This fixture carries no type library, so registering it fails.
    ASSERT_EQ(RunFixture(test::TestProgram("bridge_com_fixture_notlb"), {"/RegServer"},
                         {"KELVRA_DIALOG_SCRIPT=" + script_}),
              1);
    const auto records = ui::ReadScriptRecords(test::ReadBytes(script_));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].fields.at("caption"), "Application Error");
    EXPECT_EQ(records[0].fields.at("icon"), "Error");
    EXPECT_FALSE(records[0].fields.at("text").empty());
    EXPECT_FALSE(KeyExists(kMachine, kClassKey));
}

TEST_F(ComServerTest, OutsideClientDrivesTheRunningWhiteboard) {
    ASSERT_EQ(RunFixture(Fixture(), {"/RegServer"}), 0);
    SetSetting("WhiteboardPath", test::TestProgram("kelvra-whiteboard"));
    const std::string board_record = dir_.File("board.txt");
    test::ChildProcess board(test::TestProgram("kelvra-whiteboard"), {"--record", board_record});
    ASSERT_TRUE(test::WaitUntil([] { return WhiteboardWindow() != nullptr; }, 20s));

    IDispatch* d = Create();
    ASSERT_NE(d, nullptr);
    HANDLE server = ServerProcess();
    ASSERT_NE(server, nullptr);

    HRESULT hr = S_OK;
    const DISPID id = test::IdOf(d, L"createvantle", &hr);
    ASSERT_EQ(hr, S_OK);
    EXPECT_EQ(id, 202);
    Args six;
    six.Text(L"a").Text(L"b").Text(L"c").Text(L"d").Text(L"e").Text(L"f");
    EXPECT_EQ(test::CallMethod(d, id, six), S_OK);
    // The whiteboard reads the value when 3027 arrives: it was written before.
    ASSERT_TRUE(test::WaitUntil([&] { return test::PathExists(board_record); }, 20s));
    EXPECT_EQ(test::ReadBytes(board_record), "3027 \"a&&b&&c&&d&&e&&f&&\"\n");
    EXPECT_EQ(HandOff(), "\"a&&b&&c&&d&&e&&f&&\"");

    Args five;
    five.Text(L"a").Text(L"b").Text(L"c").Text(L"d").Text(L"e");
    EXPECT_EQ(test::CallMethod(d, id, five), DISP_E_BADPARAMCOUNT);
    Args number;
    number.Text(L"a").Text(L"b").Int(3).Text(L"d").Text(L"e").Text(L"f");
    Excep excep;
    EXPECT_EQ(test::CallMethod(d, id, number, &excep), DISP_E_EXCEPTION);
    EXPECT_EQ(excep.Description(),
              L"Could not convert variant of type (Integer) into type (OleStr)");
    EXPECT_EQ(test::ReadBytes(board_record), "3027 \"a&&b&&c&&d&&e&&f&&\"\n");

    // Releasing the last outside object ends the automation-mode server by itself.
    d->Release();
    EXPECT_EQ(WaitForSingleObject(server, 30000), WAIT_OBJECT_0);
    DWORD code = 99;
    GetExitCodeProcess(server, &code);
    EXPECT_EQ(code, 0u);
    CloseHandle(server);
}

TEST_F(ComServerTest, WhiteboardNotRunningIsStartedAndNoneInstalledIsTold) {
    ASSERT_EQ(RunFixture(Fixture(), {"/RegServer"}), 0);
    SetSetting("WhiteboardPath", test::TestProgram("kelvra-whiteboard"));
    {
        IDispatch* d = Create();
        ASSERT_NE(d, nullptr);
        Args six;
        six.Text(L"a").Text(L"b").Text(L"c").Text(L"d").Text(L"e").Text(L"f");
        EXPECT_EQ(test::CallMethod(d, 202, six), S_OK);
        ASSERT_TRUE(test::WaitUntil([&] { return !Record().empty(); }, 20s));
        EXPECT_EQ(Record(), "start \"a&&b&&c&&d&&e&&f&&\"\n");
        EXPECT_EQ(HandOff(), "<none>");
        d->Release();
    }
    CloseWhiteboards();

    // No whiteboard found at start: the user is told, through the dialog seam.
    SetSetting("WhiteboardPath", "");
    SetSetting("Pid", "");
    IDispatch* d = Create();
    ASSERT_NE(d, nullptr);
    Args six;
    six.Text(L"a").Text(L"b").Text(L"c").Text(L"d").Text(L"e").Text(L"f");
    EXPECT_EQ(test::CallMethod(d, 202, six), S_OK);
    d->Release();
    const auto records = ui::ReadScriptRecords(test::ReadBytes(script_));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].fields.at("text"), kNoWhiteboardMessage);
    EXPECT_EQ(records[0].fields.at("caption"), app::kApplicationTitle);
    EXPECT_EQ(records[0].fields.at("buttons"), "OK");
    EXPECT_EQ(records[0].fields.at("icon"), "None");
    EXPECT_EQ(Record(), "start \"a&&b&&c&&d&&e&&f&&\"\n");
}

// The locale reaches a Wine process from its parent's environment at start, so each code
// page runs as its own CTest entry (LC_ALL set there); COM starts the server from here.
TEST_F(ComServerTest, ChineseTextThroughTheCodePage) {
    const UINT code_page = GetACP();
    ASSERT_TRUE(code_page == 936 || code_page == 1252) << code_page;
    const char* expected =
        code_page == 936 ? "3027 \"a&&语文&&c&&d&&e&&f&&\"\n" : "3027 \"a&&??&&c&&d&&e&&f&&\"\n";
    ASSERT_EQ(RunFixture(Fixture(), {"/RegServer"}), 0);
    SetSetting("WhiteboardPath", test::TestProgram("kelvra-whiteboard"));
    const std::string board_record = dir_.File("board.txt");
    test::ChildProcess board(test::TestProgram("kelvra-whiteboard"), {"--record", board_record});
    ASSERT_TRUE(test::WaitUntil([] { return WhiteboardWindow() != nullptr; }, 20s));

    IDispatch* d = Create();
    ASSERT_NE(d, nullptr);
    HANDLE server = ServerProcess();
    ASSERT_NE(server, nullptr);
    Args six;
    six.Text(L"a").Text(L"\u8bed\u6587").Text(L"c").Text(L"d").Text(L"e").Text(L"f");
    EXPECT_EQ(test::CallMethod(d, 202, six), S_OK);
    EXPECT_TRUE(test::WaitUntil([&] { return test::PathExists(board_record); }, 20s));
    EXPECT_EQ(test::ReadBytes(board_record), expected) << "code page " << code_page;
    d->Release();
    EXPECT_EQ(WaitForSingleObject(server, 30000), WAIT_OBJECT_0);
    CloseHandle(server);
}

}  // namespace
}  // namespace kelvra::bridge
