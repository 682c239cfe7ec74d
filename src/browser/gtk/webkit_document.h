// Doc3 over a WebKitWebView: element queries run as script in the host's world and are
// awaited on a nested turn of the GTK main loop, with a deadline.
#pragma once

#include <webkit2/webkit2.h>

#include <chrono>
#include <memory>

#include "browser/browser_control.h"

namespace kelvra::browser::gtk {

inline constexpr std::chrono::milliseconds kDocumentQueryTimeout{5000};

// The current document of view; the query raises Error when the page holds no HTML
// document, does not answer in time, or the view is gone.
std::shared_ptr<const HtmlDocument3> MakeWebKitDocument(WebKitWebView* view);
// The current document of view with its links ("a" elements) read at once: later queries
// for links answer from that reading (or raise its error), whatever the view shows by
// then; other tags are queried live.
std::shared_ptr<const HtmlDocument3> SnapshotWebKitDocument(WebKitWebView* view);

}  // namespace kelvra::browser::gtk
