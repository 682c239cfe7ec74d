// Names and constants that identify the client.
#pragma once

namespace kelvra::app {

inline constexpr const char* kApplicationTitle = "Kelvra教学云客户端";
inline constexpr const char* kSingleInstanceMutex = "KelvraCloudApp";
inline constexpr const char* kSingleInstanceMessage = "已经有一个Kelvra教学云客户端在运行了!";

}  // namespace kelvra::app
