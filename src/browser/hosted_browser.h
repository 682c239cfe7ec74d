// THostedBrowser: the embedded browser every browser window places on itself. Operations,
// properties and events as the windows use them; in/out event arguments are references
// the handler writes and the caller reads back.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "browser/browser_control.h"
#include "browser/options.h"
#include "ui/controls.h"

namespace kelvra::browser {

struct Point {
    int x = 0;
    int y = 0;
};

// Arguments of a download offered to the host; the pointers are the platform's own.
struct FileDownloadRequest {
    void* pmk = nullptr;
    void* pbc = nullptr;
    std::uint32_t dwBindVerb = 0;
    std::uint32_t grfBINDF = 0;
    void* pBindInfo = nullptr;
    std::string pszHeaders;
    std::string pszRedir;
    std::uint32_t uiCP = 0;
};

inline constexpr std::int32_t kDispidAmbientDlControl = -5512;
inline constexpr std::int32_t kDispidAmbientUserMode = -709;
inline constexpr std::int32_t kDispidAmbientUserAgent = -5513;

class THostedBrowser final : public ui::Control {
  public:
    THostedBrowser(ui::Form& form, std::string name, BrowserBackend& backend);
    ~THostedBrowser() override;

    // Operations; a failing control call raises BrowserError.
    void Navigate(const std::string& url);
    void GoBack();
    void GoForward();
    void Refresh();
    void Stop();

    DispatchHandle Application() const;
    std::string LocationName() const;
    bool Busy() const;
    std::shared_ptr<const HtmlDocument3> Doc3() const;

    // Option properties.
    const UserInterfaceOptions& GetUserInterfaceOptions() const { return ui_options_; }
    void SetUserInterfaceOptions(const UserInterfaceOptions& options);
    std::uint32_t UserInterfaceValue() const { return ui_value_; }
    const DownloadOptions& GetDownloadOptions() const { return download_options_; }
    void SetDownloadOptions(const DownloadOptions& options);
    std::uint32_t DownloadOptionValue() const { return download_value_; }
    std::string DisableCtrlShortcuts = "N";
    TScriptErrorAction ScriptErrorAction = TScriptErrorAction::eaContinue;
    bool CanGrabFocus = true;
    bool DesignMode = false;

    // Events bound by the windows.
    std::function<void(THostedBrowser& ASender, DispatchHandle pDisp, std::string& URL)>
        OnNavigateComplete2;
    std::function<void(THostedBrowser& ASender, DispatchHandle pDisp, std::string& URL)>
        OnDocumentComplete;
    std::function<void(THostedBrowser& ASender, DispatchHandle& ppDisp, bool& Cancel,
                       std::uint32_t dwFlags, const std::string& bstrUrlContext,
                       const std::string& bstrUrl)>
        OnNewWindow3;
    std::function<void(THostedBrowser& ASender, std::int32_t Command, bool Enable)>
        OnCommandStateChange;
    std::function<void(THostedBrowser& Sender, const FileDownloadRequest& request, HResult& Rezult)>
        OnFileDownload;
    std::function<void(THostedBrowser& Sender, std::shared_ptr<Dispatch>& ppDispatch)>
        OnGetExternal;
    std::function<void(THostedBrowser& Sender, std::uint32_t dwID, const Point* ppt,
                       void* CommandTarget, void* Context, HResult& Result)>
        OnShowContextMenu;
    std::function<void(THostedBrowser& Sender, const ui::Message& lpMsg, bool& Done)>
        OnTranslateAccelerator;

    // Delivery from the control. A bound handler runs synchronously; an error it raises is
    // shown through the application's error display and does not reach the control.
    void FireNavigateComplete2(DispatchHandle pDisp, std::string& url);
    void FireDocumentComplete(DispatchHandle pDisp, std::string& url);
    void FireNewWindow3(DispatchHandle& ppDisp, bool& cancel, std::uint32_t flags,
                        const std::string& context, const std::string& url);
    void FireCommandStateChange(std::int32_t command, bool enable);

    BrowserControl& control() const { return *control_; }

  private:
    template <class F>
    void Deliver(F&& call);

    BrowserControl* control_ = nullptr;  // owned as the control's peer
    UserInterfaceOptions ui_options_;
    std::uint32_t ui_value_ = 0;
    DownloadOptions download_options_;
    std::uint32_t download_value_ = 0;
};

}  // namespace kelvra::browser
