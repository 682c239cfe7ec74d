// The WebKitGTK backend of the embedded browser port. GTK-only: the client's Linux entry
// makes the backend, and the GTK form backend packs each browser's web view.
#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "browser/browser_control.h"

namespace kelvra::browser::gtk {

struct WebKitBackendOptions {
    // The native side of window.external: a hand-off message (JSON) in, the reply (JSON)
    // out, answered while the page's call waits. Without one, pages still get window.external
    // and every hand-off is refused.
    std::function<std::string(std::string_view message)> external_handler;
    // The folder holding the web process extension that gives pages their synchronous
    // window.external call. Default: web-extensions in the executable's own folder, as
    // installed and as built.
    std::string web_extensions_dir;
    // Opens an address that a new-window request left to the platform (no window took it
    // and it was not cancelled). Default: the desktop's default browser.
    std::function<void(const std::string& url)> open_externally;
    // Asks where a download is saved; nullopt cancels it. Default: a GTK save dialog over
    // the browser's window.
    std::function<std::optional<std::string>(GtkWidget* view, const std::string& suggested_name)>
        choose_download_path;
};

// The first backend made in the process settles the web processes' extension folder.
std::unique_ptr<BrowserBackend> MakeBrowserBackend(WebKitBackendOptions options = {});

// The WebKitWebView of a browser made by this backend, for packing into its form; null when
// the browser's control comes from another backend.
GtkWidget* WidgetOf(const THostedBrowser& browser);

}  // namespace kelvra::browser::gtk
