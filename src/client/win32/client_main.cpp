// The Windows client's entry: the browser process set-up first, then the real backends,
// the client's run, and the set-up undone after every window has gone.
#include <string>
#include <vector>

#include "bridge/whiteboard_launch.h"
#include "browser/win32/browser_setup.h"
#include "client/win32/client_wiring.h"
#include "client/win32/shell_win32.h"
#include "platform/code_page.h"
#include "platform/environment.h"
#include "platform/file_system.h"
#include "platform/named_mutex.h"
#include "platform/registry.h"
#include "platform/win32/wide.h"
#include "ui/application.h"
#include "ui/message_box.h"
#include "ui/win32/win32_ui.h"
#include "windows/entry.h"

#include <windows.h>

#include <shellapi.h>

namespace {

// The command line without the program name, as UTF-8.
std::vector<std::string> Arguments() {
    std::vector<std::string> args;
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    if (argv == nullptr)
        return args;
    for (int i = 1; i < count; ++i)
        args.push_back(kelvra::platform::win32::Narrow(argv[i]));
    LocalFree(argv);
    return args;
}

int RunKelvraClient() {
    using namespace kelvra;
    // OLE, the control word and the wheel hook come before anything else, also in a copy
    // that is about to find another one running.
    browser::win32::BrowserProcess browser_process;
    int exit_code = 0;
    {
        windows::ProcessState state;
        ui::MessageBoxes& boxes = ui::ApplicationMessageBoxes();
        client::win32::ClientWiring wiring(Arguments(), state, boxes);
        ui::win32::Win32Ui ui;
        client::win32::Win32WindowsShell shell;
        ui::Application application(ui, boxes);
        // A box of a page call keeps the window it is owned by until it is answered.
        bridge::CurrentLaunchPorts().boxes = &application.boxes();
        windows::WindowsContext context{wiring.Browsers(),
                                        platform::SystemEnvironment(),
                                        platform::SystemFileSystem(),
                                        platform::SystemRegistry(),
                                        platform::SystemCodePage(),
                                        shell,
                                        state,
                                        wiring.ExternalObjects(),
                                        client::win32::ClientWiring::UpdateCheckers(application),
                                        KELVRA_DEFAULT_WEBROOT,
                                        KELVRA_FALLBACK_WEBROOT,
                                        client::win32::ClientWiring::UpdateHost()};
        windows::ClientPorts ports{application, platform::SystemNamedMutexes(), context,
                                   wiring.Initialization()};
        exit_code = windows::RunClient(ports);
        application.DestroyForms();  // before the context and the browser backend go
        wiring.Finish();
    }  // windows, browsers and the browser backend are released before OLE goes
    browser_process.End();
    return exit_code;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return RunKelvraClient();
}
