// The real executable as the automation server: /REGSERVER writes the class into the
// registry view of its own bitness only, and an outside program creates the class by its
// ProgID and reads the application's identity. KELVRA_COM_OTHER_CLIENT may name the client
// built for the other bitness (runnable in a 64-bit prefix): it must read the same.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>

#include "bridge/app_to_ie_members.h"
#include "client_process.h"
#include "platform/win32/wide.h"
#include "test_support.h"

namespace kelvra::test {
namespace {

using namespace std::chrono_literals;
using platform::win32::Narrow;
using platform::win32::Widen;

constexpr REGSAM kOwnView = sizeof(void*) == 4 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
constexpr REGSAM kOtherView = sizeof(void*) == 4 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;

bool OnSixtyFourBitWindows() {
    BOOL wow64 = FALSE;
    return sizeof(void*) == 8 || (IsWow64Process(GetCurrentProcess(), &wow64) && wow64);
}

// The LocalServer32 command in one view of HKLM\Software\Classes; nullopt when absent.
std::optional<std::string> LocalServer(REGSAM view) {
    const std::wstring key =
        L"Software\\Classes\\CLSID\\" + Widen(bridge::kClassClsid) + L"\\LocalServer32";
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE | view, &handle) !=
        ERROR_SUCCESS)
        return std::nullopt;
    wchar_t value[MAX_PATH] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    const LONG read =
        RegQueryValueExW(handle, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(handle);
    return read == ERROR_SUCCESS ? std::optional(Narrow(value)) : std::string("<unreadable>");
}

TEST(KelvraeduCom, RegistersInItsOwnViewAndServesOutsideClients) {
    const std::string exe = TestProgram("kelvraedu");
    TempDir dir;
    ServerEnvironment environment(dir);
    ASSERT_FALSE(ClientRunning());
    ASSERT_EQ(RunToEnd(exe, {"/REGSERVER"}), 0);
    const auto registered = LocalServer(kOwnView);
    ASSERT_TRUE(registered.has_value());
    EXPECT_EQ(_stricmp(registered->c_str(), exe.c_str()), 0) << *registered;
    if (OnSixtyFourBitWindows()) {
        EXPECT_EQ(LocalServer(kOtherView), std::nullopt) << "written to the other view";
    }

    std::vector<std::string> clients = {TestProgram("kelvra_com_client")};
    if (const char* other = std::getenv("KELVRA_COM_OTHER_CLIENT"))
        clients.emplace_back(other);
    for (std::size_t i = 0; i < clients.size(); ++i) {
        const std::string& client = clients[i];
        const std::string out = dir.File("identity" + std::to_string(i) + ".txt");
        EXPECT_EQ(ClientReads(client, out), bridge::kAppIdentity) << client;
        // The server started for the client ends by itself once the client let go.
        EXPECT_TRUE(WaitUntil([] { return !ClientRunning(); }, 60s)) << client;
    }

    ASSERT_EQ(RunToEnd(exe, {"/UNREGSERVER"}), 0);
    EXPECT_EQ(LocalServer(kOwnView), std::nullopt);
}

}  // namespace
}  // namespace kelvra::test
