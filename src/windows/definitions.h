// The fixed definitions of the client's windows: caption, border, size, place, and the
// settings of their components.
#pragma once

#include <vector>

#include "browser/options.h"
#include "ui/backend.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "windows/ports.h"

namespace kelvra::windows {

inline constexpr const char* kMainCaption = "Kelvra教学云平台";

ui::FormDefinition MainDefinition();
ui::FormDefinition LoginDefinition();
ui::FormDefinition BrowserDefinition();
ui::FormDefinition SysSetDefinition();

// Host options of the main and login browsers, and of the popup browser.
browser::UserInterfaceOptions MainBrowserOptions();
browser::UserInterfaceOptions PopupBrowserOptions();

// Title bar items without their click handlers (the window binds those).
std::vector<ui::TitleBarItem> LoginTitleBarItems();
std::vector<ui::TitleBarItem> BrowserTitleBarItems();

// The login window's update engine.
inline constexpr unsigned kUpdateTimerInterval = 2000;
UpdateEngineProperties LoginUpdateEngineProperties(const std::string& update_host);
inline constexpr const char* kUpdateQuestion = "发现软件新的版本，是否退出当前运行程序升级？";
inline constexpr const char* kUpdateCaption = "系统提示";
inline constexpr const char* kUpdaterFile = "updater.exe";

// The settings dialog's controls.
struct SysSetLayout {
    ui::Rect group_box{0, 0, 464, 97};
    ui::Rect label{16, 48, 0, 0};
    ui::Rect edit{82, 45, 361, 21};
    ui::Rect save{280, 103, 75, 25};
    ui::Rect cancel{375, 103, 75, 25};
};
inline constexpr const char* kGroupBoxCaption = "云平台地址";
inline constexpr const char* kLabelCaption = "网站地址：";
inline constexpr const char* kSaveCaption = "保存";
inline constexpr const char* kCancelCaption = "取消";

}  // namespace kelvra::windows
