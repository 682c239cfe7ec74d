// The windows as a person sees them: captured from a virtual desktop, where Wine draws the
// system frame as Windows does. The test runs itself again on a desktop of its own; the
// pictures stay in the build tree ("screen-*.png").
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "../app/screenshot.h"
#include "win32_client.h"
#include "windows/definitions.h"
#include "windows/frm_login.h"
#include "windows/frm_sysset.h"

namespace kelvra::test {
namespace {

constexpr const wchar_t* kDesktop = L"kelvrascreens";
constexpr const char* kInDesktop = "KELVRA_SCREENS_DESKTOP";

// Lets every window paint what it was asked to.
void Settle(Win32Client& c) {
    for (int i = 0; i < 20; ++i) {
        c.ui.ProcessPendingMessages();
        Sleep(25);
    }
}

RECT RectIn(HWND window, HWND child) {
    RECT r{};
    GetWindowRect(child, &r);
    RECT outer{};
    GetWindowRect(window, &outer);
    OffsetRect(&r, -outer.left, -outer.top);
    return r;
}

// Where the client area starts inside the window's rectangle.
POINT ClientOrigin(HWND window) {
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    RECT outer{};
    GetWindowRect(window, &outer);
    return POINT{origin.x - outer.left, origin.y - outer.top};
}

void CheckScreens() {
    Win32Client c;
    c.state.WebRoot = "r.test";
    ui::Form& main = c.app.CreateForm<ui::Form>(windows::MainDefinition());
    main.Show();
    auto& login = c.app.CreateForm<windows::TFrmLogin>(c.context);
    login.Show();
    auto& settings = c.app.CreateForm<windows::TFrmsysSet>(c.context);
    settings.Show();
    Settle(c);

    // The settings dialog: its group box shows the dialog's face inside its frame.
    SetForegroundWindow(Hwnd(settings));
    Settle(c);
    const auto dialog = CaptureWindow(Hwnd(settings));
    ASSERT_TRUE(dialog);
    SavePng(*dialog, TestBinDir() + "\\screen-settings.png");
    HWND box = FindChild(Hwnd(settings), L"Button", L"云平台地址");
    ASSERT_NE(box, nullptr);
    std::vector<RECT> framed;
    for (HWND child = GetWindow(Hwnd(settings), GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT))
        if (child != box)
            framed.push_back(RectIn(Hwnd(settings), child));
    const RECT inside = RectIn(Hwnd(settings), box);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    int checked = 0;
    int wrong = 0;
    for (int y = inside.top + 18; y < inside.bottom - 6; y += 3)
        for (int x = inside.left + 6; x < inside.right - 6; x += 3) {
            const POINT p{x, y};
            bool covered = false;
            for (RECT r : framed) {
                InflateRect(&r, 3, 3);
                covered = covered || PtInRect(&r, p);
            }
            if (covered)
                continue;
            ++checked;
            wrong += dialog->At(x, y) != face;
        }
    EXPECT_GT(checked, 100);
    EXPECT_EQ(wrong, 0) << "of " << checked << " points inside the group box";

    // The login window: its title bar stands where the caption was, and nothing of the
    // system caption shows above the client area.
    SetForegroundWindow(Hwnd(login));
    Settle(c);
    const auto shot = CaptureWindow(Hwnd(login));
    ASSERT_TRUE(shot);
    SavePng(*shot, TestBinDir() + "\\screen-login.png");
    const POINT client = ClientOrigin(Hwnd(login));
    const int band_top = client.y - ui::win32::kTitleStripHeight;
    ASSERT_GE(band_top, 0);
    const COLORREF strip = shot->At(client.x + 1, band_top + 1);
    const std::vector<COLORREF> caption_colours = {
        GetSysColor(COLOR_ACTIVECAPTION), GetSysColor(COLOR_GRADIENTACTIVECAPTION),
        GetSysColor(COLOR_INACTIVECAPTION), GetSysColor(COLOR_GRADIENTINACTIVECAPTION)};
    int caption_pixels = 0;
    int strip_pixels = 0;
    const int width = ClientSize(Hwnd(login)).cx;
    for (int y = band_top; y < client.y; ++y)
        for (int x = client.x; x < client.x + width; ++x) {
            const COLORREF p = shot->At(x, y);
            for (COLORREF colour : caption_colours)
                caption_pixels += p == colour;
            strip_pixels += p == strip;
        }
    EXPECT_EQ(caption_pixels, 0);
    EXPECT_NE(strip, face);
    EXPECT_GT(strip_pixels, width * ui::win32::kTitleStripHeight / 2);
}

// The forms' font draws Chinese text, through the font Windows links to it: two different
// characters do not come out as the same box.
TEST(Win32Screens, ChineseTextDrawsAsGlyphs) {
    ui::win32::Win32Ui ui;
    HDC screen = GetDC(nullptr);
    auto draw = [&](const wchar_t* text) {
        HDC dc = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, 24, 24);
        HGDIOBJ old_bitmap = SelectObject(dc, bitmap);
        HGDIOBJ old_font = SelectObject(dc, ui.Font());
        RECT all{0, 0, 24, 24};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        TextOutW(dc, 2, 2, text, 1);
        std::vector<COLORREF> pixels;
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 24; ++x)
                pixels.push_back(GetPixel(dc, x, y));
        SelectObject(dc, old_font);
        SelectObject(dc, old_bitmap);
        DeleteObject(bitmap);
        DeleteDC(dc);
        return pixels;
    };
    const auto teach = draw(L"教");
    const auto learn = draw(L"学");
    ReleaseDC(nullptr, screen);
    EXPECT_NE(teach, learn);
}

TEST(Win32Screens, WindowsAsSeenOnAVirtualDesktop) {
    if (std::getenv(kInDesktop) != nullptr) {
        CheckScreens();
        return;
    }
    // Wine gives a desktop named in its settings a virtual desktop window of that size.
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\Explorer\\Desktops", 0, nullptr,
                              0, KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const wchar_t size[] = L"1280x1024";
    RegSetValueExW(key, kDesktop, 0, REG_SZ, reinterpret_cast<const BYTE*>(size), sizeof size);
    RegCloseKey(key);

    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(self) +
                           L"\" --gtest_filter=Win32Screens.WindowsAsSeenOnAVirtualDesktop";
    ScopedEnv in_desktop(kInDesktop, "1");
    std::wstring desktop = kDesktop;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.lpDesktop = desktop.data();
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                               &si, &pi));
    CloseHandle(pi.hThread);
    const DWORD waited = WaitForSingleObject(pi.hProcess, 120000);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    if (waited != WAIT_OBJECT_0)
        TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hProcess);
    EXPECT_EQ(waited, WAIT_OBJECT_0);
    EXPECT_EQ(code, 0u) << "the run on the virtual desktop failed (its output is above)";
}

}  // namespace
}  // namespace kelvra::test
