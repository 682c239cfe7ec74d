// The native top-level window behind a Form, and the base of the control peers it lays out.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "ui/backend.h"

namespace kelvra::ui {

class Control;
class Form;

namespace win32 {

class Win32Ui;

// A control peer that the form lays out and re-syncs after its own layout.
class Win32ControlPeer : public NativeControl {
  public:
    ~Win32ControlPeer() override;
    HWND Hwnd() const { return hwnd_; }
    Control& control() const { return control_; }
    // The command id of the child window (buttons).
    int Id() const { return id_; }
    // WM_COMMAND from the child window.
    virtual void Command(WORD /*code*/) {}

  protected:
    Win32ControlPeer(Win32Ui& ui, Control& control);
    // Creates the child window on the form with the forms' font.
    void CreateChild(const wchar_t* window_class, DWORD style, DWORD ex_style);
    // Position on the form's client area: the bounds, shifted by the parent control's.
    RECT FormRect() const;
    // Bounds, visibility, enabled state and caption (for controls that show one).
    void SyncCommon(bool with_caption);

    Win32Ui& ui_;
    Control& control_;
    HWND hwnd_ = nullptr;
    int id_ = 0;
    std::wstring caption_;
};

// A band of the form's non-client area that stands in for the system caption: it draws
// itself there and answers the messages that concern it.
class NonClientStrip {
  public:
    virtual ~NonClientStrip() = default;
    virtual int Height() const = 0;
    // Handles msg when it concerns the strip (result set); false leaves it to the form.
    virtual bool Handle(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) = 0;
    // Where item index is, in client coordinates (above the client area); nullopt while
    // it is hidden.
    virtual std::optional<RECT> ItemRect(std::size_t index) const = 0;
};

class Win32Form final : public NativeForm {
  public:
    Win32Form(Win32Ui& ui, Form& form);
    ~Win32Form() override;

    NativeWindow Handle() const override { return hwnd_; }
    void Sync() override;
    Rect FrameExtra() const override;
    bool OwnsLiveWindow() const override;
    NativeWindow OwnerWindow() const override { return GetWindow(hwnd_, GW_OWNER); }

    Form& form() const { return form_; }
    // Forms with buttons take the dialog keys (Tab, Enter) in the message loop.
    bool WantsDialogKeys() const;
    void AddPeer(Win32ControlPeer* peer);
    void RemovePeer(Win32ControlPeer* peer);
    int NextControlId() { return next_id_++; }
    // Places the top-aligned and client-aligned controls, then re-syncs peers.
    void Layout();
    // Puts strip in place of the system caption, keeping the client size (null: none).
    void SetStrip(NonClientStrip* strip);
    NonClientStrip* Strip() const { return strip_; }

    // The form behind a window of ours, or null.
    static Win32Form* FromHandle(HWND hwnd);
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

  private:
    LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
    void TrackNativeState();
    DWORD Style() const;
    DWORD ExStyle() const;

    Win32Ui& ui_;
    Form& form_;
    HWND hwnd_ = nullptr;
    bool is_main_ = false;  // the first form: it owns the task-bar button
    bool updating_ = false;
    bool ordered_ = false;
    HFONT font_ = nullptr;
    std::string caption_;
    Rect applied_{-1, -1, -1, -1};
    std::vector<Win32ControlPeer*> peers_;
    NonClientStrip* strip_ = nullptr;
    int next_id_ = 100;
};

}  // namespace win32
}  // namespace kelvra::ui
