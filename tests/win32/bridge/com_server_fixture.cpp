// A stand-in for the client's executable in the automation-server tests: it runs the same
// server code (switches, registration, class object, automation-mode end) with a plain
// message loop instead of the client's windows. COM may start it with no way to pass an
// environment, so its settings come from HKEY_CURRENT_USER\Software\KelvraComFixture:
//   WhiteboardPath    the whiteboard the launch starts ("" = none installed)
//   DialogScript      KELVRA_DIALOG_SCRIPT for its message boxes
//   WhiteboardRecord  KELVRA_WHITEBOARD_RECORD for a whiteboard it starts
// It writes its process and main thread ids there as "Pid" and "Thread" once its class
// object is offered; a quit message to that thread ends it as a closed client would.
#include <windows.h>

#include <objbase.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "bridge/automation_server.h"
#include "bridge/whiteboard_launch.h"
#include "platform/registry.h"
#include "platform/win32/wide.h"

namespace {

using kelvra::platform::RegistryHive;
constexpr const char* kSettingsKey = "Software\\KelvraComFixture";

std::string Setting(const char* name) {
    auto key = kelvra::platform::SystemRegistry().Open(RegistryHive::CurrentUser, kSettingsKey,
                                                       kelvra::platform::RegistryAccess::Read);
    if (!key)
        return "";
    auto value = key->Query(name);
    return value ? value->TextValue() : "";
}

void SetEnv(const char* name, const std::string& value) {
    using kelvra::platform::win32::Widen;
    SetEnvironmentVariableW(Widen(name).c_str(), value.empty() ? nullptr : Widen(value).c_str());
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(kelvra::platform::win32::Narrow(argv[i]));
    LocalFree(argv);

    SetEnv("KELVRA_DIALOG_SCRIPT", Setting("DialogScript"));
    SetEnv("KELVRA_WHITEBOARD_RECORD", Setting("WhiteboardRecord"));
    const std::string whiteboard = Setting("WhiteboardPath");
    kelvra::bridge::LaunchPorts ports = kelvra::bridge::CurrentLaunchPorts();
    ports.whiteboard_path = [whiteboard] { return whiteboard; };
    kelvra::bridge::SetLaunchPorts(ports);

    OleInitialize(nullptr);
    const kelvra::bridge::ServerStart start = kelvra::bridge::StartAutomationServer(args);
    if (!start.carry_on) {
        OleUninitialize();
        return start.exit_code;
    }
    auto settings =
        kelvra::platform::SystemRegistry().Create(RegistryHive::CurrentUser, kSettingsKey);
    settings->Set("Thread",
                  kelvra::platform::RegistryValue::Text(std::to_string(GetCurrentThreadId())));
    settings->Set("Pid",
                  kelvra::platform::RegistryValue::Text(std::to_string(GetCurrentProcessId())));
    settings.reset();
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    kelvra::bridge::StopAutomationServer();
    OleUninitialize();
    return 0;
}
