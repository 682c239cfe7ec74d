#include "browser/popup_size.h"

#include "browser/hosted_browser.h"

namespace kelvra::browser {

std::string QueryPopupSize(const THostedBrowser& browser, std::string_view address) {
    const auto doc = browser.Doc3();
    if (!doc)
        return app::QueryPopupSize(nullptr, address);  // raises: no HTML document
    const auto anchors = doc->GetElementsByTagName("a");
    return app::QueryPopupSize(anchors.get(), address);
}

}  // namespace kelvra::browser
