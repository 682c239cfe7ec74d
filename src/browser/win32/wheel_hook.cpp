#include "browser/win32/wheel_hook.h"

namespace kelvra::browser::win32 {
namespace {

TWheelHook* g_hook = nullptr;

bool HasClass(HWND window, const wchar_t* class_name) {
    wchar_t name[256] = {};
    const int length = GetClassNameW(window, name, 256);
    return length > 0 &&
           CompareStringW(LOCALE_USER_DEFAULT, 0, name, length, class_name, -1) == CSTR_EQUAL;
}

}  // namespace

HWND FindAncestorOfClass(HWND window, const wchar_t* class_name) {
    for (HWND current = GetParent(window); current != nullptr; current = GetParent(current))
        if (HasClass(current, class_name))
            return current;
    return nullptr;
}

bool WheelTakesFocus(HWND under_pointer, HWND focus) {
    if (under_pointer == nullptr || focus == nullptr)
        return false;
    HWND pointer_browser = FindAncestorOfClass(under_pointer, kShellEmbedding);
    if (pointer_browser == nullptr)
        return false;  // not over a browser page
    HWND focus_browser = FindAncestorOfClass(focus, kShellEmbedding);
    if (pointer_browser != focus_browser)
        return true;  // the focus is in another browser or in none
    // Same browser: only when the focus sits on the document view instead of the page.
    return HasClass(focus, kShellDocObjectView);
}

TWheelHook& TWheelHook::Create() {
    if (g_hook == nullptr)
        g_hook = new TWheelHook();
    ++g_hook->uses_;
    return *g_hook;
}

void TWheelHook::Free() {
    if (--uses_ > 0)
        return;
    Deactivate();
    if (g_hook == this)
        g_hook = nullptr;
    delete this;
}

TWheelHook* TWheelHook::Current() {
    return g_hook;
}

void TWheelHook::Activate() {
    if (FMouseHook != nullptr)
        return;
    // A failure leaves the handle null: the process runs without the wheel rule.
    FMouseHook = SetWindowsHookExW(WH_MOUSE, &FMouseHookProc, nullptr, GetCurrentThreadId());
}

void TWheelHook::Deactivate() {
    if (FMouseHook == nullptr)
        return;
    UnhookWindowsHookEx(FMouseHook);
    FMouseHook = nullptr;
}

LRESULT CALLBACK TWheelHook::FMouseHookProc(int code, WPARAM wparam, LPARAM lparam) {
    if (g_hook == nullptr)
        return CallNextHookEx(nullptr, code, wparam, lparam);
    return g_hook->FMouseHookMethod(code, wparam, lparam);
}

LRESULT TWheelHook::FMouseHookMethod(int code, WPARAM wparam, LPARAM lparam) {
    if (code < 0 || code != HC_ACTION || wparam != WM_MOUSEWHEEL)
        return CallNextHookEx(FMouseHook, code, wparam, lparam);
    const auto* info = reinterpret_cast<const MOUSEHOOKSTRUCT*>(lparam);
    HWND under_pointer = WindowFromPoint(info->pt);
    HWND focus = GetFocus();
    if (!WheelTakesFocus(under_pointer, focus))
        return CallNextHookEx(FMouseHook, code, wparam, lparam);
    SetFocus(under_pointer);
    return 2;  // the notch that moved the focus is dropped
}

void TMouseWheelFix::SetActive(bool active) {
    if (active == Active())
        return;
    if (active) {
        hook_ = &TWheelHook::Create();
        hook_->Activate();
    } else {
        TWheelHook* hook = hook_;
        hook_ = nullptr;
        hook->Deactivate();
        hook->Free();
    }
}

}  // namespace kelvra::browser::win32
