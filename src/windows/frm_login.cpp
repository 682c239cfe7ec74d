#include "windows/frm_login.h"

#include "browser/key_routing.h"
#include "ui/application.h"
#include "windows/browser_events.h"
#include "windows/definitions.h"
#include "windows/frm_sysset.h"

namespace kelvra::windows {

TFrmLogin::TFrmLogin(ui::Application& app, WindowsContext& context)
    : ui::Form(app, LoginDefinition()),
      Browser1(*this, "Browser1", context.browsers),
      TitleBar1(*this, "TitleBar1", LoginTitleBarItems()),
      timer_update(*this, "timer_update", kUpdateTimerInterval, true),
      context_(context) {
    if (context.update_checker)
        UpdateEngine1 =
            context.update_checker(LoginUpdateEngineProperties(context.update_host), Handle());
    Browser1.SetUserInterfaceOptions(MainBrowserOptions());
    Browser1.OnNavigateComplete2 = [this](auto& s, auto d, auto& u) {
        Browser1NavigateComplete2(s, d, u);
    };
    BindCommonBrowserEvents(*this);
    // Title bar item 1 (the settings button) runs TitleBar1Items0Click.
    TitleBar1.SetItemClick(1, [this] { TitleBar1Items0Click(); });
    timer_update.OnTimer = [this] { timer_updateTimer(); };
    OnCreate = [this] { FormCreate(); };
    OnClose = [this](ui::CloseAction& action) { FormClose(action); };
}

void TFrmLogin::FormCreate() {
    context_.state.LoginSucceeded = false;
    app().InstallMessageHook(this, [this](const ui::Message& m, bool& handled) {
        ApplicationEvents1Message(m, handled);
    });
}

void TFrmLogin::FormClose(ui::CloseAction&) {
    if (!context_.state.LoginSucceeded)
        app().Terminate();
}

void TFrmLogin::Browser1NavigateComplete2(browser::THostedBrowser&, browser::DispatchHandle,
                                          std::string& URL) {
    const std::string address = URL;
    if (address.find("techer") != std::string::npos ||
        address.find("student") != std::string::npos) {
        context_.state.LoginSucceeded = true;
        Close();
    }
}

void TFrmLogin::Browser1DocumentComplete(browser::THostedBrowser&, browser::DispatchHandle,
                                         std::string&) {
    TitleBar1.SetItemCaption(0, Browser1.LocationName());
}

void TFrmLogin::Browser1NewWindow3(browser::THostedBrowser&, browser::DispatchHandle&, bool&,
                                   std::uint32_t, const std::string&, const std::string&) {
    // Nothing: the request is left to the browser's own handling.
}

void TFrmLogin::Browser1GetExternal(browser::THostedBrowser&,
                                    std::shared_ptr<browser::Dispatch>& ppDispatch) {
    ppDispatch = context_.external ? context_.external(Handle()) : nullptr;
}

void TFrmLogin::Browser1ShowContextMenu(browser::THostedBrowser&, std::uint32_t,
                                        const browser::Point*, void*, void*,
                                        browser::HResult& Result) {
    Result = browser::kSOk;
}

void TFrmLogin::TitleBar1Items0Click() {
    TFrmsysSet& dialog = app().CreateForm<TFrmsysSet>(context_);
    context_.state.FrmsysSet = &dialog;
    dialog.ShowModal();
    Browser1.Navigate(PageAddress(context_, kLoginPath));
}

void TFrmLogin::ApplicationEvents1Message(const ui::Message& Msg, bool& Handled) {
    browser::RouteKeyMessage(&Browser1, Msg, Handled);
}

}  // namespace kelvra::windows
