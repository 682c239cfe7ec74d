#include "browser/doc_host.h"

#include "platform/text.h"
#include "ui/application.h"
#include "ui/form.h"

namespace kelvra::browser {

HResult FixedAnswer(HostCall call) {
    switch (call) {
        case HostCall::ShowUI:
        case HostCall::HideUI:
        case HostCall::UpdateUI:
        case HostCall::GetOptionKeyPath:
        case HostCall::GetOverrideKeyPath:
        case HostCall::TranslateUrl:
        case HostCall::FilterDataObject:
        case HostCall::ShowMessage:
        case HostCall::ShowHelp:
        case HostCall::OnZoomPercentChanged:
            return kSFalse;
        case HostCall::EnableModeless:
        case HostCall::OnDocWindowActivate:
        case HostCall::OnFrameWindowActivate:
        case HostCall::ResizeBorder:
            return kSOk;
        case HostCall::GetDropTarget:
            return kENotImpl;  // the platform keeps its own drop target
    }
    return kENotImpl;
}

HostInfo GetHostInfo(const THostedBrowser& browser) {
    HostInfo info;
    info.dwFlags = browser.UserInterfaceValue();
    return info;
}

namespace {

// Host events are called from inside the platform's processing: an escaping error is shown
// and never unwinds into the platform.
template <class F>
void CallHostEvent(THostedBrowser& browser, F&& call) {
    browser.form().app().Guard(browser.form(), std::forward<F>(call));
}

}  // namespace

HResult AnswerShowContextMenu(THostedBrowser& browser, std::uint32_t id, const Point* point,
                              void* command_target, void* context) {
    HResult result = kENotImpl;
    if (browser.OnShowContextMenu)
        CallHostEvent(browser, [&] {
            browser.OnShowContextMenu(browser, id, point, command_target, context, result);
        });
    return result == kENotImpl ? kSFalse : result;
}

HResult AnswerGetExternal(THostedBrowser& browser, std::shared_ptr<Dispatch>& external) {
    external.reset();
    if (browser.OnGetExternal)
        CallHostEvent(browser, [&] { browser.OnGetExternal(browser, external); });
    return external ? kSOk : kSFalse;
}

bool IsCtrlShortcutMasked(const THostedBrowser& browser, const ui::Message& message,
                          KeyState keys) {
    if (browser.DisableCtrlShortcuts.empty() || message.message != ui::kWmKeyDown)
        return false;
    if (!keys.ctrl || keys.shift)
        return false;  // the modifier state must be Ctrl alone; Alt is not consulted
    const std::uintptr_t key = message.wparam;
    if (key > 0x7F)
        return false;  // no key character of the text can have that code
    return browser.DisableCtrlShortcuts.find(static_cast<char>(key)) != std::string::npos;
}

HResult AnswerTranslateAccelerator(THostedBrowser& browser, const ui::Message& message,
                                   KeyState keys) {
    if (IsCtrlShortcutMasked(browser, message, keys))
        return kSOk;
    bool done = false;
    if (browser.OnTranslateAccelerator)
        CallHostEvent(browser, [&] { browser.OnTranslateAccelerator(browser, message, done); });
    return done ? kSOk : kSFalse;
}

HResult AnswerScriptError(TScriptErrorAction action, std::optional<bool>& pvaOut) {
    switch (action) {
        case TScriptErrorAction::eaContinue:
            pvaOut = true;
            return kSOk;
        case TScriptErrorAction::eaCancel:
            pvaOut = false;
            return kSOk;
        case TScriptErrorAction::eaAskUser:
            return kSFalse;
    }
    return kSFalse;
}

HResult AnswerExec(const THostedBrowser& browser, std::string_view command_group,
                   std::uint32_t command, std::optional<bool>& pvaOut) {
    if (text::EqualsIgnoreCase(command_group, kCmdGroupDocHostCommandHandler) &&
        command == kOleCmdIdShowScriptError)
        return AnswerScriptError(browser.ScriptErrorAction, pvaOut);
    return kOleCmdErrNotSupported;
}

HResult AnswerQueryStatus(std::uint32_t& first_command_flags) {
    first_command_flags = kOleCmdfEnabled;
    return kSOk;
}

bool ProvidesService(const THostedBrowser& browser, std::string_view service_id) {
    if (text::EqualsIgnoreCase(service_id, kIidProtectFocus))
        return true;
    if (text::EqualsIgnoreCase(service_id, kIidDownloadManager))
        return static_cast<bool>(browser.OnFileDownload);
    return false;
}

bool AllowFocusChange(const THostedBrowser& browser) {
    return browser.CanGrabFocus;
}

std::optional<AmbientValue> AmbientGet(const THostedBrowser& browser, std::int32_t dispid) {
    if (dispid == kDispidAmbientDlControl) {
        AmbientValue v;
        v.kind = AmbientValue::Kind::Int32;
        v.int_value = static_cast<std::int32_t>(browser.DownloadOptionValue());
        return v;
    }
    if (dispid == kDispidAmbientUserMode) {
        AmbientValue v;
        v.kind = AmbientValue::Kind::Bool;
        v.bool_value = !browser.DesignMode;
        return v;
    }
    return std::nullopt;
}

bool AmbientPut(THostedBrowser& browser, std::int32_t dispid, bool value) {
    if (dispid != kDispidAmbientUserMode)
        return false;
    browser.DesignMode = value;
    return true;
}

HResult AnswerDownload(THostedBrowser& browser, const FileDownloadRequest& request) {
    HResult result = kENotImpl;
    if (browser.OnFileDownload)
        CallHostEvent(browser, [&] { browser.OnFileDownload(browser, request, result); });
    return result;
}

}  // namespace kelvra::browser
