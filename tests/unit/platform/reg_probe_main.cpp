// Second process for the registry tests, under HKEY_CURRENT_USER:
//   reg_probe set <key> <prefix> <count>    writes DWORD values <prefix>0 .. <prefix>count-1
//   reg_probe expect <key> <name> <text>    exit 0 when the value holds that text, else 1
// Exit 2 when the registry throws.
#ifdef _WIN32
#include <windows.h>
// windows.h first
#include <shellapi.h>
#endif

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "platform/registry.h"

using kelvra::platform::RegistryAccess;
using kelvra::platform::RegistryHive;
using kelvra::platform::RegistryValue;
using kelvra::platform::SystemRegistry;

namespace {

// The arguments as UTF-8 (on Windows from the UTF-16 command line, not the ANSI one).
std::vector<std::string> Arguments(int argc, char** argv) {
    std::vector<std::string> args;
#ifdef _WIN32
    (void)argc;
    (void)argv;
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    for (int i = 0; wide != nullptr && i < count; ++i) {
        const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string utf8(static_cast<std::size_t>(n > 0 ? n - 1 : 0), '\0');
        ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, utf8.data(), n, nullptr, nullptr);
        args.push_back(utf8);
    }
    ::LocalFree(wide);
#else
    args.assign(argv, argv + argc);
#endif
    return args;
}

}  // namespace

int main(int argc, char** argv_ansi) {
    const std::vector<std::string> args = Arguments(argc, argv_ansi);
    if (args.size() != 5)
        return 3;
    std::vector<const char*> argv;
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    const std::string command = argv[1];
    try {
        if (command == "set") {
            const int count = std::stoi(argv[4]);
            for (int i = 0; i < count; ++i) {
                SystemRegistry()
                    .Create(RegistryHive::CurrentUser, argv[2])
                    ->Set(argv[3] + std::to_string(i),
                          RegistryValue::Dword(static_cast<std::uint32_t>(i)));
            }
            return 0;
        }
        if (command == "expect") {
            auto key =
                SystemRegistry().Open(RegistryHive::CurrentUser, argv[2], RegistryAccess::Read);
            const auto value = key ? key->Query(argv[3]) : std::nullopt;
            return value && value->TextValue() == argv[4] ? 0 : 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 2;
    }
    return 3;
}
