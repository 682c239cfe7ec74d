#include <gtest/gtest.h>

#include "client_fixture.h"
#include "windows/frm_login.h"
#include "windows/frm_main.h"

namespace kelvra::test {
namespace {

using Lines = std::vector<std::string>;

const Lines kTracePrefixes = {"registry open", "read ", "registry set", "create ", "navigate ",
                              "modal ",        "hide ", "show ",        "loop ",   "box "};

Lines WhiteboardOpens() {
    return {"registry open SOFTWARE\\Wow6432Node\\Norrix\\Ondrix",
            "registry open SOFTWARE\\Norrix\\Ondrix",
            "registry open SOFTWARE\\Wow6432Node\\Norrix\\Pelmar",
            "registry open SOFTWARE\\Norrix\\Pelmar"};
}

std::string EmulationLine(const ClientFixture& f) {
    return "registry set HKCU\\SOFTWARE\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\"
           "FEATURE_BROWSER_EMULATION\\" +
           platform::FileNameOf(f.files.ExecutablePath(), f.files.Separator());
}

TEST(StartOfRun, TenStepsRunInOrderBeforeTheMainWindowShows) {
    ClientFixture f;
    f.WriteSettings("[SYSTEM]\r\nwebroot=site.test:8080/k\r\n");
    const void* hook_during_login = nullptr;
    const void* hook_in_loop = nullptr;
    const void* login_during_login = nullptr;
    const void* main_in_loop = nullptr;
    bool main_visible_during_login = true;
    f.ui.Post([&] {
        hook_during_login = f.app.MessageHookOwner();
        login_during_login = f.state.FrmLogin;
        main_visible_during_login = f.state.FrmMain != nullptr && f.state.FrmMain->Visible();
        auto& login = f.Browser("TFrmLogin");
        login.CompletePending("登录");
        login.Complete("http://site.test:8080/k/home/techer/index", "首页");
        f.ui.Post([&] {
            hook_in_loop = f.app.MessageHookOwner();
            main_in_loop = f.state.FrmMain;
            ASSERT_NE(f.state.FrmMain, nullptr);
            EXPECT_TRUE(f.state.FrmMain->Visible());
            EXPECT_EQ(f.state.FrmMain->State(), ui::WindowState::Maximized);
            EXPECT_EQ(f.app.Title(), "Kelvra教学云客户端");
        });
    });
    const void* login_window = nullptr;
    f.ui.Post([] {});  // placeholder so the loop has something after the check
    EXPECT_EQ(f.Run(), 0);
    login_window = hook_during_login;

    Lines expected = {"create TFrmMain"};
    for (const auto& line : WhiteboardOpens())
        expected.push_back(line);
    Lines rest = {"read sysparams.ini",
                  EmulationLine(f),
                  "create TFrmLogin",
                  "navigate TFrmLogin.Browser1 http://site.test:8080/k/site/login",
                  "modal TFrmLogin",
                  "hide TFrmLogin",
                  "navigate TFrmMain.Browser1 http://site.test:8080/k/home/techer/default",
                  "show TFrmMain",
                  "loop start",
                  "loop idle"};
    expected.insert(expected.end(), rest.begin(), rest.end());
    EXPECT_EQ(f.Trace(kTracePrefixes), expected);
    EXPECT_FALSE(main_visible_during_login);
    // The login window routes keys while it runs; the main window once the loop runs.
    EXPECT_NE(login_window, nullptr);
    EXPECT_EQ(login_window, login_during_login);
    EXPECT_NE(main_in_loop, nullptr);
    EXPECT_EQ(hook_in_loop, main_in_loop);
    EXPECT_EQ(f.ui.stalls(), 0);
    EXPECT_EQ(f.state.WebRoot, "site.test:8080/k");
    EXPECT_EQ(f.state.WhiteboardPath, "");
    EXPECT_TRUE(f.state.LoginSucceeded);
    EXPECT_FALSE(f.app.Terminated());
}

TEST(StartOfRun, WebRootFromTheSettingsFileOrTheDefault) {
    struct Case {
        const char* name;
        std::optional<std::string> file;
        bool unreadable;
        std::string expected_root;
    } cases[] = {
        {"no settings file", std::nullopt, false, kDefaultRoot},
        {"empty webroot value", "[SYSTEM]\r\nwebroot=\r\n", false, kDefaultRoot},
        {"key in other case with blanks", "; c\r\n[system]\r\n  WebRoot =  a.test:81 \r\n", false,
         "a.test:81"},
        {"no SYSTEM section", "[OTHER]\r\nwebroot=b.test\r\n", false, kDefaultRoot},
        {"unreadable file", "[SYSTEM]\r\nwebroot=c.test\r\n", true, kDefaultRoot},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ClientFixture f;
        if (c.file)
            f.WriteSettings(*c.file);
        f.files.fail_reads = c.unreadable;
        f.QueueSignIn();
        f.Run();
        EXPECT_EQ(f.state.WebRoot, c.expected_root);
        const Lines nav = f.ui.LogLines("navigate ");
        ASSERT_EQ(nav.size(), 2u);
        EXPECT_EQ(nav[0], "navigate TFrmLogin.Browser1 http://" + c.expected_root + "/site/login");
        EXPECT_EQ(nav[1],
                  "navigate TFrmMain.Browser1 http://" + c.expected_root + "/home/techer/default");
        EXPECT_TRUE(f.boxes.shown.empty()) << "settings errors at start are not reported";
        EXPECT_EQ(f.ui.LogLines("read ").size(), c.file ? 1u : 0u);
    }
}

TEST(StartOfRun, EmulationValueIs8000UnderTheExecutableName) {
    ClientFixture f;
    f.QueueSignIn();
    f.Run();
    const auto& values = f.registry.keys.at(
        "HKCU\\SOFTWARE\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\"
        "FEATURE_BROWSER_EMULATION");
    const auto exe = platform::FileNameOf(f.files.ExecutablePath(), f.files.Separator());
    ASSERT_TRUE(values.count(exe));
    EXPECT_EQ(values.at(exe).DwordValue(), 8000u);
}

TEST(StartOfRun, ErrorInCreationIsShownAndTheMainWindowStillComesUpWithoutAPage) {
    ClientFixture f;
    // A whiteboard key whose InstallPath is not text raises from the first step.
    f.registry.keys["HKLM\\SOFTWARE\\Norrix\\Ondrix"]["InstallPath"] =
        platform::RegistryValue::Dword(1);
    f.Run();
    ASSERT_EQ(f.boxes.shown.size(), 1u);
    EXPECT_EQ(f.boxes.shown[0].caption, "Kelvra教学云客户端");
    EXPECT_EQ(f.boxes.shown[0].icon, ui::MsgIcon::Error);
    EXPECT_EQ(f.boxes.shown[0].text.back(), '.');
    EXPECT_TRUE(f.ui.LogLines("create TFrmLogin").empty());
    EXPECT_TRUE(f.ui.LogLines("navigate ").empty());
    EXPECT_EQ(f.ui.LogLines("show TFrmMain").size(), 1u);
}

TEST(SignIn, TeacherOrStudentAnywhereCaseSensitive) {
    struct Case {
        std::string address;
        bool signs_in;
    } cases[] = {
        {"http://r.test/home/techer/index", true},
        {"http://r.test/student/desk", true},
        {"http://techer.r.test/", true},
        {"http://r.test/?next=student", true},
        {"http://r.test/home/Techer/index", false},
        {"http://r.test/STUDENT", false},
        {"http://r.test/teacher", false},
        {"http://r.test/site/login", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        ClientFixture f;
        f.WriteSettings("[SYSTEM]\r\nwebroot=r.test\r\n");
        bool still_open = false;
        f.ui.Post([&] {
            auto& login = f.Browser("TFrmLogin");
            login.CompletePending("登录");
            login.Complete(c.address, "page");
            still_open = f.state.FrmLogin->CurrentModalResult() == ui::ModalResult::None;
            if (still_open)
                f.state.FrmLogin->Close();  // the user closes it
        });
        f.Run();
        EXPECT_EQ(still_open, !c.signs_in);
        EXPECT_EQ(f.state.LoginSucceeded, c.signs_in);
        EXPECT_EQ(f.app.Terminated(), !c.signs_in);
        // Closing before sign-in ends the run: the home page is still asked for (the
        // sequence runs to its end) but no main window is shown and no loop runs.
        EXPECT_EQ(f.ui.LogLines("show TFrmMain").size(), c.signs_in ? 1u : 0u);
        EXPECT_EQ(f.ui.LogLines("loop start").size(), c.signs_in ? 1u : 0u);
        EXPECT_EQ(f.ui.LogLines("navigate TFrmMain.Browser1").size(), 1u);
    }
}

TEST(SignIn, WebRootContainingTheWordSignsInOnTheLoginPageItself) {
    ClientFixture f;
    f.WriteSettings("[SYSTEM]\r\nwebroot=student.r.test\r\n");
    f.ui.Post([&] { f.Browser("TFrmLogin").CompletePending("登录"); });
    f.Run();
    EXPECT_TRUE(f.state.LoginSucceeded);
    EXPECT_FALSE(f.app.Terminated());
    EXPECT_EQ(f.ui.LogLines("show TFrmMain").size(), 1u);
}

TEST(SignIn, ClosingTheLoginWindowAfterSignInDoesNotTerminate) {
    ClientFixture f;
    f.QueueSignIn();
    f.ui.Post([&] { f.state.FrmLogin->Close(); });
    f.Run();
    EXPECT_FALSE(f.app.Terminated());
    EXPECT_EQ(f.ui.LogLines("show TFrmMain").size(), 1u);
}

TEST(SignIn, LoginTitleFollowsThePageAndNewWindowsAreLeftToTheBrowser) {
    ClientFixture f;
    bool checked = false;
    f.ui.Post([&] {
        auto& login = f.Browser("TFrmLogin");
        login.CompletePending("统一身份认证");
        EXPECT_EQ(f.state.FrmLogin->TitleBar1.Item(0).caption, "统一身份认证");
        const auto answer = login.RequestNewWindow("http://r.test/help");
        EXPECT_EQ(answer.target, nullptr);
        EXPECT_FALSE(answer.cancel);
        EXPECT_TRUE(f.ui.LogLines("create TFrmBrowser").empty());
        checked = true;
        login.Complete("http://r.test/home/techer/x", "t");
    });
    f.Run();
    EXPECT_TRUE(checked);
}

TEST(Entry, SecondCopyShowsTheMessageAndOpensNothing) {
    ClientFixture f;
    f.mutexes.outcome = platform::MutexOutcome::AlreadyExists;
    EXPECT_EQ(f.Run(), 0);
    ASSERT_EQ(f.mutexes.names, std::vector<std::string>{"KelvraCloudApp"});
    ASSERT_EQ(f.boxes.shown.size(), 1u);
    EXPECT_EQ(f.boxes.shown[0].text, "已经有一个Kelvra教学云客户端在运行了!");
    EXPECT_TRUE(f.ui.LogLines("create ").empty());
}

TEST(Entry, MutexFailureStillStartsAndInitialiseCanEndTheProcess) {
    {
        ClientFixture f;
        f.mutexes.outcome = platform::MutexOutcome::Failed;
        f.QueueSignIn();
        f.Run();
        EXPECT_EQ(f.ui.LogLines("create TFrmMain").size(), 1u);
    }
    {
        ClientFixture f;
        windows::ClientPorts ports{f.app, f.mutexes, f.context,
                                   [](ui::Application&) { return false; }};
        EXPECT_EQ(windows::RunClient(ports), 0);
        EXPECT_TRUE(f.ui.LogLines("create ").empty());
    }
}

}  // namespace
}  // namespace kelvra::test
