#include "browser/win32/browser_backend_win32.h"

#include <algorithm>

#include "browser/win32/win32_browser.h"
#include "ui/form.h"

namespace kelvra::browser::win32 {
namespace {

constexpr wchar_t kParkingClass[] = L"KelvraBrowserParking";

ATOM RegisterParkingClass() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kParkingClass;
    return RegisterClassW(&wc);
}

}  // namespace

Win32BrowserBackend::Win32BrowserBackend(ContainerOf container, ExternalResolver external)
    : container_(std::move(container)), external_(std::move(external)) {}

Win32BrowserBackend::~Win32BrowserBackend() {
    if (parking_ && IsWindow(parking_))
        DestroyWindow(parking_);
}

std::unique_ptr<BrowserControl> Win32BrowserBackend::CreateControl(THostedBrowser& browser) {
    return std::make_unique<Win32BrowserControl>(browser, *this);
}

HWND Win32BrowserBackend::Container(const ui::Form& form) const {
    if (container_)
        return container_(form);
    return static_cast<HWND>(form.Handle());
}

IDispatch* Win32BrowserBackend::ResolveExternal(const Dispatch& external) const {
    return external_ ? external_(external) : nullptr;
}

HWND Win32BrowserBackend::ParkingWindow() {
    if (parking_ && IsWindow(parking_))
        return parking_;
    static const ATOM atom = RegisterParkingClass();
    (void)atom;
    parking_ = CreateWindowExW(0, kParkingClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    return parking_;
}

void Win32BrowserBackend::ParkBrowsersIn(HWND container) {
    for (Win32BrowserControl* control : controls_)
        if (control->Handle() && control->Container() == container)
            control->Park();
}

void Win32BrowserBackend::Forget(Win32BrowserControl* control) {
    controls_.erase(std::remove(controls_.begin(), controls_.end(), control), controls_.end());
}

std::unique_ptr<Win32BrowserBackend> MakeBrowserBackend(ExternalResolver external) {
    return std::make_unique<Win32BrowserBackend>(Win32BrowserBackend::ContainerOf{},
                                                 std::move(external));
}

}  // namespace kelvra::browser::win32
