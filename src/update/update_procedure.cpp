// The update procedure: DoUpdate with its actions before the update, the release notes and
// the licence, and the boxes and dialogs it shows.
#include "platform/file_system.h"
#include "ui/application.h"
#include "update/html_dialog.h"
#include "update/local_files.h"
#include "update/process_runner.h"
#include "update/progress_form.h"
#include "update/update_dialogs.h"
#include "update/update_engine.h"

namespace kelvra::update {

void TUpdateEngine::DoUpdate(bool InitPath) {
    FCancelled = false;
    if (InitPath)
        SetCurrentDirectoryTo(DirectoryOf(platform::SystemFileSystem().ExecutablePath()));
    DoStatus(968, FThreaded ? "Threaded update" : "Non threaded update", 0, 0);
    DoStatus(966, GetOSVersion(), 0, 0);
    DoStatus(967, GetIEVersion(), 0, 0);
    DoStatus(969, GetIDE(), 0, 0);
    DoStatus(970, GetInstalledIDEs(), 0, 0);
    FAppComponentLoaded = false;
    FFTPDirSet = false;
    FControlFileName.clear();
    DoStatus(963, GetVersion(), 0, 0);
    if (StartConnection() != 0)
        return;
    if (UpdateType == TUpdateType::ftpUpdate && FTPConnect() == -1)
        Error();
    auto stop = [this] { StopConnection(); };
    if ((HintConnect() == nullptr && UpdateType != TUpdateType::fileUpdate) ||
        GetControlFile() != 0)
        return stop();
    if (!ForceUpdate && DoVersionCheck() == 7) {
        FAppUpdate = false;
        return stop();
    }
    if (HandleActions() != 0)
        return stop();
    int r = 0;
    if (auto stream = GetWhatsNewStream())
        r = ShowWhatsNew(*stream);
    // The licence text is fetched even when the release notes were declined.
    if (auto stream = GetEULAStream())
        if (r == 0)
            r = ShowEULA(*stream);
    if (r != 0 || GetFileDetails() <= 0) {
        FAppUpdate = false;
        return stop();
    }
    r = ProcessFileDetails();
    if (r == 0) {
        if (ShowDownloadProgress && app_ != nullptr)
            OnGuiThread([this] { progress_form_ = &app_->CreateForm<TProgressForm>(); });
        try {
            GetFileUpdates();
        } catch (...) {
            FreeProgressForm();
            throw;
        }
        FreeProgressForm();
        UpdateActions();
    }
    StopConnection();
    if (r == 0 && !FCancelled)
        DoSuccess();
    if (AppNeedsRestart() && !FThreaded)
        DoRestart();
}

void TUpdateEngine::FreeProgressForm() {
    if (progress_form_ == nullptr)
        return;
    OnGuiThread([this] {
        progress_form_->Hide();
        app_->DestroyForm(progress_form_);
    });
    progress_form_ = nullptr;
}

int TUpdateEngine::HandleActions() {
    int result = 0;
    const std::string msg = ExpandLineBreaks(ReadControlString("action", "msg"));
    if (!msg.empty()) {
        DoStatus(934, "", 3, 0);
        ShowBox(msg, "Information", ui::MsgButtons::Ok, ui::MsgIcon::Information);
    }
    const std::string htmldlg = ExpandPrefix(ReadControlString("action", "htmldlg"));
    if (!htmldlg.empty()) {
        DoStatus(935, "", 7, 0);
        OnGuiThread([&htmldlg] { ShowHtmlDialog(nullptr, htmldlg); });
    }
    const std::string runbefore = ExpandPrefix(ReadControlString("action", "runbefore"));
    if (!runbefore.empty())
        StartProgram(runbefore);
    if (OnCustomProcess)
        OnCustomProcess(*this, ReadControlString("custom", "processmsg"),
                        ReadControlString("custom", "processparam"));
    const std::string show_url = ExpandPrefix(ReadControlString("action", "showURL"));
    if (!show_url.empty()) {
        DoStatus(942, "", 3, 0);
        const std::string address = MakeProxyUrl(show_url, ProxyUserID, ProxyPassword);
        if (!Processes().ShellOpen("iexplore.exe", "-new " + address))
            Processes().ShellOpen(address, "");
    }
    const std::string query = ExpandLineBreaks(ReadControlString("action", "query"));
    if (!query.empty()) {
        DoStatus(936, "", 3, 0);
        if (ShowBox(query, "Information", ui::MsgButtons::YesNo, ui::MsgIcon::Information) !=
            ui::MsgResult::Yes) {
            FAppUpdate = false;
            result = -1;
        }
    }
    if (FCancelled)
        result = -1;
    return result;
}

std::unique_ptr<std::string> TUpdateEngine::FetchSectionText(const std::string& section,
                                                             bool whats_new) {
    std::string address = ReadControlString(section + LanguageID, "file");
    if (address.empty())
        return nullptr;
    if (whats_new) {
        if (OnBeforeFileDownload) {
            const std::string given = address;
            OnBeforeFileDownload(*this, 0, given, address);
        }
        DoStatus(937, "", 12, 0);
    } else {
        DoStatus(939, "", 13, 0);
    }
    if (!URLGetFile(HintConnect(), address, WinTempDir(), false))
        return nullptr;
    const std::string fetched = WinTempDir() + URLtoFile(address);
    auto text = std::make_unique<std::string>(platform::SystemFileSystem().ReadFile(fetched));
    DeleteLocalFile(fetched);
    return text;
}

std::unique_ptr<std::string> TUpdateEngine::GetWhatsNewStream() {
    return FetchSectionText("whatsnew", true);
}

std::unique_ptr<std::string> TUpdateEngine::GetEULAStream() {
    return FetchSectionText("eula", false);
}

std::unique_ptr<StringList> TUpdateEngine::GetEULA() {
    auto text = FetchSectionText("eula", false);
    return text ? std::make_unique<StringList>(TextLines(*text)) : nullptr;
}

int TUpdateEngine::ShowWhatsNew(const std::string& stream) {
    if (OnDownloadedWhatsNew && !IsRichText(stream)) {
        int res = 1;
        OnDownloadedWhatsNew(*this, TextLines(stream), res);
        return res == 1 ? 0 : -1;
    }
    WhatsNewTexts texts;
    const std::string caption = ReadControlString("whatsnew", "caption");
    if (!caption.empty())
        texts.caption = caption;
    texts.okbtn = ReadControlString("whatsnew", "okbtn", "Ok");
    texts.cancelbtn = ReadControlString("whatsnew", "cancelbtn", "Cancel");
    bool ok = false;
    OnGuiThread([&] { ok = AskWhatsNew(app_, stream, texts); });
    if (ok)
        return 0;
    DoStatus(938, "", 14, 0);
    return -1;
}

int TUpdateEngine::ShowEULA(const std::string& stream) {
    if (OnDownloadedEULA && !IsRichText(stream)) {
        int res = 1;
        OnDownloadedEULA(*this, TextLines(stream), res);
        return res == 1 ? 0 : -1;
    }
    EULATexts texts;
    texts.caption = ReadControlString("eula", "caption");
    texts.okbtn = ReadControlString("eula", "okbtn", "Ok");
    texts.accept = ReadControlString("eula", "accept", "I accept");
    texts.notaccept = ReadControlString("eula", "notaccept", "I do not accept");
    bool accepted = false;
    OnGuiThread([&] { accepted = AskEULA(app_, stream, texts); });
    return accepted ? 0 : -1;
}

void TUpdateEngine::ShowHTMLDialog(const std::string& s) {
    OnGuiThread([this, &s] { ShowHtmlDialog(OwnerWindow, s); });
}

ui::MsgResult TUpdateEngine::ShowBox(const std::string& text, const std::string& caption,
                                     ui::MsgButtons buttons, ui::MsgIcon icon) {
    ui::MsgResult result = ui::MsgResult::Cancel;
    OnGuiThread([&] {
        ui::MessageBoxes& boxes = app_ != nullptr ? app_->boxes() : ui::ApplicationMessageBoxes();
        result = boxes.Show({OwnerWindow, text, caption, buttons, icon});
    });
    return result;
}

bool TUpdateEngine::Confirm(const std::string& text) {
    return ShowBox(text, "Confirm", ui::MsgButtons::YesNo, ui::MsgIcon::Question) ==
           ui::MsgResult::Yes;
}

void TUpdateEngine::StartProgram(const std::string& target) {
    // Started and not waited for; whether it could be started is not reported.
    Processes().ShellOpen(target, "");
}

ProcessRunner& TUpdateEngine::Processes() {
    return runner_ != nullptr ? *runner_ : SystemProcessRunner();
}

void TUpdateEngine::DoSuccess() {
    if (OnSuccess)
        OnSuccess(*this);
}

}  // namespace kelvra::update
