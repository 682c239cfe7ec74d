// The popup-size query over a browser's current document.
#pragma once

#include <string>
#include <string_view>

#include "app/host_helpers.h"

namespace kelvra::browser {

class THostedBrowser;

// app::QueryPopupSize over the browser's anchors ("a" elements of Doc3). A browser with no
// HTML document, or a failing element query, raises Error.
std::string QueryPopupSize(const THostedBrowser& browser, std::string_view address);

}  // namespace kelvra::browser
