#include "update/html_dialog.h"

#include <mutex>

namespace kelvra::update {
namespace {

std::mutex& HandlerMutex() {
    static std::mutex mutex;
    return mutex;
}

HtmlDialogHandler& Handler() {
    static HtmlDialogHandler handler;
    return handler;
}

}  // namespace

void SetHtmlDialogHandler(HtmlDialogHandler handler) {
    std::lock_guard lock(HandlerMutex());
    Handler() = std::move(handler);
}

void ShowHtmlDialog(ui::NativeWindow owner, const std::string& url) {
    HtmlDialogHandler handler;
    {
        std::lock_guard lock(HandlerMutex());
        handler = Handler();
    }
    if (handler)
        handler(owner, url);
    else
        PlatformHtmlDialog(owner, url);
}

}  // namespace kelvra::update
