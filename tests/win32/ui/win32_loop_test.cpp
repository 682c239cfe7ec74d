// The message loops on real Win32 windows: the hook slot before translate and dispatch,
// modal runs ended by terminate or by the dialog's own buttons, dialog keys, timers, the
// title bar's settings item and the whole start-of-run sequence.
#include <gtest/gtest.h>

#include "platform/named_mutex.h"
#include "ui/dialog_script.h"
#include "win32_client.h"
#include "windows/definitions.h"
#include "windows/entry.h"
#include "windows/frm_login.h"
#include "windows/frm_main.h"
#include "windows/frm_sysset.h"

namespace kelvra::test {
namespace {

class CreatedMutexes final : public platform::NamedMutexes {
  public:
    platform::MutexOutcome CreateHeld(std::string_view) override {
        return platform::MutexOutcome::Created;
    }
};

TEST(Win32Loop, HookSlotSeesEveryQueuedMessageAndHandledOnesAreNotDispatched) {
    Win32Client c;
    ui::Form& main = c.app.CreateForm<ui::Form>(windows::MainDefinition());
    auto& dialog = c.app.CreateForm<windows::TFrmsysSet>(c.context);
    dialog.Show();
    HWND edit = FindChild(Hwnd(dialog), L"Edit", L"");
    ASSERT_NE(edit, nullptr);
    std::vector<std::uintptr_t> seen;
    int owner = 0;
    c.app.InstallMessageHook(&owner, [&](const ui::Message& m, bool& handled) {
        if (m.message == WM_CHAR && m.window == edit) {
            seen.push_back(m.wparam);
            handled = m.wparam == 'x';
        }
    });

    // The main loop.
    PostMessageW(edit, WM_CHAR, 'x', 1);
    PostMessageW(edit, WM_CHAR, 'y', 1);
    c.ui.Post([&] { c.app.Terminate(); });
    c.app.Run();
    EXPECT_TRUE(IsZoomed(Hwnd(main)));
    EXPECT_EQ(seen, (std::vector<std::uintptr_t>{'x', 'y'}));
    EXPECT_EQ(dialog.edt_webroot.Text(), "y");
}

TEST(Win32Loop, ModalRunConsultsTheHookAndDisablesTheOtherWindows) {
    Win32Client c;
    ui::Form& main = c.app.CreateForm<ui::Form>(windows::MainDefinition());
    main.Show();
    auto& dialog = c.app.CreateForm<windows::TFrmsysSet>(c.context);
    HWND edit = FindChild(Hwnd(dialog), L"Edit", L"");
    ASSERT_NE(edit, nullptr);
    std::vector<std::uintptr_t> seen;
    int owner = 0;
    c.app.InstallMessageHook(&owner, [&](const ui::Message& m, bool& handled) {
        if (m.message == WM_CHAR && m.window == edit) {
            seen.push_back(m.wparam);
            handled = m.wparam == 'q';
        }
    });
    bool main_enabled_inside = true;
    c.ui.Post([&] {
        main_enabled_inside = IsWindowEnabled(Hwnd(main)) != FALSE;
        PostMessageW(edit, WM_CHAR, 'q', 1);
        PostMessageW(edit, WM_CHAR, 'r', 1);
        c.ui.Post([&] { dialog.SetModalResult(ui::ModalResult::Ok); });
    });
    EXPECT_EQ(dialog.ShowModal(), ui::ModalResult::Ok);
    EXPECT_FALSE(main_enabled_inside);
    EXPECT_TRUE(IsWindowEnabled(Hwnd(main)));
    EXPECT_FALSE(IsWindowVisible(Hwnd(dialog)));
    EXPECT_EQ(seen, (std::vector<std::uintptr_t>{'q', 'r'}));
    EXPECT_EQ(dialog.edt_webroot.Text(), "r");
}

// Windows destroys owned windows with their owner: a released form that owns a live window
// (here a plain one, standing for a page's own dialog the application never sees) stays
// until that window has gone.
TEST(Win32Loop, AReleasedFormStaysWhileAWindowItOwnsIsAlive) {
    Win32Client c;
    c.app.CreateForm<ui::Form>(windows::MainDefinition());
    ui::Form& popup = c.app.CreateForm<ui::Form>(windows::BrowserDefinition());
    HWND dialog = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10,
                                  Hwnd(popup), nullptr, nullptr, nullptr);
    ASSERT_NE(dialog, nullptr);
    c.app.ReleaseForm(&popup);
    bool kept = false;
    c.ui.Post([&] {
        kept = c.app.Owns(&popup);
        DestroyWindow(dialog);
        c.ui.Post([&] { c.ui.Post([&] { c.app.Terminate(); }); });
    });
    c.app.Run();
    EXPECT_TRUE(kept);
    EXPECT_FALSE(c.app.Owns(&popup));
}

TEST(Win32Loop, ClosingTheLoginWindowEndsItsModalRunAsATerminateRequest) {
    Win32Client c;
    c.app.CreateForm<ui::Form>(windows::MainDefinition());
    auto& login = c.app.CreateForm<windows::TFrmLogin>(c.context);
    c.ui.Post([&] { PostMessageW(Hwnd(login), WM_CLOSE, 0, 0); });
    EXPECT_EQ(login.ShowModal(), ui::ModalResult::Cancel);
    EXPECT_TRUE(c.app.Terminated());
    EXPECT_FALSE(IsWindowVisible(Hwnd(login)));
    // The loop then ends at once and shows no main window.
    c.app.Run();
    EXPECT_FALSE(IsWindowVisible(Hwnd(*c.app.MainForm())));
}

TEST(Win32Loop, AVetoedTerminateLeavesTheApplicationRunning) {
    Win32Client c;
    c.app.CreateForm<ui::Form>(windows::MainDefinition());
    auto& login = c.app.CreateForm<windows::TFrmLogin>(c.context);
    int asked = 0;
    c.app.SetTerminationCheck([&] {
        ++asked;
        return false;
    });
    c.ui.Post([&] { PostMessageW(Hwnd(login), WM_CLOSE, 0, 0); });
    EXPECT_EQ(login.ShowModal(), ui::ModalResult::Cancel);  // the window still closes
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(c.app.Terminated());
}

TEST(Win32Loop, TimersTickUntilDisabledAndTheirErrorsReachTheErrorBox) {
    Win32Client c;
    c.app.SetTitle("Kelvra教学云客户端");
    ui::Form& main = c.app.CreateForm<ui::Form>(windows::MainDefinition());
    ui::Timer ticker(main, "ticker", 15, true);
    ui::Timer once(main, "once", 10, true);
    ui::Timer deadline(main, "deadline", 10000, true);
    int ticks = 0;
    int once_ticks = 0;
    ticker.OnTimer = [&] {
        if (++ticks == 1)
            throw Error("Tick failed");
        if (ticks == 4)
            c.app.Terminate();
    };
    once.OnTimer = [&] {
        ++once_ticks;
        once.SetEnabled(false);
    };
    deadline.OnTimer = [&] { c.app.Terminate(); };
    c.app.Run();
    EXPECT_EQ(ticks, 4);
    EXPECT_EQ(once_ticks, 1);
    ASSERT_EQ(c.boxes.shown.size(), 1u);
    EXPECT_EQ(c.boxes.shown[0].text, "Tick failed.");
    EXPECT_EQ(c.boxes.shown[0].caption, "Kelvra教学云客户端");
    EXPECT_EQ(c.boxes.shown[0].icon, ui::MsgIcon::Error);
}

TEST(Win32Loop, TitleBarSettingsItemRunsTheDialogAndReloadsTheLoginPage) {
    Win32Client c;
    c.state.WebRoot = "r.test";
    ui::Form& main = c.app.CreateForm<ui::Form>(windows::MainDefinition());
    main.Show();
    auto& login = c.app.CreateForm<windows::TFrmLogin>(c.context);
    login.Show();
    // The items stand above the client area, the settings button at its right end.
    ASSERT_TRUE(ui::win32::TitleItemRect(Hwnd(login), 0));
    const auto settings = ui::win32::TitleItemRect(Hwnd(login), 1);
    ASSERT_TRUE(settings);
    EXPECT_LE(settings->bottom, 0);
    EXPECT_GT(settings->right, 700);
    POINT at = Centre(*settings);
    POINT on_screen = at;
    ClientToScreen(Hwnd(login), &on_screen);
    EXPECT_EQ(SendMessageW(Hwnd(login), WM_NCHITTEST, 0, MAKELPARAM(on_screen.x, on_screen.y)),
              HTCLIENT)
        << "the button takes the mouse";
    // The hint shows as a tooltip on the button.
    HWND tip = nullptr;
    while ((tip = FindWindowExW(nullptr, tip, TOOLTIPS_CLASSW, nullptr)) != nullptr) {
        if (GetWindow(tip, GW_OWNER) == Hwnd(login))
            break;
    }
    ASSERT_NE(tip, nullptr);
    wchar_t text[64] = {};
    TOOLINFOW ti{};
    ti.cbSize = TTTOOLINFOW_V2_SIZE;
    ti.hwnd = Hwnd(login);
    ti.uId = 1;
    ti.lpszText = text;
    SendMessageW(tip, TTM_GETTEXTW, 64, reinterpret_cast<LPARAM>(&ti));
    EXPECT_STREQ(text, L"系统设置");

    bool login_enabled_inside = true;
    std::wstring dialog_caption;
    c.ui.Post([&] {
        ASSERT_NE(c.state.FrmsysSet, nullptr);
        HWND dialog = Hwnd(*c.state.FrmsysSet);
        dialog_caption = WindowText(dialog);
        login_enabled_inside = IsWindowEnabled(Hwnd(login)) != FALSE;
        SendMessageW(FindChild(dialog, L"Button", L"取消"), BM_CLICK, 0, 0);
    });
    const LPARAM click = MAKELPARAM(at.x, at.y);
    SendMessageW(Hwnd(login), WM_LBUTTONDOWN, MK_LBUTTON, click);
    SendMessageW(Hwnd(login), WM_LBUTTONUP, 0, click);
    EXPECT_EQ(dialog_caption, L"系统设置");
    EXPECT_FALSE(login_enabled_inside);
    EXPECT_TRUE(IsWindowEnabled(Hwnd(login)));
    EXPECT_FALSE(IsWindowVisible(Hwnd(*c.state.FrmsysSet)));
    const auto& navigations = headless::HeadlessBrowserBackend::Of(login.Browser1).navigations();
    ASSERT_FALSE(navigations.empty());
    EXPECT_EQ(navigations.back(), "http://r.test/site/login");
    EXPECT_FALSE(platform::SystemFileSystem().FileExists(c.SettingsFile()));
}

TEST(Win32Loop, EnterInTheSettingsFieldPressesSaveAndTabFollowsTheTabOrder) {
    Win32Client c;
    c.app.CreateForm<ui::Form>(windows::MainDefinition());
    auto& dialog = c.app.CreateForm<windows::TFrmsysSet>(c.context);
    HWND edit = FindChild(Hwnd(dialog), L"Edit", L"");
    HWND save = FindChild(Hwnd(dialog), L"Button", L"保存");
    HWND cancel = FindChild(Hwnd(dialog), L"Button", L"取消");
    ASSERT_TRUE(edit && save && cancel);
    HWND after_edit = nullptr;
    HWND after_save = nullptr;
    c.ui.Post([&] {
        after_edit = GetNextDlgTabItem(Hwnd(dialog), edit, FALSE);
        after_save = GetNextDlgTabItem(Hwnd(dialog), save, FALSE);
        SetWindowTextW(edit, L"127.0.0.1:8123");
        SetFocus(edit);
        PostMessageW(edit, WM_KEYDOWN, VK_RETURN, 1);
        PostMessageW(edit, WM_KEYUP, VK_RETURN, 1);
    });
    dialog.ShowModal();
    EXPECT_EQ(after_edit, save);
    EXPECT_EQ(after_save, cancel);
    EXPECT_EQ(c.state.WebRoot, "127.0.0.1:8123");
    EXPECT_NE(ReadBytes(c.SettingsFile()).find("webroot=127.0.0.1:8123"), std::string::npos);
}

TEST(Win32Loop, TheDialogScriptAnswersTheSettingsDialogThroughItsOwnSaveButton) {
    Win32Client c;
    TempDir scripts;
    const std::string script = scripts.File("dialogs.txt");
    WriteBytes(script, "answer: OK edt_webroot=\"10.1.2.3:9000\"\nanswer: Cancel\n");
    ScopedEnv use_script("KELVRA_DIALOG_SCRIPT", script);
    c.state.WebRoot = "before.test";
    c.app.CreateForm<ui::Form>(windows::MainDefinition());
    auto& first = c.app.CreateForm<windows::TFrmsysSet>(c.context);
    first.ShowModal();
    EXPECT_EQ(c.state.WebRoot, "10.1.2.3:9000");
    EXPECT_NE(ReadBytes(c.SettingsFile()).find("webroot=10.1.2.3:9000"), std::string::npos);
    // The second dialog is cancelled: the field held the saved value, nothing changes.
    auto& second = c.app.CreateForm<windows::TFrmsysSet>(c.context);
    EXPECT_EQ(second.edt_webroot.Text(), "10.1.2.3:9000");
    second.ShowModal();
    EXPECT_EQ(c.state.WebRoot, "10.1.2.3:9000");
    const auto records = ui::ReadScriptRecords(ReadBytes(script));
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].kind, "prompt");
    EXPECT_EQ(records[0].fields.at("caption"), "系统设置");
    EXPECT_EQ(records[0].fields.at("fields"), "edt_webroot");
    EXPECT_EQ(records[0].answer, "OK");
    EXPECT_EQ(records[1].answer, "Cancel");
}

TEST(Win32Loop, StartOfRunSignsInThenShowsTheMainWindowMaximisedUntilItIsClosed) {
    Win32Client c;
    platform::SystemFileSystem().MakeDirectory(c.appdata.File("kelvraeduConfig"));
    WriteBytes(c.SettingsFile(), "[SYSTEM]\r\nwebroot=r.test\r\n");
    CreatedMutexes mutexes;
    bool login_shown = false;
    bool main_hidden_during_login = false;
    bool main_zoomed = false;
    std::wstring main_caption;
    c.ui.Post([&] {
        auto* login = c.browsers.Find("TFrmLogin");
        ASSERT_NE(login, nullptr);
        login_shown = IsWindowVisible(Hwnd(login->owner().form())) != FALSE;
        main_hidden_during_login = !IsWindowVisible(Hwnd(*c.app.MainForm()));
        login->CompletePending("登录");
        login->Complete("http://r.test/home/techer/index", "首页");
        // Runs in the main loop, once the main window is up.
        c.ui.Post([&] {
            HWND main = Hwnd(*c.app.MainForm());
            c.browsers.Find("TFrmMain")->CompletePending("教师首页");
            main_zoomed = IsZoomed(main) && IsWindowVisible(main);
            main_caption = WindowText(main);
            PostMessageW(main, WM_CLOSE, 0, 0);
        });
    });
    windows::ClientPorts ports{c.app, mutexes, c.context, nullptr};
    EXPECT_EQ(windows::RunClient(ports), 0);
    EXPECT_TRUE(login_shown);
    EXPECT_TRUE(main_hidden_during_login);
    EXPECT_TRUE(main_zoomed);
    EXPECT_EQ(main_caption, L"教师首页");
    EXPECT_TRUE(c.app.Terminated());
    EXPECT_TRUE(c.app.Forms().empty());
    const auto navigations = c.log.LogLines("navigate ");
    ASSERT_EQ(navigations.size(), 2u);
    EXPECT_EQ(navigations[0], "navigate TFrmLogin.Browser1 http://r.test/site/login");
    EXPECT_EQ(navigations[1], "navigate TFrmMain.Browser1 http://r.test/home/techer/default");
}

}  // namespace
}  // namespace kelvra::test
