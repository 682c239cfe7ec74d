// TFrmLogin: the fixed-size login window on the site's own login page. Reaching a teacher
// or student address ends its modal run; closing it otherwise ends the application.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "browser/hosted_browser.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "windows/context.h"

namespace kelvra::windows {

class TFrmLogin final : public ui::Form {
  public:
    TFrmLogin(ui::Application& app, WindowsContext& context);

    browser::THostedBrowser Browser1;
    ui::TitleBar TitleBar1;
    ui::Timer timer_update;
    std::unique_ptr<UpdateChecker> UpdateEngine1;  // null when the build has no engine

    void FormCreate();
    void FormClose(ui::CloseAction& Action);
    void Browser1NavigateComplete2(browser::THostedBrowser& ASender, browser::DispatchHandle pDisp,
                                   std::string& URL);
    void Browser1DocumentComplete(browser::THostedBrowser& ASender, browser::DispatchHandle pDisp,
                                  std::string& URL);
    void Browser1NewWindow3(browser::THostedBrowser& ASender, browser::DispatchHandle& ppDisp,
                            bool& Cancel, std::uint32_t dwFlags, const std::string& bstrUrlContext,
                            const std::string& bstrUrl);
    void Browser1GetExternal(browser::THostedBrowser& Sender,
                             std::shared_ptr<browser::Dispatch>& ppDispatch);
    void Browser1ShowContextMenu(browser::THostedBrowser& Sender, std::uint32_t dwID,
                                 const browser::Point* ppt, void* CommandTarget, void* Context,
                                 browser::HResult& Result);
    // The settings item of the title bar.
    void TitleBar1Items0Click();
    // The update check and the hand-off to the updater (once per login window).
    void timer_updateTimer();
    void ApplicationEvents1Message(const ui::Message& Msg, bool& Handled);

  private:
    WindowsContext& context_;
};

}  // namespace kelvra::windows
