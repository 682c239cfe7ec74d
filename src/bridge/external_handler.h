// The native side of window.external on Linux. The injected page script answers the
// property and every argument rule itself and posts only the hand-off, as JSON:
//   {"member":"CreateVantle","args":[{"vt":8,"text":"a"},{"vt":0},...]}
// The reply is {"ok":true} or {"ok":false,"message":"<description>"}.
#pragma once

#include <string>
#include <string_view>

namespace kelvra::bridge {

inline constexpr const char* kExternalMessageHandler = "kelvraExternal";

std::string HandleExternalMessage(std::string_view json) noexcept;

}  // namespace kelvra::bridge
