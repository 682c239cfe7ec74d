#include "ui/controls.h"

#include <algorithm>

#include "ui/application.h"
#include "ui/form.h"

namespace kelvra::ui {

Control::Control(Form& form, Control* parent, std::string name, ControlKind kind)
    : form_(form), parent_(parent), name_(std::move(name)), kind_(kind) {
    form_.controls_.push_back(this);
}

Control::~Control() {
    auto& list = form_.controls_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void Control::SyncPeer() {
    if (peer_)
        peer_->Sync();
}

void Control::SetBounds(const Rect& bounds) {
    bounds_ = bounds;
    SyncPeer();
}

void Control::SetAlign(Align align) {
    align_ = align;
    SyncPeer();
}

void Control::SetCaption(std::string caption) {
    caption_ = std::move(caption);
    SyncPeer();
}

void Control::SetVisible(bool visible) {
    visible_ = visible;
    SyncPeer();
}

void Control::SetEnabled(bool enabled) {
    enabled_ = enabled;
    SyncPeer();
}

Edit::Edit(Form& form, Control* parent, std::string name)
    : Control(form, parent, std::move(name), ControlKind::Edit) {
    SetPeer(form.app().backend().CreateControl(*this));
}

std::string Edit::Text() const {
    if (peer())
        if (auto typed = peer()->ReadText())
            return *typed;
    return text_;
}

void Edit::SetText(std::string text) {
    text_ = std::move(text);
    SyncPeer();
}

void Edit::SetPasswordChar(char c) {
    password_char_ = c;
    SyncPeer();
}

Memo::Memo(Form& form, Control* parent, std::string name)
    : Control(form, parent, std::move(name), ControlKind::Memo) {
    SetPeer(form.app().backend().CreateControl(*this));
}

void Memo::SetText(std::string text, bool rich) {
    text_ = std::move(text);
    rich_ = rich;
    SyncPeer();
}

RadioButton::RadioButton(Form& form, Control* parent, std::string name)
    : Control(form, parent, std::move(name), ControlKind::RadioButton) {
    SetPeer(form.app().backend().CreateControl(*this));
}

bool RadioButton::Checked() const {
    if (peer())
        if (auto state = peer()->ReadChecked())
            return *state;
    return checked_;
}

void RadioButton::SetChecked(bool checked) {
    if (checked) {
        for (Control* c : form().Controls()) {
            if (c != this && c->Kind() == ControlKind::RadioButton && c->parent() == parent()) {
                auto* sibling = static_cast<RadioButton*>(c);
                sibling->checked_ = false;
                sibling->SyncPeer();
            }
        }
    }
    checked_ = checked;
    SyncPeer();
}

void RadioButton::Click() {
    if (Enabled() && Visible())
        SetChecked(true);
}

ProgressBar::ProgressBar(Form& form, Control* parent, std::string name)
    : Control(form, parent, std::move(name), ControlKind::ProgressBar) {
    SetPeer(form.app().backend().CreateControl(*this));
}

void ProgressBar::SetRange(int min, int max) {
    min_ = min;
    max_ = max < min ? min : max;
    position_ = std::clamp(position_, min_, max_);
    SyncPeer();
}

void ProgressBar::SetPosition(int position) {
    position_ = std::clamp(position, min_, max_);
    SyncPeer();
}

Animation::Animation(Form& form, Control* parent, std::string name)
    : Control(form, parent, std::move(name), ControlKind::Animation) {
    SetPeer(form.app().backend().CreateControl(*this));
}

void Animation::SetActive(bool active) {
    active_ = active;
    SyncPeer();
}

Button::Button(Form& form, Control* parent, std::string name)
    : Control(form, parent, std::move(name), ControlKind::Button) {
    SetPeer(form.app().backend().CreateControl(*this));
}

void Button::Click() {
    if (OnClick)
        form().app().Guard(form(), [this] { OnClick(); });
}

GroupBox::GroupBox(Form& form, Control* parent, std::string name)
    : Control(form, parent, std::move(name), ControlKind::GroupBox) {
    SetPeer(form.app().backend().CreateControl(*this));
}

Label::Label(Form& form, Control* parent, std::string name)
    : Control(form, parent, std::move(name), ControlKind::Label) {
    SetPeer(form.app().backend().CreateControl(*this));
}

TitleBar::TitleBar(Form& form, std::string name, std::vector<TitleBarItem> items)
    : Control(form, nullptr, std::move(name), ControlKind::TitleBar), items_(std::move(items)) {
    SetPeer(form.app().backend().CreateControl(*this));
}

void TitleBar::SetItemCaption(std::size_t index, std::string caption) {
    items_.at(index).caption = std::move(caption);
    SyncPeer();
}

void TitleBar::SetItemHint(std::size_t index, std::string hint) {
    items_.at(index).hint = std::move(hint);
    SyncPeer();
}

void TitleBar::SetItemEnabled(std::size_t index, bool enabled) {
    items_.at(index).enabled = enabled;
    SyncPeer();
}

void TitleBar::SetItemVisible(std::size_t index, bool visible) {
    items_.at(index).visible = visible;
    SyncPeer();
}

void TitleBar::SetItemClick(std::size_t index, std::function<void()> on_click) {
    items_.at(index).on_click = std::move(on_click);
}

void TitleBar::ClickItem(std::size_t index) {
    const TitleBarItem& item = items_.at(index);
    if (!item.enabled || !item.visible || !item.on_click)
        return;
    auto handler = item.on_click;
    form().app().Guard(form(), [&] { handler(); });
}

Timer::Timer(Form& form, std::string name, unsigned interval_ms, bool enabled)
    : form_(form), name_(std::move(name)), interval_(interval_ms), enabled_(enabled) {
    form_.timers_.push_back(this);
    peer_ = form_.app().backend().CreateTimer(*this);
}

Timer::~Timer() {
    peer_.reset();
    auto& list = form_.timers_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void Timer::SetEnabled(bool enabled) {
    enabled_ = enabled;
    if (peer_)
        peer_->Sync();
}

void Timer::Fire() {
    if (!enabled_ || !OnTimer)
        return;
    form_.app().Guard(form_, [this] { OnTimer(); });
}

}  // namespace kelvra::ui
