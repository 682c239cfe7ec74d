#include "ui/win32/win32_ui.h"

#include <exception>
#include <vector>

#include "platform/win32/wide.h"
#include "ui/application.h"
#include "ui/controls.h"
#include "ui/dialog_script.h"
#include "ui/form.h"
#include "ui/modal_script.h"
#include "ui/win32/controls_win32.h"
#include "ui/win32/form_win32.h"

namespace kelvra::ui::win32 {
namespace {

constexpr const wchar_t* kMessageWindowClass = L"KelvraMessageWindow";
constexpr UINT kRunTasksMessage = WM_APP + 1;

class TimerPeer final : public NativeTimer {
  public:
    TimerPeer(Win32Ui& ui, Timer& timer, UINT_PTR id) : ui_(ui), timer_(timer), id_(id) {}
    ~TimerPeer() override { ui_.StopTimer(id_); }
    void Sync() override {
        if (timer_.Enabled())
            ui_.StartTimer(timer_, id_, timer_.Interval());
        else
            ui_.StopTimer(id_);
    }

  private:
    Win32Ui& ui_;
    Timer& timer_;
    UINT_PTR id_;
};

struct DisabledWindows {
    HWND keep = nullptr;
    std::vector<HWND> windows;
};

BOOL CALLBACK DisableOne(HWND hwnd, LPARAM lp) {
    auto* list = reinterpret_cast<DisabledWindows*>(lp);
    if (hwnd != list->keep && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd) &&
        Win32Form::FromHandle(hwnd) != nullptr) {
        EnableWindow(hwnd, FALSE);
        list->windows.push_back(hwnd);
    }
    return TRUE;
}

}  // namespace

Win32Ui::Win32Ui() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (!GetClassInfoExW(GetModuleHandleW(nullptr), kMessageWindowClass, &wc)) {
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = &MessageWindowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kMessageWindowClass;
        if (!RegisterClassExW(&wc))
            platform::win32::ThrowWin32("Cannot register the message window", GetLastError());
    }
    message_window_ = CreateWindowExW(0, kMessageWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                      nullptr, GetModuleHandleW(nullptr), nullptr);
    if (message_window_ == nullptr)
        platform::win32::ThrowWin32("Cannot create the message window", GetLastError());
    SetWindowLongPtrW(message_window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    font_ = CreateFontW(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                        DEFAULT_PITCH | FF_DONTCARE, L"Tahoma");
}

Win32Ui::~Win32Ui() {
    for (const auto& [id, timer] : timers_)
        KillTimer(message_window_, id);
    if (message_window_ != nullptr) {
        SetWindowLongPtrW(message_window_, GWLP_USERDATA, 0);
        DestroyWindow(message_window_);
    }
    if (font_ != nullptr)
        DeleteObject(font_);
}

std::unique_ptr<NativeForm> Win32Ui::CreateForm(Form& form) {
    app_ = &form.app();
    return std::make_unique<Win32Form>(*this, form);
}

std::unique_ptr<NativeControl> Win32Ui::CreateControl(Control& control) {
    return CreateStandardControl(*this, control);
}

std::unique_ptr<NativeTimer> Win32Ui::CreateTimer(Timer& timer) {
    const UINT_PTR id = next_timer_id_++;
    auto peer = std::make_unique<TimerPeer>(*this, timer, id);
    if (timer.Enabled())
        StartTimer(timer, id, timer.Interval());
    return peer;
}

UINT_PTR Win32Ui::StartTimer(Timer& timer, UINT_PTR id, unsigned interval) {
    timers_[id] = &timer;
    if (SetTimer(message_window_, id, interval, nullptr) == 0)
        platform::win32::ThrowWin32("Cannot start the timer " + timer.Name(), GetLastError());
    return id;
}

void Win32Ui::StopTimer(UINT_PTR id) {
    if (timers_.erase(id) > 0)
        KillTimer(message_window_, id);
}

void Win32Ui::FireTimer(UINT_PTR id) {
    auto it = timers_.find(id);
    if (it == timers_.end()) {
        KillTimer(message_window_, id);  // a tick that was already queued when it stopped
        return;
    }
    it->second->Fire();
}

void Win32Ui::Post(std::function<void()> task) {
    tasks_.push_back(std::move(task));
    if (!tasks_signalled_) {
        tasks_signalled_ = true;
        PostMessageW(message_window_, kRunTasksMessage, 0, 0);
    }
}

void Win32Ui::RunTasks() {
    tasks_signalled_ = false;
    std::deque<std::function<void()>> batch;
    batch.swap(tasks_);
    for (auto& task : batch) {
        if (app_ != nullptr)
            app_->Guard(task);
        else
            task();
    }
}

void Win32Ui::WakeUp() {
    PostMessageW(message_window_, WM_NULL, 0, 0);
}

Rect Win32Ui::Screen() const {
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return Rect{work.left, work.top, work.right - work.left, work.bottom - work.top};
}

void Win32Ui::Process(Application& app, MSG& msg) {
    const Message message{msg.hwnd, msg.message, static_cast<std::uintptr_t>(msg.wParam),
                          static_cast<std::intptr_t>(msg.lParam)};
    if (app.RouteMessage(message))
        return;  // the hook routine handled it: neither translated nor dispatched
    if (msg.hwnd != nullptr) {
        HWND root = GetAncestor(msg.hwnd, GA_ROOT);
        Win32Form* form = Win32Form::FromHandle(root);
        if (form != nullptr && form->WantsDialogKeys() && IsDialogMessageW(root, &msg))
            return;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

void Win32Ui::ProcessPendingMessages() {
    MSG msg{};
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));  // for the loop that owns it
            return;
        }
        if (app_ != nullptr) {
            Process(*app_, msg);
        } else {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

void Win32Ui::RunLoop(Application& app) {
    app_ = &app;
    MSG msg{};
    while (!app.Terminated()) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1)
            break;  // WM_QUIT, or the queue is gone
        Process(app, msg);
    }
}

void Win32Ui::RunModalLoop(Application& app, const std::function<bool()>& done) {
    app_ = &app;
    // The form being run modally is the newest one marked modal.
    Form* modal = nullptr;
    for (Form* form : app.Forms())
        if (form->Modal())
            modal = form;
    DisabledWindows disabled;
    disabled.keep = modal != nullptr ? static_cast<HWND>(modal->Handle()) : nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &DisableOne, reinterpret_cast<LPARAM>(&disabled));
    if (modal != nullptr && ActiveDialogScript() != nullptr) {
        Post([&app, modal] {
            if (app.Owns(modal) && modal->Modal())
                AnswerModalFromScript(*modal);
        });
    }
    MSG msg{};
    while (!done()) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(msg.wParam));  // for the outer loop
            break;
        }
        if (got == -1)
            break;
        Process(app, msg);
    }
    for (HWND hwnd : disabled.windows)
        if (IsWindow(hwnd))
            EnableWindow(hwnd, TRUE);
}

LRESULT CALLBACK Win32Ui::MessageWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<Win32Ui*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self != nullptr) {
        try {
            if (msg == kRunTasksMessage) {
                self->RunTasks();
                return 0;
            }
            if (msg == WM_TIMER) {
                self->FireTimer(static_cast<UINT_PTR>(wp));
                return 0;
            }
        } catch (...) {
            if (self->app_ != nullptr)
                self->app_->ShowException(std::current_exception());
            return 0;
        }
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace kelvra::ui::win32
