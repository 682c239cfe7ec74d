#include "update/login_prompt.h"

#include "ui/application.h"
#include "ui/controls.h"

namespace kelvra::update {
namespace {

ui::FormDefinition LoginPromptDefinition() {
    ui::FormDefinition d;
    d.class_name = "TLoginPromptForm";
    d.border = ui::BorderStyle::Dialog;
    d.icons = {true, false, false};
    d.client_width = 320;
    d.client_height = 189;
    d.position = ui::FormPosition::ScreenCenter;
    d.font_name = "MS Sans Serif";
    return d;
}

}  // namespace

TLoginPromptForm::TLoginPromptForm(ui::Application& app) : ui::Form(app, LoginPromptDefinition()) {
    // The 320 x 60 banner at the top is drawn by the backend; the controls follow below it.
    label1_ = std::make_unique<ui::Label>(*this, nullptr, "Label1");
    label1_->SetCaption("&User name: ");
    label1_->SetBounds({16, 80, 80, 13});
    edit1_ = std::make_unique<ui::Edit>(*this, nullptr, "Edit1");
    edit1_->SetBounds({104, 80, 193, 21});
    edit1_->SetTabOrder(0);
    label2_ = std::make_unique<ui::Label>(*this, nullptr, "Label2");
    label2_->SetCaption("&Password:");
    label2_->SetBounds({16, 112, 80, 13});
    edit2_ = std::make_unique<ui::Edit>(*this, nullptr, "Edit2");
    edit2_->SetBounds({104, 112, 193, 21});
    edit2_->SetPasswordChar('*');
    edit2_->SetTabOrder(1);
    button1_ = std::make_unique<ui::Button>(*this, nullptr, "Button1");
    button1_->SetCaption("OK");
    button1_->SetBounds({144, 152, 75, 25});
    button1_->SetDefault(true);
    button1_->SetTabOrder(2);
    button1_->OnClick = [this] { SetModalResult(ui::ModalResult::Ok); };
    button2_ = std::make_unique<ui::Button>(*this, nullptr, "Button2");
    button2_->SetCaption("Cancel");
    button2_->SetBounds({224, 152, 75, 25});
    button2_->SetTabOrder(3);
    button2_->OnClick = [this] { SetModalResult(ui::ModalResult::Cancel); };
}

TLoginPromptForm::~TLoginPromptForm() = default;

bool PromptLogin(ui::Application& app, const std::string& caption, std::string& user,
                 std::string& password) {
    auto& form = app.CreateForm<TLoginPromptForm>();
    form.SetCaption(caption);
    const bool ok = form.ShowModal() == ui::ModalResult::Ok;
    if (ok) {
        user = form.Edit1().Text();
        password = form.Edit2().Text();
    }
    app.ReleaseForm(&form);
    return ok;
}

}  // namespace kelvra::update
