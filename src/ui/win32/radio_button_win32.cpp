// The radio button: an auto radio button. The radio buttons of one parent control form one
// dialog group (the first of them starts it, the next other control ends it), and a click
// checks the button through the portable control, which unchecks the siblings there too.
#include <windows.h>

#include "ui/controls.h"
#include "ui/win32/controls_win32.h"

namespace kelvra::ui::win32 {
namespace {

class RadioButtonPeer final : public Win32ControlPeer {
  public:
    RadioButtonPeer(Win32Ui& ui, RadioButton& radio, bool starts_group)
        : Win32ControlPeer(ui, radio), radio_(radio) {
        // Tab reaches a group through its first button; the arrow keys move inside it.
        CreateChild(L"BUTTON",
                    WS_VISIBLE | BS_AUTORADIOBUTTON | (starts_group ? WS_GROUP | WS_TABSTOP : 0),
                    0);
    }

    void Sync() override {
        SyncCommon(true);
        // The control's state is pushed only when the program changed it, never over the
        // user's choice.
        reading_model_ = true;
        const bool checked = radio_.Checked();
        reading_model_ = false;
        if (!pushed_ || checked != pushed_state_) {
            pushed_ = true;
            pushed_state_ = checked;
            SendMessageW(hwnd_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
        }
    }

    std::optional<bool> ReadChecked() const override {
        if (reading_model_ || hwnd_ == nullptr || !IsWindow(hwnd_))
            return std::nullopt;
        return SendMessageW(hwnd_, BM_GETCHECK, 0, 0) == BST_CHECKED;
    }

    void Command(WORD code) override {
        if (code == BN_CLICKED && SendMessageW(hwnd_, BM_GETCHECK, 0, 0) == BST_CHECKED)
            radio_.Click();
    }

  private:
    RadioButton& radio_;
    bool reading_model_ = false;
    bool pushed_ = false;
    bool pushed_state_ = false;
};

}  // namespace

std::unique_ptr<NativeControl> CreateRadioButton(Win32Ui& ui, RadioButton& radio,
                                                 bool starts_group) {
    return std::make_unique<RadioButtonPeer>(ui, radio, starts_group);
}

}  // namespace kelvra::ui::win32
