#include "browser/hosted_browser.h"

#include "ui/application.h"
#include "ui/form.h"

namespace kelvra::browser {

THostedBrowser::THostedBrowser(ui::Form& form, std::string name, BrowserBackend& backend)
    : ui::Control(form, nullptr, std::move(name), ui::ControlKind::Browser) {
    auto control = backend.CreateControl(*this);
    control_ = control.get();
    SetPeer(std::move(control));
    SetAlign(ui::Align::Client);
    // Focus, script-error answer and Ctrl shortcuts come from the member initialisers;
    // then the download options (first notification) and user-interface options (second).
    SetDownloadOptions(DefaultDownloadOptions());
    SetUserInterfaceOptions(DefaultUserInterfaceOptions());
}

THostedBrowser::~THostedBrowser() = default;

void THostedBrowser::Navigate(const std::string& url) {
    control_->Navigate(url);
}
void THostedBrowser::GoBack() {
    control_->GoBack();
}
void THostedBrowser::GoForward() {
    control_->GoForward();
}
void THostedBrowser::Refresh() {
    control_->Refresh();
}
void THostedBrowser::Stop() {
    control_->Stop();
}

DispatchHandle THostedBrowser::Application() const {
    return control_->Application();
}
std::string THostedBrowser::LocationName() const {
    return control_->LocationName();
}
bool THostedBrowser::Busy() const {
    return control_->Busy();
}
std::shared_ptr<const HtmlDocument3> THostedBrowser::Doc3() const {
    return control_->Doc3();
}

void THostedBrowser::SetUserInterfaceOptions(const UserInterfaceOptions& options) {
    ui_options_ = options;
    ui_value_ = ComputeUserInterfaceValue(options);
    control_->AmbientPropertyChanged(kDispidAmbientDlControl);
}

void THostedBrowser::SetDownloadOptions(const DownloadOptions& options) {
    download_options_ = options;
    download_value_ = ComputeDownloadOptionValue(options);
    control_->AmbientPropertyChanged(kDispidAmbientDlControl);
}

template <class F>
void THostedBrowser::Deliver(F&& call) {
    form().app().Guard(form(), std::forward<F>(call));
}

void THostedBrowser::FireNavigateComplete2(DispatchHandle pDisp, std::string& url) {
    if (OnNavigateComplete2)
        Deliver([&] { OnNavigateComplete2(*this, pDisp, url); });
}

void THostedBrowser::FireDocumentComplete(DispatchHandle pDisp, std::string& url) {
    if (OnDocumentComplete)
        Deliver([&] { OnDocumentComplete(*this, pDisp, url); });
}

void THostedBrowser::FireNewWindow3(DispatchHandle& ppDisp, bool& cancel, std::uint32_t flags,
                                    const std::string& context, const std::string& url) {
    if (OnNewWindow3)
        Deliver([&] { OnNewWindow3(*this, ppDisp, cancel, flags, context, url); });
}

void THostedBrowser::FireCommandStateChange(std::int32_t command, bool enable) {
    if (OnCommandStateChange)
        Deliver([&] { OnCommandStateChange(*this, command, enable); });
}

}  // namespace kelvra::browser
