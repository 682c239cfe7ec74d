// The client's window definitions on real Win32 windows: class names, UTF-16 captions,
// borders, exact client sizes, the font, centring and the maximised main window.
#include <gtest/gtest.h>

#include "win32_client.h"
#include "windows/definitions.h"
#include "windows/frm_browser.h"
#include "windows/frm_login.h"
#include "windows/frm_sysset.h"

namespace kelvra::test {
namespace {

RECT WorkArea() {
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return work;
}

void ExpectCentredOn(HWND window, const RECT& area) {
    RECT r{};
    GetWindowRect(window, &r);
    const POINT got = Centre(r);
    const POINT want = Centre(area);
    EXPECT_NEAR(got.x, want.x, 1);
    EXPECT_NEAR(got.y, want.y, 1);
}

struct Expected {
    const wchar_t* window_class;
    const wchar_t* caption;
    int client_width;
    int client_height;
    bool sizeable;
    bool minimize_box;
    bool maximize_box;
};

void ExpectDefinition(HWND hwnd, const Expected& e) {
    SCOPED_TRACE(testing::Message() << "window " << platform::win32::Narrow(e.window_class));
    EXPECT_EQ(ClassOf(hwnd), e.window_class);
    EXPECT_EQ(WindowText(hwnd), e.caption);
    const SIZE client = ClientSize(hwnd);
    EXPECT_EQ(client.cx, e.client_width);
    EXPECT_EQ(client.cy, e.client_height);
    const LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
    EXPECT_EQ((style & WS_THICKFRAME) != 0, e.sizeable);
    EXPECT_EQ((style & WS_MINIMIZEBOX) != 0, e.minimize_box);
    EXPECT_EQ((style & WS_MAXIMIZEBOX) != 0, e.maximize_box);
    EXPECT_NE(style & WS_SYSMENU, 0);
    EXPECT_NE(style & WS_CAPTION, 0);
    if (!e.sizeable) {
        EXPECT_NE(GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME, 0);
    }
    LOGFONTW font{};
    HFONT handle = reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0));
    ASSERT_NE(handle, nullptr);
    ASSERT_NE(GetObjectW(handle, sizeof font, &font), 0);
    EXPECT_STREQ(font.lfFaceName, L"Tahoma");
    EXPECT_EQ(font.lfHeight, -11);
}

TEST(Win32Forms, EveryWindowHasItsDefinition) {
    Win32Client c;
    ui::Form& main = c.app.CreateForm<ui::Form>(windows::MainDefinition());
    main.Show();
    auto& login = c.app.CreateForm<windows::TFrmLogin>(c.context);
    login.Show();
    auto& popup = c.app.CreateForm<windows::TFrmBrowser>(c.context);
    popup.Show();
    auto& settings = c.app.CreateForm<windows::TFrmsysSet>(c.context);
    settings.Show();

    // Maximised main window; its restored place is 806 x 508 client, centred.
    EXPECT_TRUE(IsZoomed(Hwnd(main)));
    EXPECT_NE(GetWindowLongPtrW(Hwnd(main), GWL_EXSTYLE) & WS_EX_APPWINDOW, 0);
    EXPECT_EQ(GetWindow(Hwnd(main), GW_OWNER), nullptr);
    WINDOWPLACEMENT wp{};
    wp.length = sizeof wp;
    ASSERT_TRUE(GetWindowPlacement(Hwnd(main), &wp));
    RECT normal = wp.rcNormalPosition;
    RECT frame{0, 0, 806, 508};
    AdjustWindowRectEx(&frame, GetWindowLongPtrW(Hwnd(main), GWL_STYLE) & ~WS_MAXIMIZE, FALSE,
                       GetWindowLongPtrW(Hwnd(main), GWL_EXSTYLE));
    EXPECT_EQ(normal.right - normal.left, frame.right - frame.left);
    EXPECT_EQ(normal.bottom - normal.top, frame.bottom - frame.top);
    const RECT work = WorkArea();
    OffsetRect(&normal, work.left, work.top);
    EXPECT_NEAR(Centre(normal).x, Centre(work).x, 1);
    EXPECT_NEAR(Centre(normal).y, Centre(work).y, 1);
    EXPECT_EQ(WindowText(Hwnd(main)), L"Kelvra教学云平台");

    ExpectDefinition(Hwnd(login),
                     {L"TFrmLogin", L"Kelvra教学云平台", 800, 460, false, false, false});
    ExpectDefinition(Hwnd(popup), {L"TFrmBrowser", L"FrmBrowser", 962, 710, true, true, false});
    ExpectDefinition(Hwnd(settings), {L"TFrmsysSet", L"系统设置", 464, 153, false, false, false});

    // The title bar takes the caption's place: the frame above the client area is the frame
    // below it plus the bar, and the browser fills the whole client area.
    for (auto* form : {static_cast<ui::Form*>(&login), static_cast<ui::Form*>(&popup)}) {
        const HWND hwnd = Hwnd(*form);
        RECT outer{};
        GetWindowRect(hwnd, &outer);
        POINT origin{0, 0};
        ClientToScreen(hwnd, &origin);
        const SIZE client = ClientSize(hwnd);
        EXPECT_EQ(origin.y - outer.top,
                  outer.bottom - (origin.y + client.cy) + ui::win32::kTitleStripHeight);
        const ui::Control* browser = form->FindControl("Browser1");
        ASSERT_NE(browser, nullptr);
        EXPECT_EQ(browser->Bounds().top, 0);
        EXPECT_EQ(browser->Bounds().width, client.cx);
        EXPECT_EQ(browser->Bounds().height, client.cy);
    }

    // The main window is maximised, so the others centre on the screen's work area; the
    // main window owns them and keeps the only task-bar button.
    for (ui::Form* form : {static_cast<ui::Form*>(&login), static_cast<ui::Form*>(&popup),
                           static_cast<ui::Form*>(&settings)}) {
        ExpectCentredOn(Hwnd(*form), work);
        EXPECT_EQ(GetWindow(Hwnd(*form), GW_OWNER), Hwnd(main));
    }
}

TEST(Win32Forms, PopupCentresOnARestoredMainWindowAndCaptionsFollowChanges) {
    Win32Client c;
    ui::Form& main = c.app.CreateForm<ui::Form>(windows::MainDefinition());
    main.SetState(ui::WindowState::Normal);
    main.Show();
    main.SetPosition(40, 30);
    RECT main_rect{};
    GetWindowRect(Hwnd(main), &main_rect);
    EXPECT_EQ(main_rect.left, 40);
    EXPECT_EQ(main_rect.top, 30);
    EXPECT_EQ(ClientSize(Hwnd(main)).cx, 806);
    EXPECT_EQ(ClientSize(Hwnd(main)).cy, 508);

    auto& popup = c.app.CreateForm<windows::TFrmBrowser>(c.context);
    // Sized before its first show, as the main window does from the link's attributes.
    popup.SetWidth(800);
    popup.SetHeight(600);
    popup.Show();
    RECT popup_rect{};
    GetWindowRect(Hwnd(popup), &popup_rect);
    EXPECT_EQ(popup_rect.right - popup_rect.left, 800);
    EXPECT_EQ(popup_rect.bottom - popup_rect.top, 600);
    ExpectCentredOn(Hwnd(popup), main_rect);

    main.SetCaption("教师首页 — 课程");
    EXPECT_EQ(WindowText(Hwnd(main)), L"教师首页 — 课程");
    // A caption outside the basic plane survives the trip through UTF-16.
    main.SetCaption("课程 \xF0\x9F\x93\x9A");
    EXPECT_EQ(WindowText(Hwnd(main)), L"课程 \U0001F4DA");

    // The user's own move is what the form reports afterwards.
    SetWindowPos(Hwnd(popup), nullptr, 10, 20, 700, 500, SWP_NOZORDER);
    EXPECT_EQ(popup.Bounds().left, 10);
    EXPECT_EQ(popup.Bounds().top, 20);
    EXPECT_EQ(popup.Width(), 700);
    EXPECT_EQ(popup.Height(), 500);
}

TEST(Win32Forms, PopupSystemCommandsHideAndShowTheTitleItems) {
    Win32Client c;
    ui::Form& main = c.app.CreateForm<ui::Form>(windows::MainDefinition());
    main.Show();
    auto& popup = c.app.CreateForm<windows::TFrmBrowser>(c.context);
    popup.Show();
    auto shown = [&](std::size_t i) {
        return ui::win32::TitleItemRect(Hwnd(popup), i).has_value();
    };
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_TRUE(shown(i));

    SendMessageW(Hwnd(popup), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(IsIconic(Hwnd(popup)));
    EXPECT_EQ(popup.State(), ui::WindowState::Minimized);
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_FALSE(shown(i));

    SendMessageW(Hwnd(popup), WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_FALSE(IsIconic(Hwnd(popup)));
    EXPECT_EQ(popup.State(), ui::WindowState::Normal);
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_TRUE(shown(i));
    EXPECT_EQ(ClientSize(Hwnd(popup)).cx, 962);

    // The title bar is the caption: its free part drags the window, and its close button
    // closes the popup, which destroys itself once the close has completed.
    const int right = ClientSize(Hwnd(popup)).cx;
    auto hit = [&](POINT p) {
        ClientToScreen(Hwnd(popup), &p);
        return SendMessageW(Hwnd(popup), WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y));
    };
    const int middle = -ui::win32::kTitleStripHeight / 2;
    EXPECT_EQ(hit({right / 2, middle}), HTCAPTION);
    EXPECT_EQ(hit({right - 50, middle}), HTMINBUTTON);
    const POINT close{right - 8, middle};
    ASSERT_EQ(hit(close), HTCLOSE);
    POINT close_on_screen = close;
    ClientToScreen(Hwnd(popup), &close_on_screen);
    SendMessageW(Hwnd(popup), WM_NCLBUTTONDOWN, HTCLOSE,
                 MAKELPARAM(close_on_screen.x, close_on_screen.y));
    SendMessageW(Hwnd(popup), WM_LBUTTONUP, 0, MAKELPARAM(close.x, close.y));
    HWND popup_hwnd = Hwnd(popup);
    // Ends the loop after the release that the close queued has run.
    c.ui.Post([&] { c.ui.Post([&] { c.app.Terminate(); }); });
    c.ui.RunLoop(c.app);
    EXPECT_FALSE(IsWindow(popup_hwnd));
    EXPECT_EQ(c.app.Forms().size(), 1u);
}

}  // namespace
}  // namespace kelvra::test
