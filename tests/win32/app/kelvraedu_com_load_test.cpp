// The real executable as the automation server under load: four outside client programs at
// once each create, call and release the class many times against one automation-mode
// server, which the test keeps alive by holding an object of its own. Every call answers,
// the server's handle count after the run is within 5% of the count after a warm-up round,
// and once the test lets go of its object (the count is back to zero) the server ends by
// itself. Private bytes and working set are printed beside the handle ratio.
// KELVRA_COM_LOAD_CALLS sets the rounds per client (bench/com_load/run.sh runs 500).
#include <windows.h>

#include <objbase.h>
#include <psapi.h>
#include <winternl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bridge/app_to_ie_members.h"
#include "client_process.h"
#include "platform/win32/wide.h"
#include "test_support.h"

namespace kelvra::test {
namespace {

using namespace std::chrono_literals;

constexpr int kClients = 4;

struct Figures {
    DWORD handles = 0;
    SIZE_T private_bytes = 0;
    SIZE_T working_set = 0;
};

// The handles a process holds, from the system's handle table. Wine answers
// GetProcessHandleCount for no process (always 0) but lists every handle in that table.
DWORD HandlesInSystemTable(DWORD pid) {
    struct Entry {
        USHORT pid;
        USHORT creator;
        UCHAR type;
        UCHAR flags;
        USHORT value;
        PVOID object;
        ULONG access;
    };
    constexpr auto kSystemHandleInformation = static_cast<SYSTEM_INFORMATION_CLASS>(16);
    constexpr NTSTATUS kLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);
    std::vector<ULONG_PTR> buffer(1 << 14);
    ULONG needed = 0;
    NTSTATUS status;
    while ((status = NtQuerySystemInformation(kSystemHandleInformation, buffer.data(),
                                              static_cast<ULONG>(buffer.size() * sizeof(ULONG_PTR)),
                                              &needed)) == kLengthMismatch)
        buffer.resize(buffer.size() * 2);
    if (status != 0)
        return 0;
    const ULONG count = static_cast<ULONG>(buffer[0]);
    const auto* entries = reinterpret_cast<const Entry*>(buffer.data() + 1);
    DWORD held = 0;
    for (ULONG i = 0; i < count; ++i)
        held += entries[i].pid == static_cast<USHORT>(pid) ? 1 : 0;
    return held;
}

Figures Measure(HANDLE process) {
    Figures f;
    if (!GetProcessHandleCount(process, &f.handles) || f.handles == 0)
        f.handles = HandlesInSystemTable(GetProcessId(process));
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                             sizeof memory)) {
        // The commit charge; Wine reports it as PagefileUsage only.
        f.private_bytes = memory.PrivateUsage != 0 ? memory.PrivateUsage : memory.PagefileUsage;
        f.working_set = memory.WorkingSetSize;
    }
    return f;
}

// The figures once the handle count has held still for half a second (15 s at most): the
// threads that served the clients' connections end a moment after the clients.
Figures Settled(HANDLE process) {
    Figures last = Measure(process);
    const auto deadline = std::chrono::steady_clock::now() + 15s;
    while (std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(500ms);
        const Figures now = Measure(process);
        if (now.handles == last.handles)
            return now;
        last = now;
    }
    return last;
}

double Ratio(SIZE_T after, SIZE_T before) {
    return before == 0 ? 0.0 : static_cast<double>(after) / static_cast<double>(before);
}

// Runs the outside clients at once, each for rounds; what each read.
std::vector<std::string> ClientsRead(const TempDir& dir, const std::string& tag, int rounds) {
    const std::string client = TestProgram("kelvra_com_client");
    std::vector<std::unique_ptr<ChildProcess>> running;
    std::vector<std::string> outs;
    for (int i = 0; i < kClients; ++i) {
        outs.push_back(dir.File(tag + std::to_string(i) + ".txt"));
        running.push_back(std::make_unique<ChildProcess>(
            client, std::vector<std::string>{outs.back(), std::to_string(rounds)}));
    }
    // A hung server fails the run instead of holding it up (the clients are ended then).
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(120000 + 100 * rounds);
    std::vector<std::string> read;
    for (int i = 0; i < kClients; ++i) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        const std::optional<int> code = running[i]->Wait(std::max(left, 0ms));
        const std::string text = PathExists(outs[i]) ? ReadBytes(outs[i]) : "<nothing written>";
        read.push_back(code == 0 ? text
                                 : "exit " + std::to_string(code.value_or(-1)) + ": " + text);
    }
    return read;
}

// The automation-mode server this test holds an object of. A failed test still releases
// the object and ends a server that stays, so no server outlives the test.
class HeldServer {
  public:
    HeldServer() {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        CLSID clsid{};
        CLSIDFromString(platform::win32::Widen(bridge::kClassClsid).c_str(), &clsid);
        created_ = CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown,
                                    reinterpret_cast<void**>(&held_));
        if (const DWORD pid = ClientProcessId())
            process_ = OpenProcess(
                SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_TERMINATE,
                FALSE, pid);
    }
    ~HeldServer() {
        // Ended first, so that releasing the object cannot wait on a hung server.
        if (process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_, 1);
            WaitForSingleObject(process_, 10000);
        }
        Release();
        if (process_ != nullptr)
            CloseHandle(process_);
        CoUninitialize();
    }
    HeldServer(const HeldServer&) = delete;
    HeldServer& operator=(const HeldServer&) = delete;

    HRESULT created() const { return created_; }
    HANDLE process() const { return process_; }
    void Release() {
        if (held_ != nullptr)
            held_->Release();
        held_ = nullptr;
    }

  private:
    HRESULT created_ = E_FAIL;
    IUnknown* held_ = nullptr;
    HANDLE process_ = nullptr;
};

TEST(KelvraeduComLoad, FourClientsAtOnceLeaveNoObjectsOrHandlesBehind) {
    const char* calls_env = std::getenv("KELVRA_COM_LOAD_CALLS");
    const int rounds = calls_env ? std::atoi(calls_env) : 100;
    ASSERT_GT(rounds, 0);
    const std::string exe = TestProgram("kelvraedu");
    TempDir dir;
    ServerEnvironment environment(dir);
    ASSERT_FALSE(ClientRunning());
    ASSERT_EQ(RunToEnd(exe, {"/REGSERVER"}), 0);
    {
        HeldServer server;
        ASSERT_EQ(server.created(), S_OK);
        ASSERT_NE(server.process(), nullptr);

        const std::vector<std::string> all_read(kClients, bridge::kAppIdentity);
        EXPECT_EQ(ClientsRead(dir, "warm", std::max(1, rounds / 5)), all_read);
        const Figures before = Settled(server.process());
        EXPECT_EQ(ClientsRead(dir, "load", rounds), all_read);
        const Figures after = Settled(server.process());
        std::printf(
            "%d clients x %d rounds; server after/before: handles %lu/%lu = %.3f, "
            "private bytes %.3f, working set %.3f\n",
            kClients, rounds, after.handles, before.handles, Ratio(after.handles, before.handles),
            Ratio(after.private_bytes, before.private_bytes),
            Ratio(after.working_set, before.working_set));
        ASSERT_GT(before.handles, 0u);
        EXPECT_LE(after.handles, before.handles * 1.05);

        // Only the test's own object is left: releasing it ends the server by itself.
        server.Release();
        EXPECT_EQ(WaitForSingleObject(server.process(), 60000), WAIT_OBJECT_0);
        DWORD code = 99;
        GetExitCodeProcess(server.process(), &code);
        EXPECT_EQ(code, 0u);
    }
    EXPECT_EQ(RunToEnd(exe, {"/UNREGSERVER"}), 0);
}

}  // namespace
}  // namespace kelvra::test
