#include "windows/frm_browser.h"

#include "app/host_helpers.h"
#include "browser/key_routing.h"
#include "browser/popup_size.h"
#include "platform/text.h"
#include "ui/application.h"
#include "windows/browser_events.h"
#include "windows/definitions.h"
#include "windows/str_to_int.h"

namespace kelvra::windows {

std::string FirstUtf16Units(const std::string& text, std::size_t units) {
    std::u16string wide = text::Utf8ToUtf16(text);
    if (wide.size() <= units)
        return text;
    std::size_t cut = units;
    if (cut > 0 && wide[cut - 1] >= 0xD800 && wide[cut - 1] <= 0xDBFF)
        --cut;  // keep the pair whole rather than leave half a character
    return text::Utf16ToUtf8(std::u16string_view(wide).substr(0, cut));
}

TFrmBrowser::TFrmBrowser(ui::Application& app, WindowsContext& context)
    : ui::Form(app, BrowserDefinition()),
      Browser1(*this, "Browser1", context.browsers),
      TitleBar1(*this, "TitleBar1", BrowserTitleBarItems()),
      context_(context) {
    Browser1.SetUserInterfaceOptions(PopupBrowserOptions());
    Browser1.OnCommandStateChange = [this](auto& s, std::int32_t c, bool e) {
        Browser1CommandStateChange(s, c, e);
    };
    Browser1.OnFileDownload = [this](auto& s, const auto& r, browser::HResult& result) {
        Browser1FileDownload(s, r, result);
    };
    BindCommonBrowserEvents(*this);
    TitleBar1.SetItemClick(kItemBack, [this] { TitleBar1Items0Click(); });
    TitleBar1.SetItemClick(kItemForward, [this] { TitleBar1Items1Click(); });
    TitleBar1.SetItemClick(kItemRefresh, [this] { TitleBar1Items2Click(); });
    OnSysCommand = [this](std::uint32_t command) { WMsyscommand(command); };
    OnCreate = [this] { FormCreate(); };
    OnClose = [this](ui::CloseAction& action) { FormClose(action); };
}

TFrmBrowser::~TFrmBrowser() {
    if (context_.state.FrmBrowser == this)
        context_.state.FrmBrowser = nullptr;
}

void TFrmBrowser::FormCreate() {
    app().InstallMessageHook(this, [this](const ui::Message& m, bool& handled) {
        ApplicationEvents1Message(m, handled);
    });
}

void TFrmBrowser::FormClose(ui::CloseAction& Action) {
    Action = ui::CloseAction::Free;
}

void TFrmBrowser::Browser1CommandStateChange(browser::THostedBrowser&, std::int32_t Command,
                                             bool Enable) {
    if (Command == 1)
        TitleBar1.SetItemEnabled(kItemForward, Enable);
    else if (Command == 2)
        TitleBar1.SetItemEnabled(kItemBack, Enable);
}

void TFrmBrowser::Browser1DocumentComplete(browser::THostedBrowser&, browser::DispatchHandle,
                                           std::string&) {
    try {
        const std::string title = Browser1.LocationName();
        TitleBar1.SetItemHint(kItemCaption, title);
        TitleBar1.SetItemCaption(kItemCaption, FirstUtf16Units(title, kTitleCaptionUnits));
    } catch (...) {
        // The title is cosmetic: a failed read leaves the item as it was.
    }
}

void TFrmBrowser::Browser1FileDownload(browser::THostedBrowser&,
                                       const browser::FileDownloadRequest&, browser::HResult&) {
    // Nothing: the result stays E_NOTIMPL and the browser performs the download itself.
}

void TFrmBrowser::Browser1NewWindow3(browser::THostedBrowser&, browser::DispatchHandle& ppDisp,
                                     bool&, std::uint32_t, const std::string&,
                                     const std::string& bstrUrl) {
    const std::string address = bstrUrl;
    ppDisp = Browser1.Application();
    Browser1.Navigate(address);
    const std::string size = browser::QueryPopupSize(Browser1, address);
    if (size.find("cwidth") != std::string::npos) {
        const std::string w = app::GetQueryValue("&cwidth=", size);
        const std::string h = app::GetQueryValue("&cheight=", size);
        // Wrapping arithmetic: an absurd page value must not overflow.
        SetWidth(static_cast<int>(static_cast<std::uint32_t>(StrToInt(w)) + 10u));
        SetHeight(static_cast<int>(static_cast<std::uint32_t>(StrToInt(h)) + 30u));
    }
}

void TFrmBrowser::Browser1GetExternal(browser::THostedBrowser&,
                                      std::shared_ptr<browser::Dispatch>& ppDispatch) {
    ppDispatch = context_.external ? context_.external(Handle()) : nullptr;
}

void TFrmBrowser::Browser1ShowContextMenu(browser::THostedBrowser&, std::uint32_t,
                                          const browser::Point*, void*, void*,
                                          browser::HResult& Result) {
    Result = browser::kSOk;
}

void TFrmBrowser::TitleBar1Items0Click() {
    try {
        Browser1.GoBack();
    } catch (...) {
        // No earlier page: nothing to do.
    }
}

void TFrmBrowser::TitleBar1Items1Click() {
    try {
        Browser1.GoForward();
    } catch (...) {
        // No later page: nothing to do.
    }
}

void TFrmBrowser::TitleBar1Items2Click() {
    try {
        Browser1.Refresh();
    } catch (...) {
        // A refresh the browser refuses changes nothing.
    }
}

void TFrmBrowser::WMsyscommand(std::uint32_t CmdType) {
    if (CmdType == ui::kScMaximize || CmdType == ui::kScRestore) {
        for (std::size_t i = kItemBack; i <= kItemCaption; ++i)
            TitleBar1.SetItemVisible(i, true);
    } else if (CmdType == ui::kScMinimize) {
        for (std::size_t i = kItemBack; i <= kItemCaption; ++i)
            TitleBar1.SetItemVisible(i, false);
    }
}

void TFrmBrowser::ApplicationEvents1Message(const ui::Message& Msg, bool& Handled) {
    browser::RouteKeyMessage(&Browser1, Msg, Handled);
}

}  // namespace kelvra::windows
