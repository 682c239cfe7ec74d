// Controls placed on forms: edit, button, group box, label, memo, radio button, progress bar,
// animation, title bar, and the timer.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/backend.h"

namespace kelvra::ui {

class Form;

enum class ControlKind {
    Browser,
    TitleBar,
    Edit,
    Button,
    GroupBox,
    Label,
    Memo,
    RadioButton,
    ProgressBar,
    Animation
};
enum class Align { None, Top, Client };

// Base of everything placed on a form. Subclasses create their native peer.
class Control {
  public:
    Control(Form& form, Control* parent, std::string name, ControlKind kind);
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    Form& form() const { return form_; }
    Control* parent() const { return parent_; }
    const std::string& Name() const { return name_; }
    ControlKind Kind() const { return kind_; }

    const Rect& Bounds() const { return bounds_; }
    void SetBounds(const Rect& bounds);
    Align GetAlign() const { return align_; }
    void SetAlign(Align align);
    const std::string& Caption() const { return caption_; }
    void SetCaption(std::string caption);
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    int TabOrder() const { return tab_order_; }
    void SetTabOrder(int order) { tab_order_ = order; }

  protected:
    void SetPeer(std::unique_ptr<NativeControl> peer) { peer_ = std::move(peer); }
    NativeControl* peer() const { return peer_.get(); }
    void SyncPeer();

  private:
    Form& form_;
    Control* parent_;
    std::string name_;
    ControlKind kind_;
    Rect bounds_;
    Align align_ = Align::None;
    std::string caption_;
    bool visible_ = true;
    bool enabled_ = true;
    int tab_order_ = -1;
    std::unique_ptr<NativeControl> peer_;
};

class Edit final : public Control {
  public:
    Edit(Form& form, Control* parent, std::string name);
    // What the field holds, as the user typed it.
    std::string Text() const;
    void SetText(std::string text);
    // A non-zero character hides what is typed behind that character (password fields).
    char PasswordChar() const { return password_char_; }
    void SetPasswordChar(char c);

  private:
    std::string text_;
    char password_char_ = 0;
};

class Button final : public Control {
  public:
    Button(Form& form, Control* parent, std::string name);
    std::function<void()> OnClick;
    bool IsDefault() const { return default_; }
    void SetDefault(bool is_default) { default_ = is_default; }
    // A click: OnClick under the event-handler error rule.
    void Click();

  private:
    bool default_ = false;
};

class GroupBox final : public Control {
  public:
    GroupBox(Form& form, Control* parent, std::string name);
};

class Label final : public Control {
  public:
    Label(Form& form, Control* parent, std::string name);
};

// A read-only, word-wrapped, multi-line text box with a vertical scroll bar. Rich text (RTF)
// is shown formatted where the platform has a rich-text box, otherwise as its plain text.
class Memo final : public Control {
  public:
    Memo(Form& form, Control* parent, std::string name);
    const std::string& Text() const { return text_; }
    bool Rich() const { return rich_; }
    void SetText(std::string text, bool rich = false);

  private:
    std::string text_;
    bool rich_ = false;
};

// A radio button; checking one unchecks the other radio buttons with the same parent.
class RadioButton final : public Control {
  public:
    RadioButton(Form& form, Control* parent, std::string name);
    // The state as the user left it.
    bool Checked() const;
    void SetChecked(bool checked);
    // A click by the user: checks this button and unchecks its siblings.
    void Click();

  private:
    bool checked_ = false;
};

// A horizontal progress bar showing Position within [Min, Max].
class ProgressBar final : public Control {
  public:
    ProgressBar(Form& form, Control* parent, std::string name);
    int Min() const { return min_; }
    int Max() const { return max_; }
    int Position() const { return position_; }
    // Position is kept within the range.
    void SetRange(int min, int max);
    void SetPosition(int position);

  private:
    int min_ = 0;
    int max_ = 100;
    int position_ = 0;
};

// The platform's standard busy animation (a file-copy clip where the platform has one),
// running while active. Created stopped.
class Animation final : public Control {
  public:
    Animation(Form& form, Control* parent, std::string name);
    bool Active() const { return active_; }
    // Starts or stops the animation.
    void SetActive(bool active);

  private:
    bool active_ = false;
};

enum class TitleBarItemStyle { Info, Button };

struct TitleBarItem {
    std::string name;
    TitleBarItemStyle style = TitleBarItemStyle::Info;
    std::string caption;
    std::string hint;
    bool show_hint = false;
    bool enabled = true;
    bool visible = true;
    bool align_right = false;
    bool glow = false;
    int width = 0;
    int height = 0;
    std::string skin_section;
    std::function<void()> on_click;
};

// A title bar drawn by the application, with information items and image buttons.
class TitleBar final : public Control {
  public:
    TitleBar(Form& form, std::string name, std::vector<TitleBarItem> items);
    std::size_t ItemCount() const { return items_.size(); }
    const TitleBarItem& Item(std::size_t index) const { return items_.at(index); }
    void SetItemCaption(std::size_t index, std::string caption);
    void SetItemHint(std::size_t index, std::string hint);
    void SetItemEnabled(std::size_t index, bool enabled);
    void SetItemVisible(std::size_t index, bool visible);
    void SetItemClick(std::size_t index, std::function<void()> on_click);
    // A click on an item: its handler under the event-handler error rule. Disabled or
    // hidden items do not react.
    void ClickItem(std::size_t index);

  private:
    std::vector<TitleBarItem> items_;
};

class Timer final {
  public:
    Timer(Form& form, std::string name, unsigned interval_ms, bool enabled);
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    Form& form() const { return form_; }
    const std::string& Name() const { return name_; }
    unsigned Interval() const { return interval_; }
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    std::function<void()> OnTimer;
    // One tick, from the backend: OnTimer under the event-handler error rule.
    void Fire();

  private:
    Form& form_;
    std::string name_;
    unsigned interval_;
    bool enabled_;
    std::unique_ptr<NativeTimer> peer_;
};

}  // namespace kelvra::ui
