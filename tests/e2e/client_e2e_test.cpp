// The Linux client end to end: the real executable on its own X server against the demo
// platform, driven with xdotool as a user would, observed through window geometry and
// names, the demo server's request log, the dialog script and screenshots.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <string>
#include <vector>

#include "e2e_fixture.h"
#include "loopback_servers.h"

namespace kelvra::e2e {
namespace {

constexpr const char* kWindowText = "^Kelvra教学云平台$";
constexpr const char* kHomeTitle = "^教师首页$";
constexpr const char* kPopupText = "^FrmBrowser$";
constexpr int kScreenWidth = 1280;
constexpr int kScreenHeight = 1024;

// Tiles of the demo pages (centre points in page coordinates).
constexpr int kLesson1X = 130, kLesson1Y = 82;
constexpr int kFramesX = 370, kFramesY = 82;
constexpr int kVantleX = 130, kVantleY = 152;
constexpr int kBadArgX = 370, kBadArgY = 152;
constexpr int kTwoLessonsX = 610, kTwoLessonsY = 152;
constexpr int kLogoutX = 130, kLogoutY = 222;
constexpr int kFrameNextX = 152, kFrameNextY = 124;
constexpr int kFramesExpireX = 370, kFramesExpireY = 222;
constexpr int kArmedExpireX = 370, kArmedExpireY = 292;
constexpr int kLesson3X = 130, kLesson3Y = 82;
constexpr int kVantle3X = 130, kVantle3Y = 82;
constexpr int kCrashReloadX = 104, kCrashReloadY = 44;  // the plain page's link
// Freed memory is overwritten, so that touching it fails at once.
const std::vector<std::string> kPoisonFreed = {"MALLOC_PERTURB_=165"};

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class ClientE2e : public ::testing::Test {
  protected:
    ClientE2e() : site(site_dir.path()), home(desktop, site.webroot()) {}

    std::optional<XWindow> WaitWindow(const std::string& regex,
                                      std::chrono::milliseconds timeout = 20s) {
        std::optional<XWindow> found;
        test::WaitUntil(
            [&] {
                auto all = VisibleWindows(desktop, regex);
                if (all.empty())
                    return false;
                found = all.back();
                return true;
            },
            timeout);
        return found;
    }
    bool WaitGeometry(const XWindow& w, int width, int height) {
        return test::WaitUntil(
            [&] {
                auto g = w.Get();
                return g && g->viewable && g->width == width && g->height == height;
            },
            15s);
    }
    bool WaitHidden(const XWindow& w) {
        return test::WaitUntil(
            [&] {
                auto g = w.Get();
                return !g || !g->viewable;
            },
            15s);
    }
    // The login window on the demo's login page.
    XWindow WaitLogin() {
        EXPECT_TRUE(test::WaitUntil([&] { return site.Saw("GET /site/login"); }, 30s))
            << site.Log();
        auto login = WaitWindow(kWindowText);
        if (!login)
            throw std::runtime_error("no login window");
        EXPECT_TRUE(WaitGeometry(*login, 800, 460 + 40));
        EXPECT_TRUE(WaitPainted(*login));
        return *login;
    }
    // Signs in with the prefilled form (Enter in the focused user field) and returns the
    // main window.
    XWindow SignIn() {
        XWindow login = WaitLogin();
        const int posts = site.Count("POST /site/login");
        const bool posted = test::WaitUntil(
            [&] {
                login.Key("Return");
                return test::WaitUntil([&] { return site.Count("POST /site/login") > posts; },
                                       1500ms);
            },
            30s);
        EXPECT_TRUE(posted) << site.Log();
        auto main = WaitWindow(kHomeTitle);
        if (!main)
            throw std::runtime_error("no main window after sign-in\n" + site.Log());
        EXPECT_TRUE(WaitPainted(*main));
        return *main;
    }
    bool WaitPainted(const XWindow& w) {
        return test::WaitUntil([&] { return w.ShowsDemoPage(); }, 15s);
    }
    std::string Dialogs() const { return test::ReadBytes(home.DialogScript()); }

    Desktop desktop;
    test::TempDir site_dir;
    DemoSite site;
    ClientHome home;
};

TEST_F(ClientE2e, SignInShowsHomeMaximisedAndTheCaptionFollowsPageAndFrameTitles) {
    auto client = home.Start();
    XWindow main = SignIn();
    EXPECT_TRUE(WaitGeometry(main, kScreenWidth, kScreenHeight)) << "maximised";
    auto g = main.Get();
    ASSERT_TRUE(g);
    EXPECT_EQ(g->x, 0);
    EXPECT_EQ(g->y, 0);
    EXPECT_TRUE(VisibleWindows(desktop, kWindowText).empty()) << "the login window is hidden";
    desktop.Screenshot(ShotPath("home"));

    main.ClickClient(kFramesX, kFramesY);
    EXPECT_TRUE(test::WaitUntil([&] { return main.Name() == "框架页"; }, 15s)) << main.Name();
    EXPECT_TRUE(test::WaitUntil([&] { return site.Saw("GET /home/techer/frame/1 200"); }, 15s));
    EXPECT_TRUE(WaitPainted(main));
    main.ClickClient(kFrameNextX, kFrameNextY);
    EXPECT_TRUE(test::WaitUntil([&] { return site.Saw("GET /home/techer/frame/2 200"); }, 15s));
    EXPECT_TRUE(test::WaitUntil([&] { return main.Name() == "框架页 – 第2页"; }, 15s))
        << "a load inside a frame updates the caption; now " << main.Name();
    desktop.Screenshot(ShotPath("frames"));
}

TEST_F(ClientE2e, PopupTakesItsLinkSizeResizesForAnInnerLinkAndIsDestroyedOnClose) {
    auto client = home.Start();
    XWindow main = SignIn();
    main.ClickClient(kLesson1X, kLesson1Y);
    auto popup = WaitWindow(kPopupText);
    ASSERT_TRUE(popup) << site.Log();
    EXPECT_TRUE(WaitGeometry(*popup, 800, 600)) << "outer size from fwidth and fheight";
    EXPECT_TRUE(test::WaitUntil([&] { return site.Saw("GET /lesson/1 200"); }, 15s));
    EXPECT_TRUE(WaitPainted(*popup));
    desktop.Screenshot(ShotPath("popup-800x600"));

    popup->ClickClient(kLesson1X, kLesson1Y);  // the "next lesson" tile of the lesson page
    EXPECT_TRUE(test::WaitUntil([&] { return site.Saw("GET /lesson/2 200"); }, 15s));
    EXPECT_TRUE(WaitGeometry(*popup, 810, 630)) << "a popup resizing itself adds 10 and 30";
    EXPECT_EQ(VisibleWindows(desktop, kPopupText).size(), 1u) << "loaded in the same popup";
    desktop.Screenshot(ShotPath("popup-810x630"));

    popup->ClickHeader(810 - 27, 20);  // the header bar's close button
    EXPECT_TRUE(test::WaitUntil([&] { return !popup->Get(); }, 15s)) << "destroyed";
    auto g = main.Get();
    ASSERT_TRUE(g);
    EXPECT_TRUE(g->viewable) << "the main window stays";
}

TEST_F(ClientE2e, SignOutHidesMainAndPopupsAndSigningInAgainRestoresHome) {
    auto client = home.Start();
    XWindow main = SignIn();
    main.ClickClient(kLesson1X, kLesson1Y);
    auto popup = WaitWindow(kPopupText);
    ASSERT_TRUE(popup);
    ASSERT_TRUE(WaitGeometry(*popup, 800, 600));

    main.ClickClient(kLogoutX, kLogoutY);
    EXPECT_TRUE(test::WaitUntil([&] { return site.Saw("GET /site/logout"); }, 15s));
    EXPECT_TRUE(WaitHidden(main)) << "main window hidden";
    EXPECT_TRUE(WaitHidden(*popup)) << "popup hidden";
    XWindow login = WaitLogin();
    desktop.Screenshot(ShotPath("signed-out"));

    XWindow again = SignIn();
    EXPECT_EQ(again.id(), main.id()) << "the same main window comes back";
    EXPECT_TRUE(WaitGeometry(main, kScreenWidth, kScreenHeight));
    auto p = popup->Get();
    EXPECT_TRUE(!p || !p->viewable) << "hidden popups are not shown again";
    desktop.Screenshot(ShotPath("signed-in-again"));
}

// The page's two back-to-back calls each wait for the slow whiteboard to handle its
// message, so each lesson arrives with its own text and the page reports only afterwards.
TEST_F(ClientE2e, LessonButtonsReachTheRunningWhiteboardOneAfterTheOther) {
    home.RegisterWhiteboard();
    auto whiteboard = home.StartWhiteboard({"KELVRA_WHITEBOARD_DELAY_MS=700"});
    ASSERT_TRUE(test::WaitUntil(
        [&] { return desktop.X("xdotool search --class VantleMainFrame").has_value(); }, 10s));
    auto client = home.Start();
    XWindow main = SignIn();
    main.ClickClient(kTwoLessonsX, kTwoLessonsY);
    ASSERT_TRUE(test::WaitUntil([&] { return site.Saw("GET /demo/result?text=ok"); }, 20s))
        << site.Log();
    // Read when the page's statement after the calls has run: both were handled by then.
    const std::string record =
        test::PathExists(home.WhiteboardRecord()) ? test::ReadBytes(home.WhiteboardRecord()) : "";
    const std::size_t first = record.find("3027 \"C001&&数学&&第一课 分数&&");
    const std::size_t second = record.find("3027 \"C002&&数学&&第二课 小数&&");
    EXPECT_NE(first, std::string::npos) << record;
    EXPECT_NE(second, std::string::npos) << record;
    EXPECT_LT(first, second) << record;
    desktop.Screenshot(ShotPath("whiteboard"));
}

// With no whiteboard installed the box comes first, whatever the arguments are.
TEST_F(ClientE2e, WithoutWhiteboardEveryLessonCallShowsTheMessageAndThrowsNothing) {
    auto client = home.Start();
    XWindow main = SignIn();
    main.ClickClient(kBadArgX, kBadArgY);
    EXPECT_TRUE(test::WaitUntil([&] { return site.Saw("GET /demo/result?text=ok"); }, 15s))
        << site.Log();
    EXPECT_TRUE(Contains(Dialogs(), "发现没有安装Kelvra白板软件，请先安装白板软件后再操作！"))
        << Dialogs();
    EXPECT_FALSE(site.Saw("GET /demo/result?text=error")) << site.Log();
    EXPECT_FALSE(test::PathExists(home.WhiteboardRecord()));
}

TEST_F(ClientE2e, DamagedRegistryFileStillReachesTheLoginWindowWithoutAnError) {
    test::WriteBytes(home.root() + "/registry/HKEY_LOCAL_MACHINE.reg",
                     "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Norrix\\Ondrix]\r\n"
                     "\"InstallPath\"=dword:not-a-number\r\n");
    auto client = home.Start();
    WaitLogin();
    EXPECT_FALSE(Contains(Dialogs(), "box:")) << Dialogs();
}

TEST_F(ClientE2e, SettingsDialogChangesTheWebRootAndTheLoginPageReloadsFromIt) {
    test::TempDir other_dir;
    DemoSite other(other_dir.path());
    auto client = home.Start();
    XWindow login = WaitLogin();
    login.ClickHeader(800 - 74, 20);  // the settings button left of the close button
    auto dialog = WaitWindow("^系统设置$");
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(WaitGeometry(*dialog, 464, 153 + 40));
    desktop.Screenshot(ShotPath("settings"));
    dialog->ClickClient(82 + 20, 45 + 10);  // into the web root field
    dialog->Key("ctrl+a");
    dialog->Type(other.webroot());
    dialog->Key("Return");
    EXPECT_TRUE(test::WaitUntil([&] { return other.Saw("GET /site/login 200"); }, 15s))
        << other.Log();
    EXPECT_TRUE(WaitHidden(*dialog));
    EXPECT_TRUE(Contains(test::ReadBytes(home.SettingsFile()), "webroot=" + other.webroot()));
}

TEST_F(ClientE2e, SecondStartShowsTheSingleInstanceMessageAndClosingTheLoginEndsTheFirst) {
    auto client = home.Start();
    XWindow login = WaitLogin();
    // The second copy ends before it would listen for pages: a temporary folder it cannot
    // write to does not matter.
    const std::string locked = home.root() + "/locked-tmp";
    std::filesystem::create_directories(locked);
    std::filesystem::permissions(
        locked, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    auto second = home.StartWith({}, {"TMPDIR=" + locked});
    EXPECT_EQ(second->Wait(20s), 0);
    EXPECT_TRUE(Contains(Dialogs(), "已经有一个Kelvra教学云客户端在运行了!")) << Dialogs();
    EXPECT_EQ(VisibleWindows(desktop, kWindowText).size(), 1u) << "no second window";

    // Closing the login window before signing in ends the running copy.
    login.ClickHeader(800 - 27, 20);
    EXPECT_EQ(client->Wait(20s), 0);
}

// The socket folder for the pages' calls goes when the client is asked to end by a signal.
TEST_F(ClientE2e, TerminatedClientLeavesNoSocketFolderBehind) {
    const std::string tmp = home.root() + "/tmp";
    std::filesystem::create_directories(tmp);
    const auto sockets = [&] {
        int n = 0;
        for (const auto& entry : std::filesystem::directory_iterator(tmp))
            n += Contains(entry.path().filename().string(), "kelvra-external-");
        return n;
    };
    auto client = home.StartWith({}, {"TMPDIR=" + tmp});
    WaitLogin();
    EXPECT_EQ(sockets(), 1);
    ASSERT_EQ(kill(static_cast<pid_t>(client->Id()), SIGTERM), 0);
    EXPECT_TRUE(client->Wait(20s).has_value());
    EXPECT_EQ(sockets(), 0);
}

TEST_F(ClientE2e,
       UpdateQuestionNoKeepsTheLoginPageYesStartsTheUpdaterWhichRefusesAnUnsignedRelease) {
    site.OfferUpdate(true);
    {
        auto client = home.Start();  // no answer listed: the question is answered No
        XWindow login = WaitLogin();
        EXPECT_TRUE(test::WaitUntil(
            [&] { return Contains(Dialogs(), "发现软件新的版本，是否退出当前运行程序升级？"); },
            20s))
            << Dialogs();
        EXPECT_TRUE(Contains(Dialogs(), "caption=\"系统提示\""));
        EXPECT_TRUE(Contains(Dialogs(), "buttons=YesNo"));
        EXPECT_TRUE(site.Saw("GET /kelvraeduclient/update.inf 200"));
        auto g = login.Get();
        ASSERT_TRUE(g);
        EXPECT_TRUE(g->viewable) << "No leaves the login page";
        EXPECT_FALSE(client->Wait(500ms).has_value());
        EXPECT_FALSE(Contains(Dialogs(), "已拒绝此次更新")) << "the updater did not run";
        login.ClickHeader(800 - 27, 20);
        ASSERT_EQ(client->Wait(20s), 0);
    }
    home.AnswerDialogs({"Yes"});
    auto client = home.Start();
    EXPECT_EQ(client->Wait(40s), 0) << "Yes ends the client\n" << Dialogs();
    // The demo's control file carries no signature: the updater beside the client refuses it.
    EXPECT_TRUE(test::WaitUntil(
        [&] { return Contains(Dialogs(), "更新服务器提供的更新没有发布者的签名"); }, 20s))
        << Dialogs();
}

// A misbehaving update server at sign-in: the check the login window starts ends by itself
// and the login window still signs in.
TEST_F(ClientE2e, UpdateServerFaultsLeaveTheLoginWindowUsable) {
    constexpr char kPath[] = "/kelvraeduclient/update.inf";
    test::HttpResponse loop;
    loop.status = 302;
    loop.extra_headers = std::string("Location: ") + kPath + "\r\n";
    test::HttpResponse dies;
    dies.body = "[update]\nunconditional=1\n";
    dies.announced_length = 4000;  // the server goes away after the first part
    test::HttpResponse closes;
    closes.announced_length = 100;
    const std::pair<const char*, test::HttpResponse> faults[] = {
        {"redirect loop", loop},
        {"dies in the middle", dies},
        {"closes after the headers", closes}};
    for (const auto& [name, response] : faults) {
        SCOPED_TRACE(name);
        test::LoopbackHttpServer server;
        server.Serve(kPath, response);
        home.SetUpdateHost("127.0.0.1:" + std::to_string(server.port()));
        auto client = home.Start();
        WaitLogin();
        EXPECT_TRUE(test::WaitUntil([&] { return !server.Requests().empty(); }, 30s))
            << "the login window asks the update server";
        SignIn();
        EXPECT_FALSE(client->Wait(0ms).has_value()) << "the client runs on";
        client->Kill();
    }
}

// Two frames of a teacher page reach the login page 2 s and 5 s after it loads: the second
// re-login comes while the first one's login window is still in its modal run.
TEST_F(ClientE2e, FramesReachingTheLoginPageInTurnEndWithOneUsableLoginWindow) {
    auto client = home.StartWith({}, kPoisonFreed);
    XWindow main = SignIn();
    const int before = site.Count("GET /site/login");
    main.ClickClient(kFramesExpireX, kFramesExpireY);
    // Each frame's own load of the login page, then each login window's.
    EXPECT_TRUE(test::WaitUntil([&] { return site.Count("GET /site/login") >= before + 4; }, 30s))
        << site.Log();
    EXPECT_TRUE(WaitHidden(main));
    ASSERT_TRUE(
        test::WaitUntil([&] { return VisibleWindows(desktop, kWindowText).size() == 1; }, 15s))
        << "one login window shown";
    const int homes = site.Count("GET /home/techer/default");
    SignIn();
    // The first re-login's run returns after the second and asks for the home page again.
    EXPECT_TRUE(
        test::WaitUntil([&] { return site.Count("GET /home/techer/default") >= homes + 2; }, 15s))
        << site.Log();
    EXPECT_TRUE(WaitGeometry(main, kScreenWidth, kScreenHeight));
    EXPECT_FALSE(client->Wait(1s).has_value()) << "the client runs on";
    main.ClickClient(kLogoutX, kLogoutY);
    SignIn();
    EXPECT_FALSE(client->Wait(0ms).has_value());
}

// A sign-out in the main window while a popup's page call shows its box (a real box here):
// the popup stays, hidden, until the call has its answer, then goes.
TEST_F(ClientE2e, SignOutWhileAPopupsBoxIsOpenReleasesThePopupAfterTheBox) {
    std::vector<std::string> env = kPoisonFreed;
    env.push_back("KELVRA_DIALOG_SCRIPT=");
    auto client = home.StartWith({}, env);
    XWindow main = SignIn();
    main.ClickClient(kArmedExpireX, kArmedExpireY);
    ASSERT_TRUE(test::WaitUntil([&] { return site.Saw("GET /home/techer/expire-frame"); }, 15s));
    EXPECT_TRUE(WaitPainted(main));
    main.ClickClient(kLesson3X, kLesson3Y);
    auto popup = WaitWindow(kPopupText);
    ASSERT_TRUE(popup) << site.Log();
    ASSERT_TRUE(test::WaitUntil([&] { return site.Saw("GET /lesson/3 200"); }, 15s));
    EXPECT_TRUE(WaitPainted(*popup));
    popup->ClickClient(kVantle3X, kVantle3Y);
    auto box = WaitWindow("^Kelvra教学云客户端$");
    ASSERT_TRUE(box) << site.Log();
    WaitLogin();  // the frame signed out while the box is open
    EXPECT_TRUE(WaitHidden(*popup));
    EXPECT_TRUE(popup->Get().has_value()) << "the popup stays while its page call runs";
    desktop.Screenshot(ShotPath("box-over-sign-out"));

    SignIn();
    box->Key("Return");
    EXPECT_TRUE(test::WaitUntil([&] { return !popup->Get(); }, 15s)) << "released after the box";
    EXPECT_TRUE(WaitGeometry(main, kScreenWidth, kScreenHeight));
    EXPECT_FALSE(client->Wait(1s).has_value()) << "the client runs on";
}

// The web process of each kind of window is killed twice: the first death reloads the page
// by itself, the second soon after shows the plain page, whose link loads the page again.
TEST_F(ClientE2e, AWebProcessThatDiesReloadsOnceThenShowsThePlainPage) {
    auto client = home.Start();
    const long pid = client->Id();
    auto kill_newest = [&] {
        const std::vector<long> web = WebProcessesOf(pid);
        ASSERT_FALSE(web.empty());
        ASSERT_EQ(::kill(static_cast<pid_t>(web.back()), SIGKILL), 0);
        EXPECT_TRUE(
            test::WaitUntil([&] { return ::kill(static_cast<pid_t>(web.back()), 0) != 0; }, 5s));
    };
    auto recovers = [&](const XWindow& window, const std::string& request,
                        const std::string& shot) {
        const int loads = site.Count(request);
        kill_newest();
        EXPECT_TRUE(test::WaitUntil([&] { return site.Count(request) > loads; }, 15s))
            << "reloaded by itself: " << request << "\n"
            << site.Log();
        EXPECT_TRUE(WaitPainted(window));
        kill_newest();
        EXPECT_TRUE(test::WaitUntil([&] { return !window.ShowsDemoPage(); }, 15s));
        const int reloaded = site.Count(request);
        EXPECT_EQ(reloaded, loads + 1) << "not reloaded a second time";
        desktop.Screenshot(ShotPath(shot));
        EXPECT_TRUE(test::WaitUntil(
            [&] {
                window.ClickClient(kCrashReloadX, kCrashReloadY);
                return test::WaitUntil([&] { return site.Count(request) > reloaded; }, 1500ms);
            },
            20s))
            << "the plain page's link loads it again";
        EXPECT_TRUE(WaitPainted(window));
    };
    {
        SCOPED_TRACE("login window");
        recovers(WaitLogin(), "GET /site/login", "crash-page-login");
    }
    XWindow main = SignIn();
    {
        SCOPED_TRACE("main window");
        recovers(main, "GET /home/techer/default", "crash-page-main");
    }
    main.ClickClient(kLesson1X, kLesson1Y);
    auto popup = WaitWindow(kPopupText);
    ASSERT_TRUE(popup);
    ASSERT_TRUE(WaitPainted(*popup));
    {
        SCOPED_TRACE("popup window");
        recovers(*popup, "GET /lesson/1", "crash-page-popup");
    }
    EXPECT_FALSE(client->Wait(0ms).has_value());
}

}  // namespace
}  // namespace kelvra::e2e
