#include "windows/entry.h"

#include "app/app_identity.h"
#include "app/single_instance.h"
#include "ui/application.h"
#include "windows/frm_main.h"

namespace kelvra::windows {

void SetUpApplication(ui::Application& app) {
    app.SetTitle(app::kApplicationTitle);
}

int RunClient(ClientPorts& ports) {
    ui::Application& app = ports.app;
    if (!app::AcquireSingleInstance(ports.mutexes, app.boxes()))
        return 0;  // another copy runs; it is neither notified nor brought to the front
    if (ports.initialize && !ports.initialize(app))
        return 0;
    SetUpApplication(app);
    TFrmMain& main = app.CreateForm<TFrmMain>(ports.context);
    ports.context.state.FrmMain = &main;
    app.Run();
    app.DestroyForms();
    ports.context.state.FrmMain = nullptr;
    ports.context.state.FrmLogin = nullptr;
    ports.context.state.FrmBrowser = nullptr;
    ports.context.state.FrmsysSet = nullptr;
    return 0;
}

}  // namespace kelvra::windows
