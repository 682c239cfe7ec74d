// The popup-size query: the size a page's anchor gives a popup, as a carrier address.
#pragma once

#include <string>
#include <string_view>

#include "browser/anchor_list.h"

namespace kelvra::browser {

class THostedBrowser;

// Host of the size carrier text; never contacted.
inline constexpr const char* kPopupSizeHost = "popup.kelvra.invalid";

// The size carrier text for the last anchor whose href equals address exactly, or "".
// A matching anchor without "fwidth" or "fheight" empties the result. anchors is the
// document's "a" elements; null (no HTML document) throws Error.
std::string QueryPopupSize(const AnchorList* anchors, std::string_view address);

// The query over the browser's anchors ("a" elements of Doc3). A browser with no HTML
// document, or a failing element query, raises Error.
std::string QueryPopupSize(const THostedBrowser& browser, std::string_view address);

}  // namespace kelvra::browser
