#include "client_process.h"

#include <tlhelp32.h>

#include <chrono>

#include "test_support.h"

namespace kelvra::test {

DWORD ClientProcessId() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    DWORD found = 0;
    for (BOOL more = Process32FirstW(snapshot, &entry); more && found == 0;
         more = Process32NextW(snapshot, &entry)) {
        if (_wcsicmp(entry.szExeFile, L"kelvraedu.exe") == 0)
            found = entry.th32ProcessID;
    }
    CloseHandle(snapshot);
    return found;
}

int RunToEnd(const std::string& program, const std::vector<std::string>& args) {
    ChildProcess p(program, args);
    return p.Wait(std::chrono::minutes(2)).value_or(-1);
}

std::string ClientReads(const std::string& client, const std::string& out,
                        const std::vector<std::string>& args) {
    std::vector<std::string> all = {out};
    all.insert(all.end(), args.begin(), args.end());
    const int code = RunToEnd(client, all);
    const std::string text = PathExists(out) ? ReadBytes(out) : "<nothing written>";
    return code == 0 ? text : "exit " + std::to_string(code) + ": " + text;
}

}  // namespace kelvra::test
