// The automation server on Windows: registration switches, the class object registered
// suspended and then resumed, automation mode, and the termination check.
#include <windows.h>

#include <objbase.h>

#include <exception>

#include "bridge/automation_server.h"
#include "bridge/server_switches.h"
#include "bridge/win32/class_factory.h"
#include "bridge/win32/class_record.h"
#include "bridge/win32/interface_pins.h"
#include "bridge/win32/server_objects.h"
#include "bridge/win32/server_registration.h"
#include "kelvraedu_app.h"
#include "ui/message_box.h"

namespace kelvra::bridge {
namespace {

inline constexpr const char* kApplicationErrorCaption = "Application Error";

DWORD g_class_cookie = 0;
bool g_class_registered = false;
win32::InterfacePins g_pins;

ServerStart Registration(const StartSwitches& switches) {
    try {
        if (switches.mode == StartMode::Register)
            win32::RegisterServer(switches.per_user);
        else
            win32::UnregisterServer(switches.per_user);
        return {false, 0};
    } catch (const std::exception& e) {
        ui::MessageBoxRequest box;
        box.text = e.what();
        box.caption = kApplicationErrorCaption;
        box.buttons = ui::MsgButtons::Ok;
        box.icon = ui::MsgIcon::Error;
        ui::ApplicationMessageBoxes().Show(box);
        return {false, 1};
    }
}

}  // namespace

ServerStart StartAutomationServer(const std::vector<std::string>& args) {
    const StartSwitches switches = ParseStartSwitches(args);
    // The record (and with it the type library) is made before anything else here.
    win32::ClassRecord::Get();
    if (switches.mode == StartMode::Register || switches.mode == StartMode::Unregister)
        return Registration(switches);
    if (switches.mode == StartMode::Automation)
        win32::SetServerAutomationMode(GetCurrentThreadId());
    // A class object that cannot be registered leaves the client running without it:
    // pages still get their own objects.
    if (SUCCEEDED(CoRegisterClassObject(
            __uuidof(TKelvraAppToIe), &win32::AppToIeClassFactory::Instance(), CLSCTX_LOCAL_SERVER,
            REGCLS_MULTIPLEUSE | REGCLS_SUSPENDED, &g_class_cookie))) {
        g_class_registered = true;
        g_pins.Hold();
        CoResumeClassObjects();
    }
    return {};
}

bool AutomationTerminationCheck() {
    if (win32::ServerObjectCount() <= 0)
        return true;
    return ui::ApplicationMessageBoxes().Show(TerminationQuestion()) == ui::MsgResult::Yes;
}

void StopAutomationServer() {
    if (g_class_registered) {
        CoRevokeClassObject(g_class_cookie);
        g_pins.Release();
        g_class_registered = false;
    }
}

}  // namespace kelvra::bridge
