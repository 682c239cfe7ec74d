#include "windows/definitions.h"

#include <string>

namespace kelvra::windows {

using browser::TUserInterfaceOption;

ui::FormDefinition MainDefinition() {
    ui::FormDefinition d;
    d.class_name = "TFrmMain";
    d.caption = kMainCaption;
    d.border = ui::BorderStyle::Sizeable;
    d.icons = {true, true, true};
    d.client_width = 806;
    d.client_height = 508;
    d.position = ui::FormPosition::ScreenCenter;
    d.state = ui::WindowState::Maximized;
    return d;
}

ui::FormDefinition LoginDefinition() {
    ui::FormDefinition d;
    d.class_name = "TFrmLogin";
    d.caption = kMainCaption;
    d.border = ui::BorderStyle::Dialog;
    d.icons = {true, false, false};
    d.client_width = 800;
    d.client_height = 460;
    d.position = ui::FormPosition::MainFormCenter;
    return d;
}

ui::FormDefinition BrowserDefinition() {
    ui::FormDefinition d;
    d.class_name = "TFrmBrowser";
    d.caption = "FrmBrowser";
    d.border = ui::BorderStyle::Sizeable;
    d.icons = {true, true, false};
    d.client_width = 962;
    d.client_height = 710;
    d.position = ui::FormPosition::MainFormCenter;
    return d;
}

ui::FormDefinition SysSetDefinition() {
    ui::FormDefinition d;
    d.class_name = "TFrmsysSet";
    d.caption = "系统设置";
    d.border = ui::BorderStyle::Dialog;
    d.icons = {true, false, false};
    d.client_width = 464;
    d.client_height = 153;
    d.position = ui::FormPosition::MainFormCenter;
    return d;
}

browser::UserInterfaceOptions MainBrowserOptions() {
    return {TUserInterfaceOption::DontUse3DBorders, TUserInterfaceOption::DontUseScrollBars,
            TUserInterfaceOption::EnablesFormsAutoComplete, TUserInterfaceOption::EnableThemes};
}

browser::UserInterfaceOptions PopupBrowserOptions() {
    auto options = MainBrowserOptions();
    options.Include(TUserInterfaceOption::ForceFlatScrollBars);
    return options;
}

std::vector<ui::TitleBarItem> LoginTitleBarItems() {
    ui::TitleBarItem caption;
    caption.name = "Items0";
    caption.style = ui::TitleBarItemStyle::Info;
    caption.caption = "Kelvra教育云";
    caption.height = 23;
    caption.width = 66;
    caption.skin_section = "FORMTITLE";
    ui::TitleBarItem settings;
    settings.name = "Items1";
    settings.style = ui::TitleBarItemStyle::Button;
    settings.align_right = true;
    settings.height = 22;
    settings.width = 16;
    settings.skin_section = "TOOLBUTTON";
    settings.hint = "系统设置";
    settings.show_hint = true;
    return {caption, settings};
}

std::vector<ui::TitleBarItem> BrowserTitleBarItems() {
    auto button = [](const char* name, const char* hint) {
        ui::TitleBarItem item;
        item.name = name;
        item.style = ui::TitleBarItemStyle::Button;
        item.height = 22;
        item.width = 16;
        item.hint = hint;
        item.show_hint = true;
        return item;
    };
    ui::TitleBarItem caption;
    caption.name = "tle_caption";
    caption.style = ui::TitleBarItemStyle::Info;
    caption.caption = kMainCaption;
    caption.skin_section = "FORMTITLE";
    caption.glow = true;
    caption.width = 90;
    caption.height = 23;
    return {button("tle_btn_back", "后退"), button("tle_btn_foward", "前进"),
            button("tle_btn_reflash", "刷新"), caption};
}

UpdateEngineProperties LoginUpdateEngineProperties(const std::string& update_host) {
    UpdateEngineProperties p;
    p.Agent = "KelvraUpdate";
    p.URL = "http://" + update_host + "/kelvraeduclient/update.inf";
    p.Version = "2.1.4.0";
    p.TimeOut = 3000;
    p.Logging = true;
    p.LogFileName = "KUPDATE.LOG";
    p.TempDirectory = ".";
    p.Signature = "KelvraUpdate";
    p.DateFormat = "dd/mm/yyyy";
    p.DateSeparator = '/';
    p.TimeFormat = "hh:nn";
    p.TimeSeparator = ':';
    p.PostUpdateInfoEnabled = false;
    return p;
}

}  // namespace kelvra::windows
