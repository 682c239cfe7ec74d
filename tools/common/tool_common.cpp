#include "tool_common.h"

#include <ctime>

#include "platform/error.h"
#include "update/restart_handoff.h"
#include "update/update_log.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/win32/wide.h"
#endif

namespace kelvra::tools {
namespace {
bool g_log_set = false;
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
#ifdef _WIN32
    (void)argc;
    (void)argv;
    std::vector<std::string> args =
        update::SplitCommandLine(platform::win32::Narrow(GetCommandLineW()));
    if (!args.empty())
        args.erase(args.begin());
    return args;
#else
    return std::vector<std::string>(argv + 1, argv + argc);
#endif
}

void SetLogFile(const std::string& name) {
    g_log_set = !name.empty();
    if (g_log_set)
        update::SetProcessLogFileName(name);
}

void LogLine(const std::string& program, const std::string& text) {
    if (!g_log_set)
        return;
    std::time_t now = std::time(nullptr);
    std::tm tm{};
#ifdef _WIN32
    localtime_s(&tm, &now);
#else
    localtime_r(&now, &tm);
#endif
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &tm);
    try {
        update::WriteLogLine(std::string(stamp) + " " + program + ": " + text);
    } catch (const Error&) {
        // The log is a courtesy; the update itself must go on.
    }
}

}  // namespace kelvra::tools
