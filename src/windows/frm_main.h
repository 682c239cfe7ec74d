// TFrmMain: the maximised main window with the teacher home page. Its creation runs the
// start of every run; a landing on the login page runs the login window again.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "browser/hosted_browser.h"
#include "ui/form.h"
#include "windows/context.h"

namespace kelvra::windows {

class TFrmMain final : public ui::Form {
  public:
    TFrmMain(ui::Application& app, WindowsContext& context);

    browser::THostedBrowser Browser1;

    void FormCreate();
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
    // Hides every popup window and releases it.
    void CloseBrowserWin();
    void ApplicationEvents1Message(const ui::Message& Msg, bool& Handled);

  private:
    // Creates a login window, runs it modally on the login page.
    void RunLoginWindow();

    WindowsContext& context_;
};

}  // namespace kelvra::windows
