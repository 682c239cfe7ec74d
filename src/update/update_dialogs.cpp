#include "update/update_dialogs.h"

#include <optional>

#include "platform/text.h"
#include "ui/application.h"
#include "ui/controls.h"
#include "ui/dialog_script.h"
#include "update/profile_text.h"

namespace kelvra::update {
namespace {

ui::FormDefinition TextDialogDefinition(const char* class_name) {
    ui::FormDefinition d;
    d.class_name = class_name;
    d.border = ui::BorderStyle::Dialog;
    d.icons = {true, false, false};
    d.position = ui::FormPosition::ScreenCenter;
    return d;
}

// Outer size 400 x 400; the text box fills the client area but for the margins and the
// 60-pixel strip below it. Returns the text box bounds.
ui::Rect PlaceTextBox(ui::Form& form, ui::Memo& memo) {
    form.SetWidth(kTextDialogWidth);
    form.SetHeight(kTextDialogHeight);
    const ui::Rect box{10, 10, form.ClientWidth() - 20, form.ClientHeight() - 60};
    memo.SetBounds(box);
    return box;
}

// A radio button wide enough for its caption next to the check circle.
int RadioWidth(const std::string& caption) {
    return 20 + 6 * static_cast<int>(caption.size());
}

// The dialog seam: records the form's texts and answers it.
std::optional<ui::DialogAnswer> ScriptAnswer(const ui::DialogRequest& request) {
    ui::DialogScript* script = ui::ActiveDialogScript();
    if (script == nullptr)
        return std::nullopt;
    return script->Dialog(request);
}

}  // namespace

namespace {

// Rich text goes to the control as it is; plain text is shown decoded from its bytes.
void ShowText(ui::Memo& memo, const std::string& text) {
    if (IsRichText(text))
        memo.SetText(text, true);
    else
        memo.SetText(text::Utf16ToUtf8(DecodeStoredText(text)), false);
}

}  // namespace

bool IsRichText(std::string_view text) {
    return text.size() >= 5 && text::UpperAscii(std::string(text.substr(0, 5))) == "{\\RTF";
}

TWhatsNewForm::TWhatsNewForm(ui::Application& app, const std::string& text,
                             const WhatsNewTexts& texts)
    : ui::Form(app, TextDialogDefinition("TWhatsNewForm")) {
    SetCaption(texts.caption);
    memo_ = std::make_unique<ui::Memo>(*this, nullptr, "Memo1");
    ShowText(*memo_, text);
    const ui::Rect box = PlaceTextBox(*this, *memo_);
    const int top = box.top + box.height + 10;
    const int cancel_left = box.left + box.width - kDialogButtonWidth;
    ok_ = std::make_unique<ui::Button>(*this, nullptr, "OkButton");
    ok_->SetCaption(texts.okbtn);
    ok_->SetBounds(
        {cancel_left - 10 - kDialogButtonWidth, top, kDialogButtonWidth, kDialogButtonHeight});
    ok_->SetTabOrder(0);
    ok_->SetDefault(true);
    ok_->OnClick = [this] { SetModalResult(ui::ModalResult::Ok); };
    cancel_ = std::make_unique<ui::Button>(*this, nullptr, "CancelButton");
    cancel_->SetCaption(texts.cancelbtn);
    cancel_->SetBounds({cancel_left, top, kDialogButtonWidth, kDialogButtonHeight});
    cancel_->SetTabOrder(1);
    cancel_->OnClick = [this] { SetModalResult(ui::ModalResult::Cancel); };
}

TWhatsNewForm::~TWhatsNewForm() = default;

TEULAForm::TEULAForm(ui::Application& app, const std::string& text, const EULATexts& texts)
    : ui::Form(app, TextDialogDefinition("TEULAForm")) {
    SetCaption(texts.caption);
    memo_ = std::make_unique<ui::Memo>(*this, nullptr, "Memo1");
    ShowText(*memo_, text);
    const ui::Rect box = PlaceTextBox(*this, *memo_);
    const int top = box.top + box.height + 10;
    ok_ = std::make_unique<ui::Button>(*this, nullptr, "OkButton");
    ok_->SetCaption(texts.okbtn);
    ok_->SetBounds(
        {box.left + box.width - kDialogButtonWidth, top, kDialogButtonWidth, kDialogButtonHeight});
    ok_->SetTabOrder(0);
    ok_->SetDefault(true);
    ok_->OnClick = [this] { SetModalResult(ui::ModalResult::Ok); };
    accept_ = std::make_unique<ui::RadioButton>(*this, nullptr, "AcceptButton");
    accept_->SetCaption(texts.accept);
    const int accept_width = RadioWidth(texts.accept);
    accept_->SetBounds({10, top, accept_width, kDialogButtonHeight});
    accept_->SetTabOrder(1);
    notaccept_ = std::make_unique<ui::RadioButton>(*this, nullptr, "NotAcceptButton");
    notaccept_->SetCaption(texts.notaccept);
    notaccept_->SetBounds(
        {10 + accept_width + 20, top, RadioWidth(texts.notaccept), kDialogButtonHeight});
    notaccept_->SetTabOrder(2);
    notaccept_->SetChecked(true);
}

TEULAForm::~TEULAForm() = default;

bool AskWhatsNew(ui::Application* app, const std::string& text, const WhatsNewTexts& texts) {
    const ui::DialogRequest request{texts.caption, text, {texts.okbtn, texts.cancelbtn}, {}, {}};
    if (app == nullptr) {
        auto answer = ScriptAnswer(request);
        return answer && answer->ok;
    }
    auto& form = app->CreateForm<TWhatsNewForm>(text, texts);
    bool ok;
    if (auto answer = ScriptAnswer(request)) {
        if (answer->ok)
            form.OkButton().Click();
        else
            form.CancelButton().Click();
        ok = form.CurrentModalResult() == ui::ModalResult::Ok;
    } else {
        ok = form.ShowModal() == ui::ModalResult::Ok;
    }
    app->ReleaseForm(&form);
    return ok;
}

bool AskEULA(ui::Application* app, const std::string& text, const EULATexts& texts) {
    const ui::DialogRequest request{
        texts.caption, text, {texts.okbtn}, {texts.accept, texts.notaccept}, texts.notaccept};
    if (app == nullptr) {
        auto answer = ScriptAnswer(request);
        return answer && answer->choice == texts.accept;
    }
    auto& form = app->CreateForm<TEULAForm>(text, texts);
    if (auto answer = ScriptAnswer(request)) {
        if (answer->choice == texts.accept)
            form.AcceptButton().Click();
        else if (answer->choice == texts.notaccept)
            form.NotAcceptButton().Click();
        // Cancel closes the dialog without OK; only the choice counts either way.
        if (answer->ok)
            form.OkButton().Click();
    } else {
        form.ShowModal();
    }
    const bool accepted = form.AcceptButton().Checked();
    app->ReleaseForm(&form);
    return accepted;
}

}  // namespace kelvra::update
