// The small window ExecAndWait shows while the patch program runs: owned by the
// application, centred on the screen, 300 x 170, dialog border without border icons, the
// caption given, and the message in a static text below the animation area.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "update/exec_and_wait.h"

namespace kelvra::ui {
class Application;
}

namespace kelvra::update {

inline constexpr const char* kExecAnimationClass = "TExecAnimation";
inline constexpr int kExecAnimationWidth = 300;
inline constexpr int kExecAnimationHeight = 170;
// The file-copy animation's area at (10, 10); the text sits 8 pixels below it.
inline constexpr int kAnimationLeft = 10;
inline constexpr int kAnimationTop = 10;
inline constexpr int kAnimationHeight = 60;
inline constexpr int kAnimationWidth = 272;

// The ExecHooks::animation factory for app: shows the window and lets the loop paint it.
std::function<std::unique_ptr<ExecAnimation>(const std::string&, const std::string&)>
ExecAnimationWindows(ui::Application& app);

}  // namespace kelvra::update
