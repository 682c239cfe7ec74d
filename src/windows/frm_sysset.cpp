#include "windows/frm_sysset.h"

#include "app/host_helpers.h"
#include "app/ini_store.h"
#include "platform/file_system.h"
#include "ui/application.h"
#include "windows/definitions.h"

namespace kelvra::windows {

TFrmsysSet::TFrmsysSet(ui::Application& app, WindowsContext& context)
    : ui::Form(app, SysSetDefinition()),
      GroupBox1(*this, nullptr, "GroupBox1"),
      Label1(*this, &GroupBox1, "Label1"),
      edt_webroot(*this, &GroupBox1, "edt_webroot"),
      btn_save(*this, nullptr, "btn_save"),
      btn_cancel(*this, nullptr, "btn_cancel"),
      context_(context) {
    const SysSetLayout layout;
    GroupBox1.SetAlign(ui::Align::Top);
    GroupBox1.SetBounds(layout.group_box);
    GroupBox1.SetCaption(kGroupBoxCaption);
    Label1.SetBounds(layout.label);
    Label1.SetCaption(kLabelCaption);
    edt_webroot.SetBounds(layout.edit);
    edt_webroot.SetTabOrder(0);
    btn_save.SetBounds(layout.save);
    btn_save.SetCaption(kSaveCaption);
    btn_save.SetDefault(true);
    btn_save.SetTabOrder(1);
    btn_save.OnClick = [this] { btn_saveClick(); };
    btn_cancel.SetBounds(layout.cancel);
    btn_cancel.SetCaption(kCancelCaption);
    btn_cancel.SetTabOrder(2);
    btn_cancel.OnClick = [this] { btn_cancelClick(); };
    OnCreate = [this] { FormCreate(); };
}

TFrmsysSet::~TFrmsysSet() {
    if (context_.state.FrmsysSet == this)
        context_.state.FrmsysSet = nullptr;
}

void TFrmsysSet::FormCreate() {
    const std::string settings = app::GetSettingsFilePath(context_.env, context_.files);
    if (!context_.files.FileExists(settings))
        return;  // the field stays empty; it is not filled from the running web root
    try {
        app::TIniStore ini(settings, true, context_.files, context_.ansi);
        edt_webroot.SetText(ini.ReadString("SYSTEM", "webroot", context_.fallback_webroot));
    } catch (...) {
        // An unreadable file leaves the field empty.
    }
}

void TFrmsysSet::btn_saveClick() {
    const std::string dir = app::GetConfigDir(context_.env, context_.files);
    try {
        context_.files.MakeDirectory(dir);
    } catch (...) {
        // Usually it exists already; a real failure shows when the file is written.
    }
    const std::string text = edt_webroot.Text();
    {
        app::TIniStore ini(app::GetSettingsFilePath(context_.env, context_.files), true,
                           context_.files, context_.ansi);
        ini.WriteString("SYSTEM", "webroot", text);
        ini.UpdateFile();
        context_.state.WebRoot = text;
    }
    Close();
}

void TFrmsysSet::btn_cancelClick() {
    Close();
}

}  // namespace kelvra::windows
