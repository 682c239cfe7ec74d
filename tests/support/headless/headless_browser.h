// A headless backend of the browser port. Tests play the browser: complete navigations
// (top document or frame), set the document's anchors, raise new-window requests, and
// read back what the windows asked of their browsers.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "browser/browser_control.h"
#include "browser/hosted_browser.h"
#include "headless_ui.h"

namespace kelvra::headless {

struct Anchor {
    std::optional<std::string> href;  // nullopt: the element has no "href"
    std::map<std::string, std::string> properties;
};

class HeadlessBrowserBackend;

class HeadlessBrowser final : public browser::BrowserControl {
  public:
    HeadlessBrowser(HeadlessBrowserBackend& backend, browser::THostedBrowser& owner);
    ~HeadlessBrowser() override;

    // The port.
    void Sync() override {}
    void Navigate(const std::string& url) override;
    void GoBack() override;
    void GoForward() override;
    void Refresh() override;
    void Stop() override;
    browser::DispatchHandle Application() const override {
        return const_cast<HeadlessBrowser*>(this);
    }
    std::string LocationName() const override;
    bool Busy() const override { return busy; }
    std::shared_ptr<const browser::HtmlDocument3> Doc3() const override;
    void AmbientPropertyChanged(std::int32_t dispid) override;
    bool IsDialogMessage(const ui::Message& message) override;
    bool HasInPlaceActiveObject() const override { return in_place_active; }
    void TranslateAccelerator(const ui::Message& message) override;

    // Test side.
    browser::THostedBrowser& owner() const { return owner_; }
    std::string Label() const;  // "<form class>.<browser name>"
    // The last address asked for by Navigate (or reached by back / forward / refresh).
    const std::string& pending() const { return pending_; }
    const std::vector<std::string>& navigations() const { return navigations_; }
    // A finished navigation: history entry (top document only), document title, then
    // NavigateComplete2 and DocumentComplete, and the back / forward command states.
    void Complete(const std::string& url, const std::string& title = "", bool frame = false);
    // Completes the pending navigation.
    void CompletePending(const std::string& title = "");
    void SetAnchors(std::vector<Anchor> anchors);
    void SetNoDocument();
    // Raises NewWindow3 as the platform does (target null, cancel false on entry).
    struct NewWindowAnswer {
        browser::DispatchHandle target = nullptr;
        bool cancel = false;
    };
    NewWindowAnswer RequestNewWindow(const std::string& url, const std::string& context = "");

    bool busy = false;
    bool dialog_message_handles = true;
    bool in_place_active = true;
    std::optional<browser::HResult> fail_navigation;  // next Navigate throws with this code
    std::vector<ui::Message> translated;
    int ambient_notifications = 0;
    std::string title;

  private:
    HeadlessBrowserBackend& backend_;
    browser::THostedBrowser& owner_;
    std::string pending_;
    std::vector<std::string> navigations_;
    std::vector<std::string> history_;
    int position_ = -1;
    std::shared_ptr<browser::HtmlDocument3> document_;
};

class HeadlessBrowserBackend final : public browser::BrowserBackend {
  public:
    explicit HeadlessBrowserBackend(HeadlessUi& ui) : ui_(ui) {}
    std::unique_ptr<browser::BrowserControl> CreateControl(browser::THostedBrowser& b) override;

    HeadlessUi& ui() const { return ui_; }
    // Live browsers in creation order.
    const std::vector<HeadlessBrowser*>& browsers() const { return browsers_; }
    // The index-th live browser on a form of that class (creation order), or null.
    HeadlessBrowser* Find(const std::string& form_class, std::size_t index = 0) const;
    // The peer of a hosted browser.
    static HeadlessBrowser& Of(const browser::THostedBrowser& browser);
    void Forget(HeadlessBrowser* browser);
    void Adopt(HeadlessBrowser* browser) { browsers_.push_back(browser); }

  private:
    HeadlessUi& ui_;
    std::vector<HeadlessBrowser*> browsers_;
};

}  // namespace kelvra::headless
