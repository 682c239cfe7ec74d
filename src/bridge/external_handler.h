// The native side of window.external on Linux. The injected page script answers the
// property, the member names and the argument counts itself and hands CreateVantle's six
// values with their kinds over, as JSON, while the page's call waits; the kinds are judged
// here, after the no-whiteboard rule:
//   {"member":"CreateVantle","args":[{"vt":8,"text":"a"},{"vt":0},...]}
// The reply is {"ok":true} or {"ok":false,"message":"<description>"}.
#pragma once

#include <string>
#include <string_view>

namespace kelvra::bridge {

inline constexpr const char* kExternalMessageHandler = "kelvraExternal";

std::string HandleExternalMessage(std::string_view json) noexcept;

}  // namespace kelvra::bridge
