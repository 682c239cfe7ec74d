// The Linux updater: the GTK backend and the client beside it ("kelvraedu" in the same
// folder). A client installed by the system's package manager is updated through the
// package manager, never by writing below /usr.
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <string>

#include "platform/file_system.h"
#include "ui/application.h"
#include "ui/gtk/gtk_ui.h"
#include "ui/message_box.h"
#include "updater/updater_run.h"

namespace {

using namespace kelvra;

bool PackageInstall(const std::string& dir) {
    return dir.rfind("/usr/", 0) == 0 || dir.rfind("/opt/", 0) == 0;
}

int RunLinuxUpdater() {
    std::unique_ptr<ui::Backend> gui = ui::gtk::MakeGtkBackend();
    ui::Application app(*gui, ui::ApplicationMessageBoxes());
    const std::string dir =
        platform::DirectoryOf(platform::SystemFileSystem().ExecutablePath(), '/');
    if (PackageInstall(dir)) {
        updater::ShowUpdaterError(app,
                                  "此客户端由系统的软件包安装，请通过系统的软件更新获取新版本。"
                                  "\n未作任何更改。");
        return static_cast<int>(updater::UpdaterResult::Refused);
    }
    if (access(dir.c_str(), W_OK) != 0) {
        updater::ShowUpdaterError(app,
                                  "没有修改程序文件夹 " + dir +
                                      " 的权限，未作任何更改。\n请联系学校的IT管理员进行更新。");
        return static_cast<int>(updater::UpdaterResult::Refused);
    }
    updater::UpdaterSetup setup;
    setup.app = &app;
    setup.update_host = updater::ClientUpdateHost();
    setup.client_path = dir + "/kelvraedu";
    setup.key = update::ReleasePublicKey();
    const updater::UpdaterResult result = updater::RunUpdater(setup);
    app.DestroyForms();
    return static_cast<int>(result);
}

}  // namespace

int main() {
    try {
        return RunLinuxUpdater();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "updater: %s\n", e.what());
        return static_cast<int>(kelvra::updater::UpdaterResult::Failed);
    }
}
