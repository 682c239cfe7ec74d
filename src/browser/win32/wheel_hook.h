// The mouse-wheel rule of the browser process set-up: a thread mouse hook that, when the
// wheel turns over a browser page whose browser does not hold the focus on the page,
// gives the page the focus and drops that one wheel message.
#pragma once

#include <windows.h>

namespace kelvra::browser::win32 {

// Window classes of the platform browser: its outer window and its document view.
inline constexpr const wchar_t* kShellEmbedding = L"Shell Embedding";
inline constexpr const wchar_t* kShellDocObjectView = L"Shell DocObject View";

// The nearest ancestor of window (starting at its parent, never window itself) whose class
// name equals class_name in the user's default locale; null when there is none.
HWND FindAncestorOfClass(HWND window, const wchar_t* class_name);

// The rule for a wheel message over under_pointer while focus holds the keyboard focus:
// true when the focus moves to under_pointer and the message is dropped.
bool WheelTakesFocus(HWND under_pointer, HWND focus);

// The holder of the thread mouse hook, one per process, shared with a use count.
class TWheelHook {
  public:
    // The process's hook object, created on first use; each call adds a use.
    static TWheelHook& Create();
    // Drops a use; the last one removes the hook and disposes of the object.
    void Free();
    // The object while it exists, else null.
    static TWheelHook* Current();

    // Installs the thread mouse hook on the calling thread; a failure leaves it inactive.
    void Activate();
    void Deactivate();
    bool Installed() const { return FMouseHook != nullptr; }
    HHOOK Handle() const { return FMouseHook; }

  private:
    TWheelHook() = default;
    static LRESULT CALLBACK FMouseHookProc(int code, WPARAM wparam, LPARAM lparam);
    LRESULT FMouseHookMethod(int code, WPARAM wparam, LPARAM lparam);

    HHOOK FMouseHook = nullptr;
    int uses_ = 0;
};

// Owns the shared hook object while active.
class TMouseWheelFix {
  public:
    ~TMouseWheelFix() { SetActive(false); }
    bool Active() const { return hook_ != nullptr; }
    void SetActive(bool active);

  private:
    TWheelHook* hook_ = nullptr;
};

}  // namespace kelvra::browser::win32
