#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <vector>

#include "browser/doc_host.h"
#include "client_fixture.h"

namespace kelvra::test {
namespace {

using Lines = std::vector<std::string>;

TEST(Relogin, LoginAddressInAFrameRunsTheEightStepsInOrder) {
    ClientFixture f;
    auto& main = f.StartSignedIn();
    auto* first_login = f.state.FrmLogin;
    // One popup open before the re-login.
    f.Browser("TFrmMain").RequestNewWindow("http://r.test/lesson/1");
    auto* popup = f.state.FrmBrowser;
    ASSERT_NE(popup, nullptr);
    ASSERT_TRUE(popup->Visible());
    const std::size_t mark = f.ui.log().size();

    const void* hook_during_relogin = nullptr;
    f.ui.Post([&] {
        hook_during_relogin = f.app.MessageHookOwner();
        EXPECT_FALSE(main.Visible());
        EXPECT_FALSE(popup->Visible());
        f.Browser("TFrmLogin", 1).CompletePending("登录");
        f.Browser("TFrmLogin", 1).Complete("http://r.test/home/techer/index", "首页");
    });
    f.Browser("TFrmMain").Complete("http://r.test/frame/site/login?expired=1", "", true);

    Lines trace;
    for (std::size_t i = mark; i < f.ui.log().size(); ++i) {
        const std::string& line = f.ui.log()[i];
        for (const char* p : {"stop ", "hide ", "create ", "navigate ", "modal ", "show "})
            if (line.rfind(p, 0) == 0)
                trace.push_back(line);
    }
    const Lines expected = {
        "stop TFrmMain.Browser1",
        "hide TFrmMain",
        "hide TFrmBrowser",
        "create TFrmLogin",
        "navigate TFrmLogin.Browser1 http://r.test/site/login",
        "modal TFrmLogin",
        "hide TFrmLogin",
        "navigate TFrmMain.Browser1 http://r.test/home/techer/default",
        "show TFrmMain",
    };
    EXPECT_EQ(trace, expected);
    EXPECT_TRUE(main.Visible());
    EXPECT_NE(f.state.FrmLogin, first_login);
    // Hidden for good, both are released with their pages at a later turn of the loop.
    f.ui.RunPending();
    EXPECT_FALSE(f.app.Owns(first_login)) << "the earlier login window";
    EXPECT_FALSE(f.app.Owns(popup)) << "the popup hidden by the re-login";
    EXPECT_EQ(f.state.FrmBrowser, nullptr);
    EXPECT_TRUE(f.app.Owns(f.state.FrmLogin));
    // The slot keeps the new login window's routine: nothing restores the main window's.
    EXPECT_EQ(hook_during_relogin, f.state.FrmLogin);
    EXPECT_EQ(f.app.MessageHookOwner(), f.state.FrmLogin);
    EXPECT_EQ(f.ui.stalls(), 0);
}

TEST(Relogin, OtherLetterCaseDoesNothing) {
    for (const char* address : {"http://r.test/Site/Login", "http://r.test/SITE/LOGIN",
                                "http://r.test/site/Login", "http://r.test/site-login"}) {
        SCOPED_TRACE(address);
        ClientFixture f;
        auto& main = f.StartSignedIn();
        f.Browser("TFrmMain").Complete(address, "x");
        EXPECT_TRUE(f.ui.LogLines("stop ").empty());
        EXPECT_TRUE(main.Visible());
        EXPECT_EQ(f.ui.LogLines("create TFrmLogin").size(), 1u);
    }
}

TEST(Relogin, ClosingTheNewLoginWindowEndsTheRunAfterTheSequence) {
    ClientFixture f;
    auto& main = f.StartSignedIn();
    f.ui.Post([&] { f.state.FrmLogin->Close(); });
    f.Browser("TFrmMain").Complete("http://r.test/site/login", "登录");
    EXPECT_TRUE(f.app.Terminated());
    // Code after the request ran to its end: home page asked for, main shown again.
    EXPECT_EQ(f.ui.LogLines("navigate TFrmMain.Browser1").size(), 2u);
    EXPECT_TRUE(main.Visible());
}

void SignInOn(windows::TFrmLogin& login) {
    auto& browser = headless::HeadlessBrowserBackend::Of(login.Browser1);
    browser.CompletePending("登录");
    browser.Complete("http://r.test/home/techer/index", "首页");
}

// A window released while a loop of its own is on the stack (a login window in its modal
// run, a popup's box) stays until that loop returns, and the client ends with its newest
// login window signed in and the main window shown.
TEST(Relogin, AWindowReleasedUnderItsOwnLoopStaysUntilTheLoopReturns) {
    struct Case {
        const char* name;
        // Runs the scenario on a signed-in client; returns the released window and whether
        // it was still there when the scenario ended its nested loop.
        std::function<std::pair<ui::Form*, bool>(ClientFixture&)> run;
    };
    const std::vector<Case> cases = {
        {"frames reach the login page one after the other",
         [](ClientFixture& f) {
             std::pair<ui::Form*, bool> out;
             f.ui.Post([&] {
                 out.first = f.state.FrmLogin;  // in the first re-login's modal run
                 f.ui.Post([&f] { SignInOn(*f.state.FrmLogin); });
                 f.Browser("TFrmMain").Complete("http://r.test/f/2/site/login", "", true);
                 out.second = f.app.Owns(out.first);
             });
             f.Browser("TFrmMain").Complete("http://r.test/f/1/site/login", "", true);
             return out;
         }},
        {"sign-out while a popup's box is open",
         [](ClientFixture& f) {
             std::pair<ui::Form*, bool> out;
             f.Browser("TFrmMain").RequestNewWindow("http://r.test/lesson/1");
             out.first = f.state.FrmBrowser;
             f.boxes.while_shown = [&] {
                 f.ui.Post([&f] { SignInOn(*f.state.FrmLogin); });
                 f.Browser("TFrmMain").Complete("http://r.test/site/login", "登录");
                 out.second = f.app.Owns(out.first);
             };
             ui::MessageBoxRequest box;  // as a page call's box: owned by its window
             box.owner = out.first->Handle();
             f.app.boxes().Show(box);
             return out;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ClientFixture f;
        auto& main = f.StartSignedIn();
        const auto [released, kept_through_the_loop] = c.run(f);
        f.ui.RunPending();
        EXPECT_TRUE(kept_through_the_loop);
        EXPECT_FALSE(f.app.Owns(released)) << "destroyed once its loop returned";
        EXPECT_TRUE(main.Visible());
        EXPECT_TRUE(f.state.LoginSucceeded);
        EXPECT_TRUE(f.app.Owns(f.state.FrmLogin));
        EXPECT_FALSE(f.app.Terminated());
        EXPECT_EQ(f.ui.stalls(), 0);
    }
}

TEST(CloseBrowserWin, HidesExactlyThePopupWindows) {
    ClientFixture f;
    auto& main = f.StartSignedIn();
    f.Browser("TFrmMain").RequestNewWindow("http://r.test/a");
    f.Browser("TFrmMain").RequestNewWindow("http://r.test/b");
    std::vector<ui::Form*> popups;
    for (ui::Form* form : f.app.Forms())
        if (form->ClassName() == "TFrmBrowser")
            popups.push_back(form);
    ASSERT_EQ(popups.size(), 2u);
    auto* login = f.state.FrmLogin;
    login->Show();  // a window of another class that happens to be visible
    ASSERT_EQ(f.app.MessageHookOwner(), popups.back());
    main.CloseBrowserWin();
    for (ui::Form* p : popups) {
        EXPECT_FALSE(p->Visible());
        EXPECT_TRUE(f.app.Owns(p)) << "hidden now, destroyed only at a later turn";
    }
    f.ui.RunPending();
    for (ui::Form* p : popups)
        EXPECT_FALSE(f.app.Owns(p)) << "never shown again: released";
    EXPECT_EQ(f.state.FrmBrowser, nullptr);
    EXPECT_EQ(f.app.MessageHookOwner(), nullptr) << "the routine left the slot with its window";
    EXPECT_FALSE(f.app.RouteMessage(ui::Message{nullptr, ui::kWmKeyDown, 'A', 0}));
    EXPECT_TRUE(main.Visible());
    EXPECT_TRUE(login->Visible());
    EXPECT_TRUE(f.app.Owns(login));
}

TEST(MainWindow, CaptionFollowsEveryDocumentIncludingFrames) {
    ClientFixture f;
    auto& main = f.StartSignedIn();
    EXPECT_EQ(main.Caption(), "教师首页");
    auto& b = f.Browser("TFrmMain");
    b.title = "备课中心";
    b.Complete("http://r.test/frame/x", "", true);
    EXPECT_EQ(main.Caption(), "备课中心");
}

TEST(MainWindow, ContextMenuSuppressedAndEveryRequestGetsANewExternalObject) {
    ClientFixture f;
    auto& main = f.StartSignedIn();
    for (std::uint32_t kind : {0u, 1u, 2u, 3u, 4u, 5u})
        EXPECT_EQ(browser::AnswerShowContextMenu(main.Browser1, kind, nullptr, nullptr, nullptr),
                  browser::kSOk);
    std::shared_ptr<browser::Dispatch> a, b;
    EXPECT_EQ(browser::AnswerGetExternal(main.Browser1, a), browser::kSOk);
    EXPECT_EQ(browser::AnswerGetExternal(main.Browser1, b), browser::kSOk);
    ASSERT_TRUE(a && b);
    EXPECT_NE(a, b);
    EXPECT_EQ(main.Browser1.UserInterfaceValue(), 0x4400Cu);
    EXPECT_EQ(f.state.FrmLogin->Browser1.UserInterfaceValue(), 0x4400Cu);
    EXPECT_EQ(main.Browser1.DownloadOptionValue(), 0x70u);
    EXPECT_FALSE(browser::ProvidesService(main.Browser1, browser::kIidDownloadManager));
}

TEST(KeyRouting, TheNewestWindowsRoutineReceivesTheKeys) {
    ClientFixture f;
    f.StartSignedIn();
    ASSERT_EQ(f.app.MessageHookOwner(), f.state.FrmMain);
    const ui::Message key_a{nullptr, ui::kWmKeyDown, 'A', 0};
    f.ui.PostMessage(f.app, key_a);
    f.ui.RunPending();
    EXPECT_EQ(f.Browser("TFrmMain").translated.size(), 1u);

    f.Browser("TFrmMain").RequestNewWindow("http://r.test/p");
    ASSERT_EQ(f.app.MessageHookOwner(), f.state.FrmBrowser);
    f.ui.PostMessage(f.app, key_a);
    f.ui.RunPending();
    EXPECT_EQ(f.Browser("TFrmMain").translated.size(), 1u) << "main no longer offered keys";
    EXPECT_EQ(f.Browser("TFrmBrowser").translated.size(), 1u);
    EXPECT_TRUE(f.ui.LogLines("dispatch ").empty()) << "handled messages are not dispatched";

    // A message the browser's dialog check does not take is neither translated nor kept
    // from its normal dispatch.
    f.Browser("TFrmBrowser").dialog_message_handles = false;
    f.ui.PostMessage(f.app, key_a);
    f.ui.RunPending();
    EXPECT_EQ(f.Browser("TFrmBrowser").translated.size(), 1u);
    EXPECT_EQ(f.ui.LogLines("dispatch ").size(), 1u);
}

}  // namespace
}  // namespace kelvra::test
