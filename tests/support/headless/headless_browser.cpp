#include "headless_browser.h"

#include <algorithm>

#include "platform/error.h"
#include "ui/form.h"

namespace kelvra::headless {
namespace {

constexpr browser::HResult kEFail = static_cast<browser::HResult>(0x80004005u);

class HeadlessAnchors final : public browser::AnchorList {
  public:
    explicit HeadlessAnchors(std::vector<Anchor> anchors) : anchors_(std::move(anchors)) {}
    std::size_t Length() const override { return anchors_.size(); }
    std::string Href(std::size_t i) const override {
        if (!anchors_.at(i).href)
            throw Error("The element has no property \"href\"");
        return *anchors_[i].href;
    }
    std::string Property(std::size_t i, std::string_view name) const override {
        const auto& props = anchors_.at(i).properties;
        auto it = props.find(std::string(name));
        if (it == props.end())
            throw Error("The element has no property \"" + std::string(name) + "\"");
        return it->second;
    }

  private:
    std::vector<Anchor> anchors_;
};

class HeadlessDocument final : public browser::HtmlDocument3 {
  public:
    explicit HeadlessDocument(std::vector<Anchor> anchors) : anchors_(std::move(anchors)) {}
    std::unique_ptr<browser::AnchorList> GetElementsByTagName(std::string_view tag) const override {
        if (tag != "a")
            return std::make_unique<HeadlessAnchors>(std::vector<Anchor>{});
        return std::make_unique<HeadlessAnchors>(anchors_);
    }

  private:
    std::vector<Anchor> anchors_;
};

}  // namespace

HeadlessBrowser::HeadlessBrowser(HeadlessBrowserBackend& backend, browser::THostedBrowser& owner)
    : backend_(backend),
      owner_(owner),
      document_(std::make_shared<HeadlessDocument>(std::vector<Anchor>{})) {
    backend_.Adopt(this);
}

HeadlessBrowser::~HeadlessBrowser() {
    backend_.Forget(this);
}

std::string HeadlessBrowser::Label() const {
    return owner_.form().ClassName() + "." + owner_.Name();
}

void HeadlessBrowser::Navigate(const std::string& url) {
    if (fail_navigation) {
        const browser::HResult code = *fail_navigation;
        fail_navigation.reset();
        throw browser::BrowserError("Navigation failed", code);
    }
    pending_ = url;
    navigations_.push_back(url);
    backend_.ui().Log("navigate " + Label() + " " + url);
}

void HeadlessBrowser::GoBack() {
    if (position_ <= 0)
        throw browser::BrowserError("Unspecified error", kEFail);
    --position_;
    pending_ = history_[position_];
    backend_.ui().Log("back " + Label() + " " + pending_);
}

void HeadlessBrowser::GoForward() {
    if (position_ + 1 >= static_cast<int>(history_.size()))
        throw browser::BrowserError("Unspecified error", kEFail);
    ++position_;
    pending_ = history_[position_];
    backend_.ui().Log("forward " + Label() + " " + pending_);
}

void HeadlessBrowser::Refresh() {
    if (position_ < 0)
        throw browser::BrowserError("Unspecified error", kEFail);
    backend_.ui().Log("refresh " + Label());
}

void HeadlessBrowser::Stop() {
    backend_.ui().Log("stop " + Label());
}

std::string HeadlessBrowser::LocationName() const {
    return title;
}

std::shared_ptr<const browser::HtmlDocument3> HeadlessBrowser::Doc3() const {
    return document_;
}

void HeadlessBrowser::AmbientPropertyChanged(std::int32_t) {
    ++ambient_notifications;
}

bool HeadlessBrowser::IsDialogMessage(const ui::Message&) {
    return dialog_message_handles;
}

void HeadlessBrowser::TranslateAccelerator(const ui::Message& message) {
    translated.push_back(message);
    backend_.ui().Log("accelerator " + Label() + " " + std::to_string(message.wparam));
}

void HeadlessBrowser::Complete(const std::string& url, const std::string& page_title, bool frame) {
    if (!frame) {
        // Back / forward reach an existing entry; anything else cuts the forward history.
        if (!(position_ >= 0 && history_[position_] == url)) {
            history_.resize(static_cast<std::size_t>(position_ + 1));
            history_.push_back(url);
            position_ = static_cast<int>(history_.size()) - 1;
        }
        title = page_title;
    }
    backend_.ui().Log("complete " + Label() + " " + url + (frame ? " (frame)" : ""));
    std::string address = url;
    owner_.FireNavigateComplete2(frame ? nullptr : Application(), address);
    address = url;
    owner_.FireDocumentComplete(frame ? nullptr : Application(), address);
    if (!frame) {
        owner_.FireCommandStateChange(1, position_ + 1 < static_cast<int>(history_.size()));
        owner_.FireCommandStateChange(2, position_ > 0);
    }
}

void HeadlessBrowser::CompletePending(const std::string& page_title) {
    Complete(pending_, page_title);
}

void HeadlessBrowser::SetAnchors(std::vector<Anchor> anchors) {
    document_ = std::make_shared<HeadlessDocument>(std::move(anchors));
}

void HeadlessBrowser::SetNoDocument() {
    document_.reset();
}

HeadlessBrowser::NewWindowAnswer HeadlessBrowser::RequestNewWindow(const std::string& url,
                                                                   const std::string& context) {
    NewWindowAnswer answer;
    backend_.ui().Log("new-window " + Label() + " " + url);
    owner_.FireNewWindow3(answer.target, answer.cancel, 0, context, url);
    return answer;
}

std::unique_ptr<browser::BrowserControl> HeadlessBrowserBackend::CreateControl(
    browser::THostedBrowser& b) {
    return std::make_unique<HeadlessBrowser>(*this, b);
}

HeadlessBrowser* HeadlessBrowserBackend::Find(const std::string& form_class,
                                              std::size_t index) const {
    for (HeadlessBrowser* b : browsers_)
        if (b->owner().form().ClassName() == form_class && index-- == 0)
            return b;
    return nullptr;
}

HeadlessBrowser& HeadlessBrowserBackend::Of(const browser::THostedBrowser& browser) {
    return static_cast<HeadlessBrowser&>(browser.control());
}

void HeadlessBrowserBackend::Forget(HeadlessBrowser* browser) {
    browsers_.erase(std::remove(browsers_.begin(), browsers_.end(), browser), browsers_.end());
}

}  // namespace kelvra::headless
