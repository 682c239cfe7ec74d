#include "windows/frm_main.h"

#include "app/host_helpers.h"
#include "app/ini_store.h"
#include "browser/key_routing.h"
#include "browser/popup_size.h"
#include "platform/file_system.h"
#include "ui/application.h"
#include "windows/browser_events.h"
#include "windows/definitions.h"
#include "windows/frm_browser.h"
#include "windows/frm_login.h"
#include "windows/str_to_int.h"

namespace kelvra::windows {

std::string PageAddress(const WindowsContext& context, const char* path) {
    return "http://" + context.state.WebRoot + path;
}

TFrmMain::TFrmMain(ui::Application& app, WindowsContext& context)
    : ui::Form(app, MainDefinition()),
      Browser1(*this, "Browser1", context.browsers),
      context_(context) {
    Browser1.SetUserInterfaceOptions(MainBrowserOptions());
    Browser1.OnNavigateComplete2 = [this](auto& s, auto d, auto& u) {
        Browser1NavigateComplete2(s, d, u);
    };
    BindCommonBrowserEvents(*this);
    OnCreate = [this] { FormCreate(); };
}

void TFrmMain::FormCreate() {
    ProcessState& state = context_.state;
    state.WhiteboardPath = app::GetWhiteboardPath(context_.registry, context_.files);
    state.WebRoot.clear();
    const std::string settings = app::GetSettingsFilePath(context_.env, context_.files);
    if (context_.files.FileExists(settings)) {
        try {
            app::TIniStore ini(settings, true, context_.files, context_.ansi);
            state.WebRoot = ini.ReadString("SYSTEM", "webroot", context_.default_webroot);
        } catch (...) {
            // An unreadable settings file at start leaves the web root to the default below.
        }
    }
    if (state.WebRoot.empty())
        state.WebRoot = context_.default_webroot;
    app::SetBrowserEmulation(context_.registry, context_.files);
    RunLoginWindow();
    Browser1.Navigate(PageAddress(context_, kHomePath));
    app().InstallMessageHook(this, [this](const ui::Message& m, bool& handled) {
        ApplicationEvents1Message(m, handled);
    });
}

void TFrmMain::RunLoginWindow() {
    // The earlier login window stays hidden for good; releasing it ends its page and web
    // process, which would otherwise pile up with every re-login. It is released first, so
    // that the new window is not owned by it when it is still in its modal run (frames
    // reaching the login page one after the other): that run ends as cancelled and the
    // window goes once the run has returned.
    if (TFrmLogin* earlier = context_.state.FrmLogin)
        app().ReleaseForm(earlier);
    TFrmLogin& login = app().CreateForm<TFrmLogin>(context_);
    context_.state.FrmLogin = &login;
    login.Browser1.Navigate(PageAddress(context_, kLoginPath));
    login.ShowModal();  // ended by sign-in or by a terminate request; either way carry on
}

void TFrmMain::Browser1NavigateComplete2(browser::THostedBrowser&, browser::DispatchHandle,
                                         std::string& URL) {
    const std::string address = URL;
    if (address.find("site/login") == std::string::npos)
        return;
    Browser1.Stop();
    Hide();
    CloseBrowserWin();
    RunLoginWindow();
    Browser1.Navigate(PageAddress(context_, kHomePath));
    Show();
}

void TFrmMain::Browser1DocumentComplete(browser::THostedBrowser&, browser::DispatchHandle,
                                        std::string&) {
    SetCaption(Browser1.LocationName());
}

void TFrmMain::Browser1NewWindow3(browser::THostedBrowser&, browser::DispatchHandle& ppDisp,
                                  bool& Cancel, std::uint32_t, const std::string&,
                                  const std::string& bstrUrl) {
    const std::string address = bstrUrl;
    TFrmBrowser& popup = app().CreateForm<TFrmBrowser>(context_);
    context_.state.FrmBrowser = &popup;
    const std::string size = browser::QueryPopupSize(Browser1, address);
    if (size.find("cwidth") != std::string::npos) {
        const std::string w = app::GetQueryValue("&cwidth=", size);
        const std::string h = app::GetQueryValue("&cheight=", size);
        popup.SetWidth(StrToInt(w));
        popup.SetHeight(StrToInt(h));
    }
    popup.Browser1.Navigate(address);
    ppDisp = popup.Browser1.Application();
    popup.Show();
    Cancel = false;
}

void TFrmMain::Browser1GetExternal(browser::THostedBrowser&,
                                   std::shared_ptr<browser::Dispatch>& ppDispatch) {
    ppDispatch = context_.external ? context_.external(Handle()) : nullptr;
}

void TFrmMain::Browser1ShowContextMenu(browser::THostedBrowser&, std::uint32_t,
                                       const browser::Point*, void*, void*,
                                       browser::HResult& Result) {
    Result = browser::kSOk;
}

void TFrmMain::CloseBrowserWin() {
    for (ui::Form* form : app().Forms()) {
        if (form->ClassName() == "TFrmBrowser") {
            form->Hide();
            // Nothing shows it again: it goes, with its page and web process, once none of
            // its own handlers is running. Its routine leaves the hook slot with it.
            app().ReleaseForm(form);
        }
    }
}

void TFrmMain::ApplicationEvents1Message(const ui::Message& Msg, bool& Handled) {
    browser::RouteKeyMessage(&Browser1, Msg, Handled);
}

}  // namespace kelvra::windows
