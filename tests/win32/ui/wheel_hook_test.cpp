// The wheel rule on a tree of real windows carrying the browser's class names, the hook
// driven by real wheel input, and the process set-up's start and end steps.
#include <windows.h>

#include <ole2.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "browser/win32/browser_setup.h"
#include "browser/win32/wheel_hook.h"

namespace kelvra::test {
namespace {

using browser::win32::FindAncestorOfClass;
using browser::win32::kShellDocObjectView;
using browser::win32::kShellEmbedding;
using browser::win32::WheelTakesFocus;

int g_wheel_messages = 0;
HWND g_counted_page = nullptr;

LRESULT CALLBACK CountingProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_MOUSEWHEEL && hwnd == g_counted_page) {
        ++g_wheel_messages;
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

void Register(const wchar_t* name) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &CountingProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = name;
    RegisterClassW(&wc);
}

// A frame with a text field and one browser: outer window, document view, page.
struct BrowserFrame {
    HWND frame = nullptr;
    HWND field = nullptr;
    HWND embedding = nullptr;
    HWND view = nullptr;
    HWND page = nullptr;

    BrowserFrame(int x, int y) {
        HINSTANCE inst = GetModuleHandleW(nullptr);
        frame = CreateWindowExW(0, L"WheelTestFrame", L"frame", WS_OVERLAPPEDWINDOW | WS_VISIBLE, x,
                                y, 400, 300, nullptr, nullptr, inst, nullptr);
        field = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_BORDER, 0, 0, 150, 22,
                                frame, nullptr, inst, nullptr);
        embedding = CreateWindowExW(0, kShellEmbedding, L"", WS_CHILD | WS_VISIBLE, 0, 40, 380, 200,
                                    frame, nullptr, inst, nullptr);
        view = CreateWindowExW(0, kShellDocObjectView, L"", WS_CHILD | WS_VISIBLE, 0, 0, 380, 200,
                               embedding, nullptr, inst, nullptr);
        page = CreateWindowExW(0, L"WheelTestPage", L"", WS_CHILD | WS_VISIBLE, 0, 0, 380, 200,
                               view, nullptr, inst, nullptr);
    }
    ~BrowserFrame() { DestroyWindow(frame); }
};

class WheelRule : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        Register(L"WheelTestFrame");
        Register(kShellEmbedding);
        Register(kShellDocObjectView);
        Register(L"WheelTestPage");
    }
};

TEST_F(WheelRule, AncestorSearchStartsAtTheParentAndMatchesTheExactClass) {
    BrowserFrame a(50, 50);
    EXPECT_EQ(FindAncestorOfClass(a.page, kShellEmbedding), a.embedding);
    EXPECT_EQ(FindAncestorOfClass(a.view, kShellEmbedding), a.embedding);
    EXPECT_EQ(FindAncestorOfClass(a.page, kShellDocObjectView), a.view);
    EXPECT_EQ(FindAncestorOfClass(a.embedding, kShellEmbedding), nullptr);  // never itself
    EXPECT_EQ(FindAncestorOfClass(a.field, kShellEmbedding), nullptr);
    EXPECT_EQ(FindAncestorOfClass(a.page, L"Shell Embeddin"), nullptr);
    EXPECT_EQ(FindAncestorOfClass(nullptr, kShellEmbedding), nullptr);
}

TEST_F(WheelRule, DecisionOnATreeOfRealWindows) {
    BrowserFrame a(50, 50);
    BrowserFrame b(500, 50);
    struct Case {
        const char* name;
        HWND under_pointer;
        HWND focus;
        bool takes_focus;
    } cases[] = {
        {"focus in a field of the window, wheel over its page", a.page, a.field, true},
        {"focus already on the page under the pointer", a.page, a.page, false},
        {"focus on the same browser's document view", a.page, a.view, true},
        {"focus in the other browser's page", b.page, a.page, true},
        {"focus on the frame itself, wheel over the page", a.page, a.frame, true},
        {"wheel over the text field", a.field, a.page, false},
        {"wheel over the frame", a.frame, a.field, false},
        {"wheel over the outer browser window itself", a.embedding, a.field, false},
        {"wheel over the document view, focus outside", a.view, a.field, true},
        {"no window under the pointer", nullptr, a.field, false},
        {"no focus", a.page, nullptr, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WheelTakesFocus(c.under_pointer, c.focus), c.takes_focus) << c.name;
}

// Pumps this thread's messages until the condition holds. The deadline allows for the
// 32-bit build under an emulated Wine on a loaded machine, several times slower than native:
// a poll, it costs nothing when the condition comes true at once.
bool PumpUntil(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return true;
}

void Wheel(HWND over) {
    RECT r{};
    GetWindowRect(over, &r);
    SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = MOUSEEVENTF_WHEEL;
    input.mi.mouseData = static_cast<DWORD>(-WHEEL_DELTA);
    SendInput(1, &input, sizeof input);
}

TEST_F(WheelRule, FirstNotchMovesTheFocusAndIsDroppedTheNextScrolls) {
    browser::win32::BrowserProcess process;
    ASSERT_NE(browser::win32::TWheelHook::Current(), nullptr);
    ASSERT_TRUE(browser::win32::TWheelHook::Current()->Installed());
    BrowserFrame a(60, 60);
    SetForegroundWindow(a.frame);
    SetFocus(a.field);
    ASSERT_TRUE(PumpUntil([&] { return GetFocus() == a.field; }));
    g_counted_page = a.page;
    g_wheel_messages = 0;

    Wheel(a.page);
    ASSERT_TRUE(PumpUntil([&] { return GetFocus() == a.page; })) << "the page took no focus";
    // Flush whatever input is still queued before counting.
    PumpUntil([] { return GetQueueStatus(QS_ALLINPUT) == 0; });
    EXPECT_EQ(g_wheel_messages, 0);

    Wheel(a.page);
    EXPECT_TRUE(PumpUntil([] { return g_wheel_messages == 1; }));
    EXPECT_EQ(GetFocus(), a.page);
    g_counted_page = nullptr;
}

TEST(BrowserProcess, EndRestoresTheControlWordThenRemovesTheHookThenUninitialisesOle) {
    browser::win32::BrowserProcess process;
    const std::uint16_t saved = process.SavedControlWord();
    EXPECT_EQ(saved, browser::win32::ReadFpuControlWord());
    // OLE is initialised on this thread: a further initialisation only counts up.
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
    CoUninitialize();
    // A page's script engine changes the rounding and exception masks.
    browser::win32::LoadFpuControlWord(static_cast<std::uint16_t>(saved ^ 0x0C01));
    ASSERT_NE(browser::win32::ReadFpuControlWord(), saved);

    std::vector<std::string> steps;
    process.trace = [&](std::string_view step) {
        steps.emplace_back(step);
        const auto* hook = browser::win32::TWheelHook::Current();
        if (step == "control word") {
            EXPECT_EQ(browser::win32::ReadFpuControlWord(), saved);
            EXPECT_TRUE(hook != nullptr && hook->Installed());
        } else if (step == "hook removed") {
            EXPECT_EQ(hook, nullptr);
            EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE)
                << "OLE must still be initialised when the hook goes";
            CoUninitialize();
        }
    };
    process.End();
    EXPECT_EQ(steps,
              (std::vector<std::string>{"control word", "hook removed", "ole uninitialised"}));
    // OLE is gone: initialising it again starts afresh.
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    CoUninitialize();
    process.End();  // once only
    EXPECT_EQ(steps.size(), 3u);
}

TEST(BrowserProcess, TheHookObjectIsSharedAndGoesWithItsLastUse) {
    auto& first = browser::win32::TWheelHook::Create();
    auto& second = browser::win32::TWheelHook::Create();
    EXPECT_EQ(&first, &second);
    first.Activate();
    EXPECT_TRUE(first.Installed());
    first.Free();
    EXPECT_EQ(browser::win32::TWheelHook::Current(), &second);
    EXPECT_TRUE(second.Installed());
    second.Free();
    EXPECT_EQ(browser::win32::TWheelHook::Current(), nullptr);
}

}  // namespace
}  // namespace kelvra::test
