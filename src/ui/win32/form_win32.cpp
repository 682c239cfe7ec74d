#include "ui/win32/form_win32.h"

#include <algorithm>
#include <exception>

#include "platform/error.h"
#include "platform/win32/wide.h"
#include "ui/application.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "ui/win32/win32_ui.h"

namespace kelvra::ui::win32 {
namespace {

using platform::win32::Widen;

bool SameRect(const Rect& a, const Rect& b) {
    return a.left == b.left && a.top == b.top && a.width == b.width && a.height == b.height;
}

void RegisterFormClass(const std::wstring& name) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (GetClassInfoExW(GetModuleHandleW(nullptr), name.c_str(), &wc))
        return;
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &Win32Form::WindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hIcon = LoadIconW(GetModuleHandleW(nullptr), L"MAINICON");
    if (wc.hIcon == nullptr)
        wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = name.c_str();
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        platform::win32::ThrowWin32("Cannot register the window class", GetLastError());
}

WindowState NativeState(HWND hwnd) {
    if (IsIconic(hwnd))
        return WindowState::Minimized;
    if (IsZoomed(hwnd))
        return WindowState::Maximized;
    return WindowState::Normal;
}

}  // namespace

// ---- control peers --------------------------------------------------------------------

Win32ControlPeer::Win32ControlPeer(Win32Ui& ui, Control& control) : ui_(ui), control_(control) {}

Win32ControlPeer::~Win32ControlPeer() {
    if (auto* form = dynamic_cast<Win32Form*>(&control_.form().native()))
        form->RemovePeer(this);
    if (hwnd_ != nullptr && IsWindow(hwnd_))
        DestroyWindow(hwnd_);
}

void Win32ControlPeer::CreateChild(const wchar_t* window_class, DWORD style, DWORD ex_style) {
    auto* form = dynamic_cast<Win32Form*>(&control_.form().native());
    if (form == nullptr)
        throw Error("A control needs a form of the same backend");
    id_ = form->NextControlId();
    hwnd_ = CreateWindowExW(ex_style, window_class, L"", style | WS_CHILD, 0, 0, 0, 0,
                            static_cast<HWND>(form->Handle()),
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id_)),
                            GetModuleHandleW(nullptr), nullptr);
    if (hwnd_ == nullptr)
        platform::win32::ThrowWin32("Cannot create the control " + control_.Name(), GetLastError());
    SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(ui_.Font()), FALSE);
    form->AddPeer(this);
}

RECT Win32ControlPeer::FormRect() const {
    Rect b = control_.Bounds();
    for (Control* p = control_.parent(); p != nullptr; p = p->parent()) {
        b.left += p->Bounds().left;
        b.top += p->Bounds().top;
    }
    return RECT{b.left, b.top, b.left + b.width, b.top + b.height};
}

void Win32ControlPeer::SyncCommon(bool with_caption) {
    if (hwnd_ == nullptr)
        return;
    const RECT r = FormRect();
    SetWindowPos(hwnd_, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    if (with_caption) {
        const std::wstring caption = Widen(control_.Caption());
        if (caption != caption_) {
            SetWindowTextW(hwnd_, caption.c_str());
            caption_ = caption;
        }
    }
    EnableWindow(hwnd_, control_.Enabled() ? TRUE : FALSE);
    const bool shown = (GetWindowLongPtrW(hwnd_, GWL_STYLE) & WS_VISIBLE) != 0;
    if (shown != control_.Visible())
        ShowWindow(hwnd_, control_.Visible() ? SW_SHOWNA : SW_HIDE);
}

// ---- the form window ------------------------------------------------------------------

Win32Form::Win32Form(Win32Ui& ui, Form& form) : ui_(ui), form_(form) {
    const std::wstring class_name = Widen(form.ClassName().empty() ? "TForm" : form.ClassName());
    RegisterFormClass(class_name);
    is_main_ = form.app().MainForm() == nullptr;
    // The first form is the main window: it owns the task-bar button. Later forms are
    // owned by the main window while it is shown, else by our active window, so that
    // the login window of a start has a task-bar button of its own.
    HWND owner = nullptr;
    if (Form* main = form.app().MainForm()) {
        if (main->Visible()) {
            owner = static_cast<HWND>(main->Handle());
        } else if (HWND active = GetActiveWindow(); FromHandle(active) != nullptr) {
            owner = active;
        }
    }
    hwnd_ = CreateWindowExW(ExStyle(), class_name.c_str(), Widen(form.Caption()).c_str(), Style(),
                            0, 0, 0, 0, owner, nullptr, GetModuleHandleW(nullptr), this);
    if (hwnd_ == nullptr)
        platform::win32::ThrowWin32("Cannot create the window " + form.ClassName(), GetLastError());
    caption_ = form.Caption();
    SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(ui_.Font()), FALSE);
}

namespace {

struct OwnedSearch {
    HWND owner;
    bool found;
};

// Another form of ours, or a window that shows (a box, a page's dialog). Hidden helper
// windows of the form's own controls (tool tips) are owned by it too, and go with it.
BOOL CALLBACK FindOwned(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<OwnedSearch*>(data);
    if (window != search->owner && GetWindow(window, GW_OWNER) == search->owner &&
        (IsWindowVisible(window) || Win32Form::FromHandle(window) != nullptr))
        search->found = true;
    return search->found ? FALSE : TRUE;
}

}  // namespace

// Owned windows are top-level windows of this thread; Windows destroys them with their owner.
bool Win32Form::OwnsLiveWindow() const {
    OwnedSearch search{hwnd_, false};
    EnumThreadWindows(GetCurrentThreadId(), FindOwned, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

Win32Form::~Win32Form() {
    if (hwnd_ != nullptr && IsWindow(hwnd_)) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
}

DWORD Win32Form::Style() const {
    const FormDefinition& d = form_.definition();
    DWORD style = WS_CAPTION | WS_CLIPCHILDREN;
    if (d.icons.system_menu)
        style |= WS_SYSMENU;
    if (d.border == BorderStyle::Sizeable) {
        style |= WS_THICKFRAME;
        if (d.icons.minimize)
            style |= WS_MINIMIZEBOX;
        if (d.icons.maximize)
            style |= WS_MAXIMIZEBOX;
    }
    return style;
}

DWORD Win32Form::ExStyle() const {
    if (form_.definition().border == BorderStyle::Dialog)
        return WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
    return is_main_ ? WS_EX_APPWINDOW : 0;
}

Rect Win32Form::FrameExtra() const {
    RECT r{0, 0, 0, 0};
    AdjustWindowRectEx(&r, Style(), FALSE, ExStyle());
    const int strip = strip_ ? strip_->Height() - GetSystemMetrics(SM_CYCAPTION) : 0;
    return Rect{0, 0, r.right - r.left, r.bottom - r.top + strip};
}

void Win32Form::SetStrip(NonClientStrip* strip) {
    if (strip == nullptr) {
        strip_ = nullptr;
        return;
    }
    const int width = form_.ClientWidth();
    const int height = form_.ClientHeight();
    strip_ = strip;
    SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    form_.SetClientSize(width, height);
}

bool Win32Form::WantsDialogKeys() const {
    const auto& controls = form_.Controls();
    return std::any_of(controls.begin(), controls.end(),
                       [](const Control* c) { return c->Kind() == ControlKind::Button; });
}

void Win32Form::AddPeer(Win32ControlPeer* peer) {
    peers_.push_back(peer);
}

void Win32Form::RemovePeer(Win32ControlPeer* peer) {
    peers_.erase(std::remove(peers_.begin(), peers_.end(), peer), peers_.end());
}

void Win32Form::Sync() {
    if (hwnd_ == nullptr || updating_)
        return;
    updating_ = true;
    if (form_.Caption() != caption_) {
        SetWindowTextW(hwnd_, Widen(form_.Caption()).c_str());
        caption_ = form_.Caption();
    }
    const Rect& b = form_.Bounds();
    if (!SameRect(b, applied_)) {
        if (IsWindowVisible(hwnd_) && (IsZoomed(hwnd_) || IsIconic(hwnd_))) {
            // The bounds are the restored place; keep the current state.
            RECT work{};
            SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
            WINDOWPLACEMENT wp{};
            wp.length = sizeof wp;
            GetWindowPlacement(hwnd_, &wp);
            wp.rcNormalPosition = RECT{b.left - work.left, b.top - work.top,
                                       b.left - work.left + b.width, b.top - work.top + b.height};
            SetWindowPlacement(hwnd_, &wp);
        } else {
            SetWindowPos(hwnd_, nullptr, b.left, b.top, b.width, b.height,
                         SWP_NOZORDER | SWP_NOACTIVATE);
        }
        applied_ = b;
    }
    if (form_.Visible()) {
        const bool shown = IsWindowVisible(hwnd_) != FALSE;
        const WindowState want = form_.State();
        if (!shown || NativeState(hwnd_) != want) {
            if (!shown)
                Layout();
            int command = SW_SHOW;
            if (want == WindowState::Maximized)
                command = SW_SHOWMAXIMIZED;
            else if (want == WindowState::Minimized)
                command = SW_SHOWMINIMIZED;
            else if (NativeState(hwnd_) != WindowState::Normal)
                command = SW_SHOWNORMAL;
            ShowWindow(hwnd_, command);
            Layout();
        }
    } else if (IsWindowVisible(hwnd_)) {
        ShowWindow(hwnd_, SW_HIDE);
    }
    updating_ = false;
}

void Win32Form::TrackNativeState() {
    if (updating_ || hwnd_ == nullptr || !IsWindowVisible(hwnd_))
        return;
    updating_ = true;  // the form's setters must not push back what came from here
    const WindowState state = NativeState(hwnd_);
    if (form_.State() != state)
        form_.SetState(state);
    if (state == WindowState::Normal) {
        RECT r{};
        GetWindowRect(hwnd_, &r);
        const Rect now{r.left, r.top, r.right - r.left, r.bottom - r.top};
        if (!SameRect(now, form_.Bounds())) {
            form_.SetPosition(now.left, now.top);
            form_.SetWidth(now.width);
            form_.SetHeight(now.height);
        }
        applied_ = now;
    }
    updating_ = false;
}

void Win32Form::Layout() {
    if (hwnd_ == nullptr)
        return;
    RECT rc{};
    GetClientRect(hwnd_, &rc);
    const int width = rc.right - rc.left;
    const int height = rc.bottom - rc.top;
    int top = 0;
    auto place = [](Control* c, const Rect& r) {
        if (!SameRect(c->Bounds(), r))
            c->SetBounds(r);
    };
    // The title bar lies above the client area, in the caption's place.
    for (Control* c : form_.Controls())
        if (c->parent() == nullptr && c->Kind() == ControlKind::TitleBar)
            place(c, Rect{0, -kTitleStripHeight, width, kTitleStripHeight});
    for (Control* c : form_.Controls())
        if (c->parent() == nullptr && c->Kind() != ControlKind::TitleBar &&
            c->GetAlign() == Align::Top) {
            place(c, Rect{0, top, width, c->Bounds().height});
            top += c->Bounds().height;
        }
    for (Control* c : form_.Controls())
        if (c->parent() == nullptr && c->Kind() != ControlKind::TitleBar &&
            c->GetAlign() == Align::Client)
            place(c, Rect{0, top, width, std::max(0, height - top)});
    if (!ordered_) {
        // Tab order follows the z-order: chain the tab stops by their order, and keep
        // group boxes beneath what they frame.
        ordered_ = true;
        std::vector<Win32ControlPeer*> stops;
        for (Win32ControlPeer* p : peers_)
            if (p->control().TabOrder() >= 0)
                stops.push_back(p);
        std::stable_sort(stops.begin(), stops.end(), [](auto* a, auto* b) {
            return a->control().TabOrder() < b->control().TabOrder();
        });
        HWND after = HWND_TOP;
        for (Win32ControlPeer* p : stops) {
            SetWindowPos(p->Hwnd(), after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            after = p->Hwnd();
        }
        for (Win32ControlPeer* p : peers_)
            if (p->control().Kind() == ControlKind::GroupBox)
                SetWindowPos(p->Hwnd(), HWND_BOTTOM, 0, 0, 0, 0,
                             SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    const auto peers = peers_;
    for (Win32ControlPeer* p : peers)
        p->Sync();
}

Win32Form* Win32Form::FromHandle(HWND hwnd) {
    if (hwnd == nullptr || !IsWindow(hwnd))
        return nullptr;
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != GetCurrentProcessId())
        return nullptr;
    if (reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_WNDPROC)) != &WindowProc)
        return nullptr;
    return reinterpret_cast<Win32Form*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

LRESULT CALLBACK Win32Form::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
        auto* self = static_cast<Win32Form*>(cs->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Win32Form*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr)
        return DefWindowProcW(hwnd, msg, wp, lp);
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    try {
        return self->Handle(msg, wp, lp);
    } catch (...) {
        // Nothing may unwind through the system's window procedure call.
        self->form_.app().ShowException(std::current_exception());
        return 0;
    }
}

LRESULT Win32Form::Handle(UINT msg, WPARAM wp, LPARAM lp) {
    Application& app = form_.app();
    if (LRESULT result = 0; strip_ != nullptr && strip_->Handle(msg, wp, lp, result))
        return result;
    switch (msg) {
        case WM_NCCALCSIZE: {
            // With a strip, the caption's height goes to the strip.
            const LRESULT r = DefWindowProcW(hwnd_, msg, wp, lp);
            if (strip_ != nullptr && !IsIconic(hwnd_)) {
                // Both forms of the message start with the client rectangle.
                auto* client = reinterpret_cast<RECT*>(lp);
                client->top += strip_->Height() - GetSystemMetrics(SM_CYCAPTION);
                client->bottom = std::max(client->bottom, client->top);
            }
            return r;
        }
        case WM_CTLCOLORSTATIC:
            // Labels and group boxes on the dialog's face.
            SetTextColor(reinterpret_cast<HDC>(wp), GetSysColor(COLOR_BTNTEXT));
            SetBkColor(reinterpret_cast<HDC>(wp), GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        case WM_CLOSE:
            app.Guard(form_, [&] { form_.Close(); });
            return 0;
        case WM_SYSCOMMAND:
            // The window's own handler first, then the command's default processing.
            if (form_.OnSysCommand) {
                auto handler = form_.OnSysCommand;
                app.Guard(form_, [&] { handler(static_cast<std::uint32_t>(wp)); });
            }
            return DefWindowProcW(hwnd_, msg, wp, lp);
        case WM_SIZE:
            TrackNativeState();
            if (wp != SIZE_MINIMIZED)
                Layout();
            return 0;
        case WM_WINDOWPOSCHANGED: {
            const LRESULT r = DefWindowProcW(hwnd_, msg, wp, lp);
            TrackNativeState();
            return r;
        }
        case WM_SETFONT:
            font_ = reinterpret_cast<HFONT>(wp);
            return 0;
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(font_);
        case DM_GETDEFID:
            for (Win32ControlPeer* p : peers_)
                if (p->control().Kind() == ControlKind::Button &&
                    static_cast<Button&>(p->control()).IsDefault())
                    return MAKELRESULT(p->Id(), DC_HASDEFID);
            return 0;
        case WM_COMMAND: {
            const WORD id = LOWORD(wp);
            const WORD code = HIWORD(wp);
            for (Win32ControlPeer* p : peers_)
                if (p->Id() == id) {
                    p->Command(code);
                    return 0;
                }
            if (id == IDOK && lp == 0)
                form_.PressDefaultButton();
            return 0;
        }
        default:
            return DefWindowProcW(hwnd_, msg, wp, lp);
    }
}

}  // namespace kelvra::ui::win32
