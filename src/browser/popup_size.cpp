#include "browser/popup_size.h"

#include "browser/hosted_browser.h"
#include "platform/error.h"

namespace kelvra::browser {

std::string QueryPopupSize(const AnchorList* anchors, std::string_view address) {
    if (anchors == nullptr)
        throw Error("The browser holds no HTML document");
    std::string result;
    const std::size_t count = anchors->Length();
    for (std::size_t i = 0; i < count; ++i) {
        if (anchors->Href(i) != address)
            continue;
        try {
            const std::string width = anchors->Property(i, "fwidth");
            const std::string height = anchors->Property(i, "fheight");
            result = std::string("http://") + kPopupSizeHost + "/?dd&cwidth=" + width +
                     "&cheight=" + height;
        } catch (const Error&) {
            result.clear();  // a matching link without both size attributes gives no size
        }
    }
    return result;
}

std::string QueryPopupSize(const THostedBrowser& browser, std::string_view address) {
    const auto doc = browser.Doc3();
    if (!doc)
        return QueryPopupSize(nullptr, address);  // raises: no HTML document
    const auto anchors = doc->GetElementsByTagName("a");
    return QueryPopupSize(anchors.get(), address);
}

}  // namespace kelvra::browser
