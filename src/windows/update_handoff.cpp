// The login window's update check and its hand-off to the separate updater program.
#include "platform/file_system.h"
#include "ui/application.h"
#include "windows/definitions.h"
#include "windows/frm_login.h"

namespace kelvra::windows {

void TFrmLogin::timer_updateTimer() {
    timer_update.SetEnabled(false);  // one check per login window
    try {
        if (!UpdateEngine1 || !UpdateEngine1->NewVersionAvailable(false))
            return;
        ui::MessageBoxRequest question;
        question.owner = Handle();
        question.text = kUpdateQuestion;
        question.caption = kUpdateCaption;
        question.buttons = ui::MsgButtons::YesNo;
        question.icon = ui::MsgIcon::None;
        if (app().boxes().Show(question) != ui::MsgResult::Yes)
            return;
        const char sep = context_.files.Separator();
        const std::string dir = platform::DirectoryOf(context_.files.ExecutablePath(), sep);
        context_.shell.Execute(nullptr, "open", dir + sep + kUpdaterFile, "", "", kSwShowNormal);
        app().Terminate();
    } catch (...) {
        // A failed check, box or shell call leaves the login window as it was.
    }
}

}  // namespace kelvra::windows
