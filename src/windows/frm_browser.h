// TFrmBrowser: a popup window showing one page a platform page opened as a new window,
// with back, forward and refresh buttons and the page title in its title bar.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "browser/hosted_browser.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "windows/context.h"

namespace kelvra::windows {

// Title bar item indexes.
inline constexpr std::size_t kItemBack = 0;     // tle_btn_back
inline constexpr std::size_t kItemForward = 1;  // tle_btn_foward
inline constexpr std::size_t kItemRefresh = 2;  // tle_btn_reflash
inline constexpr std::size_t kItemCaption = 3;  // tle_caption
inline constexpr std::size_t kTitleCaptionUnits = 50;

class TFrmBrowser final : public ui::Form {
  public:
    TFrmBrowser(ui::Application& app, WindowsContext& context);
    // A closed popup destroys itself; the shared reference must not outlive it.
    ~TFrmBrowser() override;

    browser::THostedBrowser Browser1;
    ui::TitleBar TitleBar1;

    void FormCreate();
    void FormClose(ui::CloseAction& Action);
    void Browser1CommandStateChange(browser::THostedBrowser& ASender, std::int32_t Command,
                                    bool Enable);
    void Browser1DocumentComplete(browser::THostedBrowser& ASender, browser::DispatchHandle pDisp,
                                  std::string& URL);
    void Browser1FileDownload(browser::THostedBrowser& Sender,
                              const browser::FileDownloadRequest& request,
                              browser::HResult& Rezult);
    void Browser1NewWindow3(browser::THostedBrowser& ASender, browser::DispatchHandle& ppDisp,
                            bool& Cancel, std::uint32_t dwFlags, const std::string& bstrUrlContext,
                            const std::string& bstrUrl);
    void Browser1GetExternal(browser::THostedBrowser& Sender,
                             std::shared_ptr<browser::Dispatch>& ppDispatch);
    void Browser1ShowContextMenu(browser::THostedBrowser& Sender, std::uint32_t dwID,
                                 const browser::Point* ppt, void* CommandTarget, void* Context,
                                 browser::HResult& Result);
    void TitleBar1Items0Click();
    void TitleBar1Items1Click();
    void TitleBar1Items2Click();
    void WMsyscommand(std::uint32_t CmdType);
    void ApplicationEvents1Message(const ui::Message& Msg, bool& Handled);

  private:
    WindowsContext& context_;
};

// The first units UTF-16 code units of text (a surrogate pair is never split).
std::string FirstUtf16Units(const std::string& text, std::size_t units);

}  // namespace kelvra::windows
