// The Linux client: GTK windows, WebKitGTK browsers, the .reg-file registry and the desktop
// shell, running the entry sequence shared with the Windows client.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "bridge/automation_server.h"
#include "bridge/external_handler.h"
#include "bridge/external_object.h"
#include "bridge/whiteboard_launch.h"
#include "bridge/whiteboard_ports.h"
#include "browser/gtk/webkit_backend.h"
#include "browser/hosted_browser.h"
#include "client/gtk/desktop_shell.h"
#include "client/update_checker.h"
#include "platform/code_page.h"
#include "platform/environment.h"
#include "platform/file_system.h"
#include "platform/named_mutex.h"
#include "platform/registry.h"
#include "ui/application.h"
#include "ui/gtk/gtk_ui.h"
#include "update/gtk/html_dialog_gtk.h"
#include "windows/entry.h"

namespace {

using namespace kelvra;

// The demo and test runs serve the update control file from their loopback server, whose
// port is only known at run time.
std::string UpdateHost() {
    const char* demo = std::getenv("KELVRA_DEMO_UPDATE_HOST");
    return demo != nullptr && *demo != '\0' ? demo : KELVRA_UPDATE_HOST;
}

int RunLinuxClient(std::vector<std::string> args) {
    ui::gtk::GtkUiOptions ui_options;
    ui_options.widget_of = [](ui::Control& control) -> GtkWidget* {
        if (control.Kind() != ui::ControlKind::Browser)
            return nullptr;
        return browser::gtk::WidgetOf(static_cast<browser::THostedBrowser&>(control));
    };
    std::unique_ptr<ui::Backend> gui = ui::gtk::MakeGtkBackend(std::move(ui_options));
    // Every window and the task bar show the application icon of the installed icon theme.
    gtk_window_set_default_icon_name("kelvraedu");

    browser::gtk::WebKitBackendOptions browser_options;
    browser_options.external_handler = [](std::string_view message) {
        return bridge::HandleExternalMessage(message);
    };
    std::unique_ptr<browser::BrowserBackend> browsers =
        browser::gtk::MakeBrowserBackend(std::move(browser_options));

    ui::MessageBoxes& boxes = ui::ApplicationMessageBoxes();
    ui::Application app(*gui, boxes);
    update::gtk::InstallHtmlDialog();
    windows::ProcessState state;
    client::gtk::DesktopShell shell;
    platform::FileSystem& files = platform::SystemFileSystem();

    bridge::LaunchPorts launch;
    launch.whiteboard_path = [&state] { return state.WhiteboardPath; };
    launch.registry = &platform::SystemRegistry();
    launch.code_page = &platform::SystemCodePage();
    launch.windows = &bridge::SystemWhiteboardWindows();
    launch.shell = &bridge::SystemShell();
    launch.boxes = &app.boxes();  // a box of a page call keeps its window
    launch.separator = files.Separator();
    bridge::SetLaunchPorts(launch);

    windows::WindowsContext context{
        *browsers,
        platform::SystemEnvironment(),
        files,
        platform::SystemRegistry(),
        platform::SystemCodePage(),
        shell,
        state,
        bridge::NewExternalObject,
        [&app](const windows::UpdateEngineProperties& properties, ui::NativeWindow owner) {
            return std::make_unique<client::EngineUpdateChecker>(properties, owner, &app);
        },
        KELVRA_DEFAULT_WEBROOT,
        KELVRA_FALLBACK_WEBROOT,
        UpdateHost()};
    windows::ClientPorts ports{app, platform::SystemNamedMutexes(), context,
                               bridge::AutomationServerInitializer(std::move(args))};
    const int code = windows::RunClient(ports);
    app.DestroyForms();  // before the browser backend goes
    bridge::StopAutomationServer();
    return code;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return RunLinuxClient(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kelvraedu: %s\n", e.what());
        return 1;
    }
}
