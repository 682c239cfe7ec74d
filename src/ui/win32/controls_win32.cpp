// Standard-control peers (edit, push button, group box, label) and the factory of every
// control's peer.
#include "ui/win32/controls_win32.h"

#include "platform/win32/wide.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "ui/win32/win32_ui.h"

namespace kelvra::ui::win32 {
namespace {

using platform::win32::Narrow;
using platform::win32::Widen;

class EditPeer final : public Win32ControlPeer {
  public:
    EditPeer(Win32Ui& ui, Edit& edit) : Win32ControlPeer(ui, edit), edit_(edit) {
        CreateChild(L"EDIT", WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE);
    }
    void Sync() override {
        SyncCommon(false);
        // Push the form's text only when the program changed it, never over typing.
        reading_model_ = true;
        const std::string model = edit_.Text();
        reading_model_ = false;
        if (model != pushed_) {
            SetWindowTextW(hwnd_, Widen(model).c_str());
            pushed_ = model;
        }
        // A password field shows its character in place of each typed one (the message
        // also sets or clears ES_PASSWORD).
        const auto mask = static_cast<wchar_t>(static_cast<unsigned char>(edit_.PasswordChar()));
        if (mask != mask_) {
            SendMessageW(hwnd_, EM_SETPASSWORDCHAR, mask, 0);
            InvalidateRect(hwnd_, nullptr, TRUE);
            mask_ = mask;
        }
    }
    std::optional<std::string> ReadText() const override {
        if (reading_model_ || hwnd_ == nullptr)
            return std::nullopt;
        std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd_)) + 1, L'\0');
        text.resize(static_cast<std::size_t>(
            GetWindowTextW(hwnd_, text.data(), static_cast<int>(text.size()))));
        return Narrow(text);
    }

  private:
    Edit& edit_;
    bool reading_model_ = false;
    std::string pushed_;
    wchar_t mask_ = 0;
};

class ButtonPeer final : public Win32ControlPeer {
  public:
    ButtonPeer(Win32Ui& ui, Button& button) : Win32ControlPeer(ui, button), button_(button) {
        CreateChild(L"BUTTON", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0);
    }
    void Sync() override {
        SyncCommon(true);
        const LONG_PTR kind = GetWindowLongPtrW(hwnd_, GWL_STYLE) & BS_TYPEMASK;
        const LONG_PTR want = button_.IsDefault() ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
        if (kind != want)
            SendMessageW(hwnd_, BM_SETSTYLE, static_cast<WPARAM>(want), TRUE);
    }
    void Command(WORD code) override {
        if (code == BN_CLICKED)
            button_.Click();
    }

  private:
    Button& button_;
};

class GroupBoxPeer final : public Win32ControlPeer {
  public:
    GroupBoxPeer(Win32Ui& ui, GroupBox& box) : Win32ControlPeer(ui, box) {
        // Clipped by its siblings so that it never paints over the controls it frames.
        CreateChild(L"BUTTON", WS_VISIBLE | WS_CLIPSIBLINGS | BS_GROUPBOX, 0);
        // A group box paints no interior, and the form clips its children, so nothing
        // would paint under its label and the controls it frames: it erases to the
        // dialog's face itself.
        SetWindowLongPtrW(
            hwnd_, GWLP_USERDATA,
            SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&GroupBoxProc)));
    }
    void Sync() override { SyncCommon(true); }

  private:
    static LRESULT CALLBACK GroupBoxProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        const auto original = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (msg == WM_ERASEBKGND) {
            RECT rc{};
            GetClientRect(hwnd, &rc);
            FillRect(reinterpret_cast<HDC>(wp), &rc, GetSysColorBrush(COLOR_BTNFACE));
            return 1;
        }
        return CallWindowProcW(original, hwnd, msg, wp, lp);
    }
};

class LabelPeer final : public Win32ControlPeer {
  public:
    LabelPeer(Win32Ui& ui, Label& label) : Win32ControlPeer(ui, label), label_(label) {
        CreateChild(L"STATIC", WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0);
    }
    void Sync() override {
        SyncCommon(true);
        // A label without a size takes the size of its text.
        if (label_.Bounds().width == 0 || label_.Bounds().height == 0) {
            const std::wstring text = Widen(label_.Caption());
            HDC dc = GetDC(hwnd_);
            HGDIOBJ old = SelectObject(dc, ui_.Font());
            SIZE size{};
            GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
            SelectObject(dc, old);
            ReleaseDC(hwnd_, dc);
            const RECT r = FormRect();
            SetWindowPos(hwnd_, nullptr, r.left, r.top, size.cx, size.cy,
                         SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }

  private:
    Label& label_;
};

// The control made on the form just before this one, or null.
const Control* Previous(const Control& control) {
    const Control* previous = nullptr;
    for (const Control* c : control.form().Controls()) {
        if (c == &control)
            return previous;
        previous = c;
    }
    return nullptr;
}

bool IsRadioOf(const Control* c, const Control* parent) {
    return c != nullptr && c->Kind() == ControlKind::RadioButton && c->parent() == parent;
}

std::unique_ptr<NativeControl> CreatePeer(Win32Ui& ui, Control& control) {
    switch (control.Kind()) {
        case ControlKind::Edit:
            return std::make_unique<EditPeer>(ui, static_cast<Edit&>(control));
        case ControlKind::Button:
            return std::make_unique<ButtonPeer>(ui, static_cast<Button&>(control));
        case ControlKind::GroupBox:
            return std::make_unique<GroupBoxPeer>(ui, static_cast<GroupBox&>(control));
        case ControlKind::Label:
            return std::make_unique<LabelPeer>(ui, static_cast<Label&>(control));
        case ControlKind::TitleBar:
            return CreateTitleBar(ui, static_cast<TitleBar&>(control));
        case ControlKind::Memo:
            return CreateMemo(ui, static_cast<Memo&>(control));
        case ControlKind::RadioButton:
            return CreateRadioButton(ui, static_cast<RadioButton&>(control),
                                     !IsRadioOf(Previous(control), control.parent()));
        case ControlKind::ProgressBar:
            return CreateProgressBar(ui, static_cast<ProgressBar&>(control));
        case ControlKind::Animation:
            return CreateAnimation(ui, static_cast<Animation&>(control));
        case ControlKind::Browser:
            break;
    }
    throw Error("The control " + control.Name() + " has no Win32 peer here");
}

}  // namespace

std::unique_ptr<NativeControl> CreateStandardControl(Win32Ui& ui, Control& control) {
    auto peer = CreatePeer(ui, control);
    // The control after a run of radio buttons starts a dialog group of its own, so the
    // radio buttons' automatic unchecking stays within their run.
    const Control* previous = Previous(control);
    if (previous != nullptr && previous->Kind() == ControlKind::RadioButton &&
        !IsRadioOf(&control, previous->parent())) {
        if (auto* win = dynamic_cast<Win32ControlPeer*>(peer.get()); win && win->Hwnd()) {
            const LONG_PTR style = GetWindowLongPtrW(win->Hwnd(), GWL_STYLE);
            SetWindowLongPtrW(win->Hwnd(), GWL_STYLE, style | WS_GROUP);
        }
    }
    return peer;
}

}  // namespace kelvra::ui::win32
