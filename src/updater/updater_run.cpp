#include "updater/updater_run.h"

#include <cstdlib>
#include <exception>

#include "client/update_checker.h"
#include "platform/file_system.h"
#include "ui/application.h"
#include "update/html_dialog.h"
#include "update/local_files.h"
#include "update/process_runner.h"
#include "updater/uninstall_entry.h"
#include "updater/updater_engine.h"
#include "updater/updater_window.h"
#include "windows/definitions.h"

namespace kelvra::updater {

std::string ClientUpdateHost() {
    const char* demo = std::getenv("KELVRA_DEMO_UPDATE_HOST");
    return demo != nullptr && *demo != '\0' ? demo : KELVRA_UPDATE_HOST;
}

void ShowUpdaterError(ui::Application& app, const std::string& text) {
    app.boxes().Show({nullptr, text, kUpdaterCaption, ui::MsgButtons::Ok, ui::MsgIcon::Error});
}

UpdaterResult RunUpdater(const UpdaterSetup& setup) {
    ui::Application& app = *setup.app;
    const update::VersionWords installed = update::ReadFileVersion(setup.client_path);
    UpdaterEngine engine(&app, setup.internet, setup.key, installed);
    client::ApplyProperties(engine, windows::LoginUpdateEngineProperties(setup.update_host));
    // The teacher has already agreed in the client, and the signed release decides what is
    // newer: no second question, no decision from the control file's own checks.
    engine.UpdateUpdate = update::TUpdatePrompting::upSilent;
    engine.ForceUpdate = true;
    engine.ExtractCAB = true;
    if (setup.processes != nullptr)
        engine.SetProcessRunner(setup.processes);

    auto& window = app.CreateForm<UpdaterWindow>();
    const std::string from = update::VersionToText(installed);
    window.ShowVersions(from, "…");
    bool user_cancelled = false;
    bool handed_off = false;
    window.on_cancel = [&] {
        user_cancelled = true;
        engine.Cancel();
    };
    engine.on_progress = [&](const std::string& file, std::int64_t pos, std::int64_t size) {
        if (engine.release_version())
            window.ShowVersions(from, update::VersionToText(*engine.release_version()));
        window.ShowProgress(file, pos, size);
    };
    engine.OnAppRestart = [&](update::TUpdateEngine&, bool& allow) {
        allow = !engine.refusal() && !engine.Cancelled() && !user_cancelled;
        if (!allow)
            return;
        window.ShowHandOff();
        app.backend().ProcessPendingMessages();
        if (setup.registry == nullptr || !engine.release_version())
            return;
        try {
            UpdateUninstallEntry(*setup.registry, update::DirectoryOf(setup.client_path),
                                 update::VersionToText(*engine.release_version()));
        } catch (const std::exception& e) {
            // The list of installed programs is cosmetic; the update goes on.
            engine.AddToLog(std::string("Unable to update the uninstall entry: ") + e.what());
        }
    };
    // No HTML engine here: a page the release wants shown opens in the default browser.
    update::SetHtmlDialogHandler([&setup](ui::NativeWindow, const std::string& url) {
        (setup.processes != nullptr ? *setup.processes : update::SystemProcessRunner())
            .ShellOpen(url, "");
    });
    engine.OnAppDoClose = [&](update::TUpdateEngine&) { handed_off = true; };

    window.Show();
    app.backend().ProcessPendingMessages();
    std::string failure;
    try {
        update::SetCurrentDirectoryTo(update::DirectoryOf(setup.client_path));
        engine.DoUpdate(false);
    } catch (const std::exception& e) {
        engine.AddToLog(std::string("Update failed: ") + e.what());
        failure = e.what();
    }
    update::SetHtmlDialogHandler({});
    window.Hide();
    if (handed_off)
        return UpdaterResult::HandedOff;
    if (engine.refusal()) {
        ShowUpdaterError(app, engine.refusal()->message);
        return UpdaterResult::Refused;
    }
    if (user_cancelled)
        return UpdaterResult::Cancelled;
    if (failure.empty() && engine.release_version() && !engine.Cancelled() &&
        engine.FileList().Count() == 0)
        return UpdaterResult::Cancelled;  // the release holds nothing for this client
    ShowUpdaterError(app, engine.release_version()
                              ? "下载更新文件失败，未作任何更改。请稍后再试。" +
                                    (failure.empty() ? std::string() : "\n" + failure)
                              : "无法从更新服务器获取更新信息，未作任何更改。请稍后再试。");
    return UpdaterResult::Failed;
}

}  // namespace kelvra::updater
