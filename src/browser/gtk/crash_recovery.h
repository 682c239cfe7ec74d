// What a browser does when the web process showing its page ends unexpectedly (a crash, the
// out-of-memory killer): it reloads the page once by itself; when the process dies again
// soon after that reload, it shows a plain page saying so, with a link that loads the page
// again.
#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace kelvra::browser::gtk {

class CrashRecovery {
  public:
    enum class Action { Reload, ShowCrashPage };
    // A death within this time of the last reload made by itself counts as "again soon".
    static constexpr std::chrono::seconds kSoon{30};

    Action OnTerminated(std::chrono::steady_clock::time_point now);

  private:
    std::optional<std::chrono::steady_clock::time_point> last_reload_;
};

inline constexpr const char* kCrashPageTitle = "页面无法显示";
// The plain page for address (which its link loads again).
std::string CrashPageHtml(const std::string& address);

}  // namespace kelvra::browser::gtk
