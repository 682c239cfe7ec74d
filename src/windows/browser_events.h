// The browser events every browser window answers, bound to the window's handlers of the
// same names.
#pragma once

#include <cstdint>
#include <string>

#include "browser/hosted_browser.h"

namespace kelvra::windows {

// Binds Browser1's document-complete, new-window, external-object and context-menu events of
// window (TFrmMain, TFrmLogin or TFrmBrowser) to its Browser1* handlers.
template <class Window>
void BindCommonBrowserEvents(Window& window) {
    browser::THostedBrowser& browser = window.Browser1;
    browser.OnDocumentComplete = [&window](auto& s, auto d, auto& u) {
        window.Browser1DocumentComplete(s, d, u);
    };
    browser.OnNewWindow3 = [&window](auto& s, auto& p, bool& c, std::uint32_t f,
                                     const std::string& ctx, const std::string& url) {
        window.Browser1NewWindow3(s, p, c, f, ctx, url);
    };
    browser.OnGetExternal = [&window](auto& s, auto& out) { window.Browser1GetExternal(s, out); };
    browser.OnShowContextMenu = [&window](auto& s, std::uint32_t id, const browser::Point* pt,
                                          void* target, void* element, browser::HResult& result) {
        window.Browser1ShowContextMenu(s, id, pt, target, element, result);
    };
}

}  // namespace kelvra::windows
