// One browser control over a WebKitWebView: operations, properties, load events for the top
// document and (through the frame reporter) for frames, new windows, command state, context
// menus, Ctrl shortcuts, the external object, downloads and the wheel rule.
#pragma once

#include <webkit2/webkit2.h>

#include <memory>
#include <string>
#include <string_view>

#include "browser/gtk/crash_recovery.h"
#include "browser/gtk/webkit_backend.h"
#include "browser/hosted_browser.h"

namespace kelvra::browser::gtk {

class WebKitBrowser final : public BrowserControl {
  public:
    WebKitBrowser(THostedBrowser& owner, const WebKitBackendOptions& options);
    ~WebKitBrowser() override;
    WebKitBrowser(const WebKitBrowser&) = delete;
    WebKitBrowser& operator=(const WebKitBrowser&) = delete;

    GtkWidget* Widget() const { return GTK_WIDGET(view_); }
    THostedBrowser& owner() const { return owner_; }
    // The live browser whose web view (or Application handle) this is, or null.
    static WebKitBrowser* FromView(const void* view);

    void Sync() override;
    void Navigate(const std::string& url) override;
    void GoBack() override;
    void GoForward() override;
    void Refresh() override;
    void Stop() override;
    DispatchHandle Application() const override { return view_; }
    std::string LocationName() const override;
    bool Busy() const override;
    std::shared_ptr<const HtmlDocument3> Doc3() const override;
    void AmbientPropertyChanged(std::int32_t dispid) override;
    // Keys reach the web view through GTK's own dispatch; the document-host key rules run
    // in its key handler, so nothing is translated here.
    bool IsDialogMessage(const ui::Message&) override { return false; }
    bool HasInPlaceActiveObject() const override { return true; }
    void TranslateAccelerator(const ui::Message&) override {}

    // A page's window.external call from the web process: the reply of the external handler
    // of the browser showing that page, or a refusal when it has no external object.
    static std::string AnswerExternal(std::uint64_t page, std::string_view message);

    // Called by the backend's download watcher for downloads of this view.
    void DownloadStarted(WebKitDownload* download);

  private:
    static void OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer self);
    static gboolean OnLoadFailed(WebKitWebView* view, WebKitLoadEvent event, gchar* uri,
                                 GError* error, gpointer self);
    static GtkWidget* OnCreate(WebKitWebView* view, WebKitNavigationAction* action, gpointer self);
    static gboolean OnDecidePolicy(WebKitWebView* view, WebKitPolicyDecision* decision,
                                   WebKitPolicyDecisionType type, gpointer self);
    static gboolean OnContextMenu(WebKitWebView* view, WebKitContextMenu* menu, GdkEvent* event,
                                  WebKitHitTestResult* hit, gpointer self);
    static gboolean OnKeyPress(GtkWidget* view, GdkEventKey* event, gpointer self);
    static gboolean OnScroll(GtkWidget* view, GdkEventScroll* event, gpointer self);
    static void OnHistoryChanged(WebKitBackForwardList* list, WebKitBackForwardListItem* added,
                                 gpointer removed, gpointer self);
    static void OnFrameMessage(WebKitUserContentManager* manager, WebKitJavascriptResult* result,
                               gpointer self);
    static void OnWebProcessTerminated(WebKitWebView* view,
                                       WebKitWebProcessTerminationReason reason, gpointer self);

    void NewWindowRequested(const std::string& url, std::uint32_t flags);
    void ReportCommandState();
    void AskForExternal();
    void ApplyHostFlags();

    THostedBrowser& owner_;
    const WebKitBackendOptions& options_;
    WebKitUserContentManager* content_ = nullptr;
    WebKitWebView* view_ = nullptr;
    WebKitUserScript* external_script_ = nullptr;
    WebKitUserStyleSheet* no_scroll_bars_ = nullptr;
    bool scroll_bars_hidden_ = false;
    bool external_installed_ = false;
    std::shared_ptr<Dispatch> external_;  // the object of the current document
    // While a new-window request is handled: the requesting page as it was (see Doc3).
    std::shared_ptr<const HtmlDocument3> requesting_document_;
    bool load_failed_ = false;
    std::string loaded_title_;        // the top document's title as the page reported it
    std::string last_requested_;      // the address of the last Navigate
    bool awaiting_start_ = false;     // Navigate asked, its load not started yet
    bool stop_before_start_ = false;  // Stop came while awaiting_start_
    CrashRecovery crash_recovery_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace kelvra::browser::gtk
