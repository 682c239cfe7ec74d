// TFrmsysSet: the settings dialog that edits the web root in the settings file.
#pragma once

#include "ui/controls.h"
#include "ui/form.h"
#include "windows/context.h"

namespace kelvra::windows {

class TFrmsysSet final : public ui::Form {
  public:
    TFrmsysSet(ui::Application& app, WindowsContext& context);
    ~TFrmsysSet() override;

    ui::GroupBox GroupBox1;
    ui::Label Label1;
    ui::Edit edt_webroot;
    ui::Button btn_save;
    ui::Button btn_cancel;

    void FormCreate();
    void btn_saveClick();
    void btn_cancelClick();

  private:
    WindowsContext& context_;
};

}  // namespace kelvra::windows
