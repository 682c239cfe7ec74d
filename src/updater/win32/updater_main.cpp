// The Windows updater: the Win32 backend, the client "kelvraedu.exe" beside it, the
// setup program's entry in Apps & features, and elevation for an all-users install.
#include <exception>
#include <string>

#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/win32/wide.h"
#include "ui/application.h"
#include "ui/message_box.h"
#include "ui/win32/win32_ui.h"
#include "updater/updater_engine.h"
#include "updater/updater_run.h"
#include "updater/win32/elevation_win32.h"

#include <windows.h>

#include <shellapi.h>

namespace {

using namespace kelvra;

bool StartedElevated() {
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    bool elevated = false;
    for (int i = 1; argv != nullptr && i < count; ++i)
        elevated = elevated || lstrcmpiW(argv[i], updater::win32::kElevatedSwitch) == 0;
    LocalFree(argv);
    return elevated;
}

int RunWindowsUpdater() {
    ui::win32::Win32Ui gui;
    ui::Application app(gui, ui::ApplicationMessageBoxes());
    const std::string program = platform::SystemFileSystem().ExecutablePath();
    const std::string dir = platform::DirectoryOf(program, '\\');
    if (!updater::win32::FolderWritable(platform::win32::Widen(dir))) {
        // A per-user install is always writable and never gets here.
        if (!StartedElevated() && updater::win32::RelaunchElevated(platform::win32::Widen(
                                      program)) == updater::win32::Elevation::Started)
            return static_cast<int>(updater::UpdaterResult::HandedOff);
        updater::ShowUpdaterError(app, "更新需要管理员权限才能修改程序文件夹 " + dir +
                                           "，但未能获得。未作任何更改。\n"
                                           "请联系学校的IT管理员进行更新。");
        return static_cast<int>(updater::UpdaterResult::Refused);
    }
    updater::UpdaterSetup setup;
    setup.app = &app;
    setup.update_host = updater::ClientUpdateHost();
    setup.client_path = dir + "\\kelvraedu.exe";
    setup.key = update::ReleasePublicKey();
    setup.registry = &platform::SystemRegistry();
    const updater::UpdaterResult result = updater::RunUpdater(setup);
    app.DestroyForms();
    return static_cast<int>(result);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    try {
        return RunWindowsUpdater();
    } catch (const std::exception& e) {
        kelvra::ui::ApplicationMessageBoxes().Show(
            {nullptr, e.what(), kelvra::updater::kUpdaterCaption, kelvra::ui::MsgButtons::Ok,
             kelvra::ui::MsgIcon::Error});
        return static_cast<int>(kelvra::updater::UpdaterResult::Failed);
    }
}
