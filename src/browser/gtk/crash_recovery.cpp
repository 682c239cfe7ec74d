#include "browser/gtk/crash_recovery.h"

namespace kelvra::browser::gtk {
namespace {

std::string EscapeHtml(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

}  // namespace

CrashRecovery::Action CrashRecovery::OnTerminated(std::chrono::steady_clock::time_point now) {
    if (last_reload_ && now - *last_reload_ < kSoon)
        return Action::ShowCrashPage;
    last_reload_ = now;
    return Action::Reload;
}

std::string CrashPageHtml(const std::string& address) {
    return std::string("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>") +
           kCrashPageTitle +
           "</title><style>body{font-family:sans-serif;margin:0;color:#223;background:#fff}"
           "a{position:absolute;left:24px;top:24px;width:160px;height:40px;line-height:40px;"
           "text-align:center;border:1px solid #9ab;border-radius:4px;color:#1f5fa8;"
           "text-decoration:none}p{position:absolute;left:24px;top:72px;margin:0}</style>"
           "</head><body><a id=\"reload\" href=\"" +
           EscapeHtml(address) +
           "\">重新加载</a><p>显示此页面的进程意外结束了，重新加载后仍然如此。</p>"
           "</body></html>";
}

}  // namespace kelvra::browser::gtk
