// The restart hand-off through the engine: DoUpdate fetching an application component ends
// with DoRestart, which writes out the restart program and the hand-off file, starts it
// with the command line and closes the application; and, for real, the restart program
// replacing a running fixture application and starting it again.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine_fixture.h"
#include "headless_ui.h"
#include "platform/file_system.h"
#include "restart_fixture_app.h"
#include "update/process_runner.h"
#include "update/restart_handoff.h"
#include "update/update_log.h"

namespace kelvra::test {
namespace {

std::string CurrentDir() {
    const std::u8string dir = std::filesystem::current_path().u8string();
    return std::string(dir.begin(), dir.end());
}

// Runs programs for real but reports another process as the running application.
class StandInRunner final : public update::ProcessRunner {
  public:
    std::uint32_t pid = 1234;
    bool start = false;  // really start what is shell-opened
    std::vector<std::pair<std::string, std::string>> opened;
    bool ShellOpen(const std::string& program, const std::string& params) override {
        opened.emplace_back(program, params);
        return start ? update::SystemProcessRunner().ShellOpen(program, params) : true;
    }
    std::optional<std::uint32_t> RunAndWait(const std::string& cmd, bool show) override {
        return update::SystemProcessRunner().RunAndWait(cmd, show);
    }
    std::uint32_t CurrentProcessId() const override { return pid; }
    void SetLastErrorValue(std::uint32_t) override {}
    std::uint32_t LastErrorValue() const override { return 0; }
};

// Changes the current directory for the test's duration.
class ScopedCurrentDir {
  public:
    explicit ScopedCurrentDir(const std::string& dir) : old_(std::filesystem::current_path()) {
        std::filesystem::current_path(std::filesystem::u8path(dir));
    }
    ~ScopedCurrentDir() { std::filesystem::current_path(old_); }

  private:
    std::filesystem::path old_;
};

class EngineRestartTest : public EngineTest {
  protected:
    EngineRestartTest()
        : home_("HOME", home_dir_.path()),
          xdg_("XDG_CONFIG_HOME", std::nullopt),
          xdg_docs_("XDG_DOCUMENTS_DIR", std::nullopt) {
        // The hand-off file goes to the documents folder, which must exist (Linux: under
        // HOME; Windows: the prefix's own).
        std::filesystem::create_directories(std::filesystem::u8path(home_dir_.File("Documents")));
        if (auto docs = update::DocumentsFolder())
            std::filesystem::create_directories(std::filesystem::u8path(*docs));
    }

    // A control file whose only file is the application component name.
    std::string ServeComponent(const std::string& name, const std::string& body,
                               const std::string& application) {
        server_.Serve("/files/" + name, Reply(200, body));
        return ServeControlFile("[update]\nunconditional=1\n" + application +
                                "[files]\ncount=1\n[file1]\nurl=" + server_.Url("/files/" + name) +
                                "\ntargetdir=" + work_.File("target") + "\n");
    }

    TempDir home_dir_;
    ScopedEnv home_;
    ScopedEnv xdg_;
    ScopedEnv xdg_docs_;
};

TEST_F(EngineRestartTest, HandOffWithTheCommandLineOfTheExample) {
    TempDir app_dir;
    ScopedCurrentDir cwd(app_dir.path());
    StandInRunner runner;
    auto engine = MakeEngine(ServeComponent(
        "client.exe", "new client",
        "[application]\nappupdate=1\nappname=client.exe\nappcomps=client.exe,core.dll\n"));
    engine->SetProcessRunner(&runner);
    engine->UpdateUpdate = update::TUpdatePrompting::upSilent;
    int closed = 0;
    engine->OnAppRestart = [](update::TUpdateEngine&, bool& allow) { EXPECT_TRUE(allow); };
    engine->OnAppDoClose = [&](update::TUpdateEngine&) { ++closed; };
    engine->DoUpdate(false);

    const std::string staging = engine->WinTempDir();
    const std::string line = "1234 L " + CurrentDir() + Separator() + "client.exe" + " \" \" \"" +
                             staging + "\" client.exe,core.dll";
    ASSERT_EQ(runner.opened.size(), 1u);
    EXPECT_EQ(runner.opened[0].first, staging + "kusetup.exe");
    EXPECT_EQ(runner.opened[0].second, line);
    EXPECT_EQ(closed, 1);
    EXPECT_TRUE(PathExists(staging + "kusetup.exe"));
    EXPECT_FALSE(PathExists(staging + "kusetup.ex_"));
    EXPECT_EQ(ReadBytes(staging + "client.exe"), "new client");  // staged, not moved
    const auto docs = update::DocumentsFolder();
    ASSERT_TRUE(docs.has_value());
    EXPECT_EQ(
        update::ReadRestartIniLogName(ReadBytes(*docs + Separator() + update::kRestartIniFile)),
        work_.File("KUPDATE.LOG"));
    const std::string log = LogText();
    EXPECT_NE(log.find("[959] Restart app in directory : " + CurrentDir()), std::string::npos);
    EXPECT_NE(log.find("[958] Spawn " + line + " (Status:0) (Error:0)"), std::string::npos);
}

TEST_F(EngineRestartTest, ConfirmationAndTerminateRequest) {
    headless::HeadlessUi ui;
    headless::HeadlessBoxes boxes(ui);
    ui::Application app(ui, boxes);
    const std::string application =
        "[application]\nappupdate=1\nappname=client.exe\nappparam=-a b\nappcomps=client.exe\n";
    for (ui::MsgResult answer : {ui::MsgResult::No, ui::MsgResult::Yes}) {
        SCOPED_TRACE(ui::ToString(answer));
        StandInRunner runner;
        boxes.answers = {answer};
        boxes.shown.clear();
        auto engine = MakeEngine(ServeComponent("client.exe", "x", application), &app);
        engine->SetProcessRunner(&runner);
        engine->UpdateUpdate = update::TUpdatePrompting::upSilent;
        engine->DoUpdate(false);
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].text, "Shutdown application to update executable files ?");
        EXPECT_EQ(boxes.shown[0].buttons, ui::MsgButtons::YesNo);
        const bool yes = answer == ui::MsgResult::Yes;
        EXPECT_EQ(runner.opened.size(), yes ? 1u : 0u);
        if (yes) {
            EXPECT_NE(runner.opened[0].second.find(" \"-a b\" "), std::string::npos);
        }
        EXPECT_EQ(app.Terminated(), yes);  // no OnAppDoClose: the terminate request
    }
}

TEST_F(EngineRestartTest, RestartProgramReplacesTheRunningApplication) {
    auto& files = platform::SystemFileSystem();
    const char sep = Separator();
    TempDir root;
    const std::string app_dir = root.File("app dir");
    std::filesystem::create_directories(std::filesystem::u8path(app_dir));
    const std::string exe = InstallRestartFixtureApp(app_dir);
    ChildProcess app(app_dir + sep + exe, {"first"});
    auto lines = [&] { return RestartFixtureRuns(app_dir); };
    ASSERT_TRUE(WaitUntil([&] { return !lines().empty(); }, std::chrono::seconds(30)));
    const std::string first = lines()[0];

    // The update brings a new version.txt and the program; both are components.
    server_.Serve("/files/" + exe, Reply(200, ReadBytes(TestProgram("restart_fixture_app"))));
    server_.Serve("/files/version.txt", Reply(200, "v2\n"));
    const std::string url =
        ServeControlFile("[update]\nunconditional=1\n[application]\nappupdate=1\nappname=" + exe +
                         "\nappparam=second run\nappcomps=" + exe +
                         ",version.txt\n[files]\ncount=2\n"
                         "[file1]\nurl=" +
                         server_.Url("/files/" + exe) + "\ntargetdir=" + app_dir +
                         "\n"
                         "[file2]\nurl=" +
                         server_.Url("/files/version.txt") + "\ntargetdir=" + app_dir + "\n");
    StandInRunner runner;
    runner.pid = static_cast<std::uint32_t>(std::stoul(first.substr(0, first.find('|'))));
    runner.start = true;
    auto engine = MakeEngine(url);
    engine->SetProcessRunner(&runner);
    engine->UpdateUpdate = update::TUpdatePrompting::upSilent;
    bool closed = false;
    engine->OnAppDoClose = [&](update::TUpdateEngine&) { closed = true; };
    engine->OnAppRestart = [](update::TUpdateEngine&, bool&) {};
    {
        ScopedCurrentDir cwd(app_dir);
        engine->DoUpdate(false);
    }
    ASSERT_TRUE(closed);
    EXPECT_EQ(ReadBytes(app_dir + sep + "version.txt"), "v1\n");  // still waiting
    files.RemoveFile(app_dir + sep + "hold");
    EXPECT_EQ(app.Wait(std::chrono::seconds(30)), std::optional<int>(0));
    ASSERT_TRUE(WaitUntil([&] { return lines().size() > 1; }, std::chrono::seconds(60)));
    const std::string second = lines()[1];
    EXPECT_EQ(second.substr(second.find('|')), "|v2|second|run");
    EXPECT_FALSE(PathExists(engine->WinTempDir() + "version.txt"));
    // The restarted fixture waits for "hold" no more and ends by itself.
}

TEST_F(EngineRestartTest, PatchStepRunsThePatchProgramOnTheLocalFile) {
    const char sep = Separator();
    const std::string fixtures = TestBinDir() + sep + "patch_fixtures" + sep;
    TempDir app_dir;
    ScopedCurrentDir cwd(app_dir.path());
    WriteBytes(app_dir.File("client.dat"), ReadBytes(fixtures + "text.old"));
    server_.Serve("/files/fix.pat", Reply(200, ReadBytes(fixtures + "text.pat")));
    const std::string url =
        ServeControlFile("[update]\nunconditional=1\n[files]\ncount=1\n[file1]\nurl=" +
                         server_.Url("/files/fix.pat") + "\ntargetdir=" + app_dir.path() +
                         "\nlocalversion=client.dat\n");
    StandInRunner runner;
    auto engine = MakeEngine(url);
    engine->SetProcessRunner(&runner);
    engine->UpdateUpdate = update::TUpdatePrompting::upSilent;
    engine->UseWinTempDir = false;  // fetched into the target, patched from there
    engine->ApplyPatch = true;
    update::TUpdateUtility utility;
    engine->SetUtility(&utility);
    engine->DoUpdate(false);

    // The patch program was written out and applied the patch to the local file.
    EXPECT_EQ(ReadBytes(app_dir.File(update::kPatchProgram)), ReadBytes(TestProgram("patcher")));
    EXPECT_EQ(ReadBytes(app_dir.File("client.dat")), ReadBytes(fixtures + "text.new"));
    EXPECT_FALSE(PathExists(app_dir.File("fix.pat")));  // deleted after patching
    const std::string command = "patcher.exe -v fix.pat client.dat>> KUPDATE.LOG";
    EXPECT_NE(LogText().find("[18] Exec: " + command + " (Status:18) (Error:0)"),
              std::string::npos);
}

}  // namespace
}  // namespace kelvra::test
