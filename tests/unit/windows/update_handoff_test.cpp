#include <gtest/gtest.h>

#include "client_fixture.h"

namespace kelvra::test {
namespace {

struct LoginRun {
    ClientFixture f;
    windows::TFrmLogin* login = nullptr;
    LoginRun() {
        f.state.WebRoot = "run.test";
        f.files.executable = f.appdata.File("client.exe");
        login = &f.app.CreateForm<windows::TFrmLogin>(f.context);
    }
};

TEST(UpdateHandOff, EngineConfiguredFromTheLoginWindowsDefinition) {
    LoginRun r;
    ASSERT_EQ(r.f.updates.created.size(), 1u);
    const auto& p = r.f.updates.created[0];
    EXPECT_EQ(p.Agent, "KelvraUpdate");
    EXPECT_EQ(p.URL, "http://update.kelvra.test/kelvraeduclient/update.inf");
    EXPECT_EQ(p.Version, "2.1.4.0");
    EXPECT_EQ(p.TimeOut, 3000u);
    EXPECT_TRUE(p.Logging);
    EXPECT_EQ(p.LogFileName, "KUPDATE.LOG");
    EXPECT_EQ(p.TempDirectory, ".");
    EXPECT_EQ(p.Signature, "KelvraUpdate");
    EXPECT_EQ(p.DateFormat, "dd/mm/yyyy");
    EXPECT_EQ(p.DateSeparator, '/');
    EXPECT_EQ(p.TimeFormat, "hh:nn");
    EXPECT_EQ(p.TimeSeparator, ':');
    EXPECT_FALSE(p.PostUpdateInfoEnabled);
    ASSERT_EQ(r.login->timer_update.Interval(), 2000u);
    EXPECT_TRUE(r.login->timer_update.Enabled());
}

TEST(UpdateHandOff, YesStartsTheUpdaterBesideTheExecutableAndTerminates) {
    LoginRun r;
    r.f.updates.available = true;
    r.f.boxes.answers = {ui::MsgResult::Yes};
    r.f.ui.TickTimers("timer_update");
    ASSERT_EQ(r.f.boxes.shown.size(), 1u);
    const auto& box = r.f.boxes.shown[0];
    EXPECT_EQ(box.text, "发现软件新的版本，是否退出当前运行程序升级？");
    EXPECT_EQ(box.caption, "系统提示");
    EXPECT_EQ(box.buttons, ui::MsgButtons::YesNo);
    EXPECT_EQ(box.icon, ui::MsgIcon::None);
    EXPECT_EQ(box.owner, r.login->Handle());
    ASSERT_EQ(r.f.shell.calls().size(), 1u);
    const auto& call = r.f.shell.calls()[0];
    EXPECT_EQ(call.verb, "open");
    // The updater does not exist: it is started all the same and nothing is reported.
    EXPECT_EQ(call.file, r.f.appdata.File("updater.exe"));
    EXPECT_EQ(call.parameters, "");
    EXPECT_EQ(call.directory, "");
    EXPECT_EQ(call.show, 1);
    EXPECT_FALSE(call.owned);
    EXPECT_TRUE(r.f.app.Terminated());
}

TEST(UpdateHandOff, NoOrNothingNewOrUnreachableDoesNothingMore) {
    struct Case {
        const char* name;
        bool available;
        bool unreachable;
        std::size_t boxes;
    } cases[] = {
        {"answer No", true, false, 1},
        {"no newer version", false, false, 0},
        {"server unreachable", false, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LoginRun r;
        r.f.updates.available = c.available;
        r.f.updates.unreachable = c.unreachable;
        r.f.ui.TickTimers("timer_update");
        r.f.ui.TickTimers("timer_update");  // the timer is off after the first tick
        EXPECT_EQ(r.f.updates.calls, 1);
        EXPECT_FALSE(r.login->timer_update.Enabled());
        EXPECT_EQ(r.f.boxes.shown.size(), c.boxes);
        EXPECT_TRUE(r.f.shell.calls().empty());
        EXPECT_FALSE(r.f.app.Terminated());
    }
}

// A box or shell call that fails is swallowed: no error reaches the user, nothing ends.
TEST(UpdateHandOff, FailingBoxOrShellCallIsSwallowed) {
    struct Case {
        const char* name;
        bool box_fails, shell_fails;
        std::size_t shell_calls;
    } cases[] = {
        {"box", true, false, 0},
        {"shell call", false, true, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LoginRun r;
        r.f.updates.available = true;
        r.f.boxes.fail = c.box_fails;
        r.f.boxes.answers = {ui::MsgResult::Yes};
        r.f.shell.fail = c.shell_fails;
        EXPECT_NO_THROW(r.f.ui.TickTimers("timer_update"));
        EXPECT_EQ(r.f.shell.calls().size(), c.shell_calls);
        EXPECT_EQ(r.f.boxes.shown.size(), c.box_fails ? 0u : 1u);
        EXPECT_FALSE(r.f.app.Terminated());
        EXPECT_FALSE(r.login->timer_update.Enabled());
    }
}

TEST(UpdateHandOff, EveryLoginWindowChecksOnceAndYesDuringSignInEndsTheRun) {
    ClientFixture f;
    f.WriteSettings("[SYSTEM]\r\nwebroot=r.test\r\n");
    f.updates.available = true;
    f.boxes.answers = {ui::MsgResult::No, ui::MsgResult::Yes};
    // First login window: the check runs while it is modal; No; then sign in.
    f.ui.Post([&] { f.ui.TickTimers("timer_update"); });
    f.QueueSignIn();
    auto& main = f.app.CreateForm<windows::TFrmMain>(f.context);
    EXPECT_EQ(f.updates.calls, 1);
    EXPECT_FALSE(f.app.Terminated());
    // Re-login: the new window checks again; Yes ends the modal run as cancelled.
    f.ui.Post([&] { f.ui.TickTimers("timer_update"); });
    f.Browser("TFrmMain").Complete("http://r.test/site/login", "登录");
    EXPECT_EQ(f.updates.calls, 2);
    EXPECT_EQ(f.updates.created.size(), 2u);
    EXPECT_TRUE(f.app.Terminated());
    EXPECT_EQ(f.shell.calls().size(), 1u);
    // The sequence ran to its end after the request.
    EXPECT_EQ(f.ui.LogLines("navigate TFrmMain.Browser1").size(), 2u);
    EXPECT_TRUE(main.Visible());
    EXPECT_EQ(f.ui.stalls(), 0);
}

}  // namespace
}  // namespace kelvra::test
