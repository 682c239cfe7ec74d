#include "ui/form.h"

#include <algorithm>

#include "ui/application.h"
#include "ui/controls.h"

namespace kelvra::ui {

Form::Form(Application& app, const FormDefinition& definition)
    : app_(app), definition_(definition), caption_(definition.caption) {
    native_ = app_.backend().CreateForm(*this);
    const Rect extra = native_->FrameExtra();
    bounds_.width = definition.client_width + extra.width;
    bounds_.height = definition.client_height + extra.height;
    state_ = definition.state;
    native_->Sync();
}

Form::~Form() {
    app_.ReleaseMessageHook(this);
    // Controls and timers are members of the derived class and are gone by now.
    native_.reset();
}

void Form::SetCaption(std::string caption) {
    caption_ = std::move(caption);
    native_->Sync();
}

void Form::SetWidth(int width) {
    bounds_.width = width;
    native_->Sync();
}

void Form::SetHeight(int height) {
    bounds_.height = height;
    native_->Sync();
}

int Form::ClientWidth() const {
    return bounds_.width - native_->FrameExtra().width;
}
int Form::ClientHeight() const {
    return bounds_.height - native_->FrameExtra().height;
}

void Form::SetClientSize(int width, int height) {
    const Rect extra = native_->FrameExtra();
    bounds_.width = width + extra.width;
    bounds_.height = height + extra.height;
    native_->Sync();
}

void Form::SetPosition(int left, int top) {
    bounds_.left = left;
    bounds_.top = top;
    native_->Sync();
}

void Form::SetState(WindowState state) {
    state_ = state;
    native_->Sync();
}

void Form::PlaceOnFirstShow() {
    if (shown_once_)
        return;
    shown_once_ = true;
    Rect area = app_.backend().Screen();
    Form* main = app_.MainForm();
    switch (definition_.position) {
        case FormPosition::Designed:
            return;
        case FormPosition::MainFormCenter:
            if (main != nullptr && main != this)
                area = main->State() == WindowState::Maximized ? app_.backend().Screen()
                                                               : main->Bounds();
            break;
        case FormPosition::ScreenCenter:
            break;
    }
    bounds_.left = area.left + (area.width - bounds_.width) / 2;
    bounds_.top = area.top + (area.height - bounds_.height) / 2;
}

void Form::Show() {
    PlaceOnFirstShow();
    visible_ = true;
    native_->Sync();
}

void Form::Hide() {
    visible_ = false;
    native_->Sync();
}

ModalResult Form::ShowModal() {
    // Released meanwhile, the form waits for this run to return before it is destroyed.
    Application::RunningHandler running(app_, this);
    modal_ = true;
    modal_result_ = ModalResult::None;
    Show();
    app_.backend().RunModalLoop(
        app_, [this] { return modal_result_ != ModalResult::None || app_.Terminated(); });
    ModalResult result = modal_result_;
    if (result == ModalResult::None)
        result = ModalResult::Cancel;  // ended by a terminate request
    modal_ = false;
    modal_result_ = ModalResult::None;
    Hide();
    return result;
}

void Form::SetModalResult(ModalResult result) {
    modal_result_ = result;
    app_.backend().WakeUp();
}

void Form::Close() {
    CloseAction action = CloseAction::Hide;
    if (OnClose)
        OnClose(action);
    if (action == CloseAction::None)
        return;
    if (modal_) {
        SetModalResult(ModalResult::Cancel);
        return;
    }
    if (app_.MainForm() == this) {
        app_.Terminate();
        return;
    }
    switch (action) {
        case CloseAction::Hide:
            Hide();
            break;
        case CloseAction::Minimize:
            SetState(WindowState::Minimized);
            break;
        case CloseAction::Free:
            Hide();
            app_.ReleaseForm(this);
            break;
        case CloseAction::None:
            break;
    }
}

void Form::SysCommand(std::uint32_t command) {
    if (OnSysCommand)
        app_.Guard(*this, [&] { OnSysCommand(command); });
    switch (command & 0xFFF0u) {
        case kScMinimize:
            SetState(WindowState::Minimized);
            break;
        case kScMaximize:
            SetState(WindowState::Maximized);
            break;
        case kScRestore:
            SetState(WindowState::Normal);
            break;
        default:
            break;
    }
}

void Form::PressDefaultButton() {
    for (Control* control : controls_) {
        if (control->Kind() != ControlKind::Button)
            continue;
        auto* button = static_cast<Button*>(control);
        if (button->IsDefault() && button->Visible() && button->Enabled()) {
            button->Click();
            return;
        }
    }
}

Control* Form::FindControl(const std::string& name) const {
    for (Control* control : controls_)
        if (control->Name() == name)
            return control;
    return nullptr;
}

}  // namespace kelvra::ui
