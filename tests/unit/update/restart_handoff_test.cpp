// The engine's side of the restart hand-off: command lines, the hand-off file, the restart
// sequence, ExecAndWait with real processes, and the carried programs written out.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "headless_ui.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "test_support.h"
#include "ui/application.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "update/carried_programs.h"
#include "update/exec_and_wait.h"
#include "update/exec_animation_window.h"
#include "update/process_runner.h"
#include "update/restart_handoff.h"

namespace kelvra::update {
namespace {

using test::PathExists;
using test::ReadBytes;
using test::TempDir;

TEST(RestartCommandLine, ExampleWithDefaultParameters) {
    RestartCommand c;
    c.process_id = 1234;
    c.logging = true;
    c.current_dir = "C:\\App";
    c.app_name = "client.exe";
    c.staging_dir = "C:\\Temp\\";
    c.components = "client.exe,lib.dll";
    EXPECT_EQ(RestartCommandLine(c),
              "1234 L C:\\App\\client.exe \" \" \"C:\\Temp\\\" client.exe,lib.dll");
    // The stored parameters take the quoted form.
    EXPECT_EQ(c.app_params, "\" \"");
}

TEST(RestartCommandLine, QuotingAndLoggingChoice) {
    struct Case {
        bool logging;
        std::string dir, name, params, want;
    };
    const Case cases[] = {
        {false, "C:\\Program Files\\Kelvra\\", "client.exe", "-x",
         "7 X \"C:\\Program Files\\Kelvra\\client.exe\" -x \"S\\\" c"},
        {true, "C:\\App", "my client.exe", "-a -b",
         "7 L \"C:\\App\\my client.exe\" \"-a -b\" \"S\\\" c"},
        {false, "D:\\x\\", "client.exe", "", "7 X D:\\x\\client.exe  \"S\\\" c"},
    };
    for (const Case& k : cases) {
        RestartCommand c;
        c.process_id = 7;
        c.logging = k.logging;
        c.current_dir = k.dir;
        c.app_name = k.name;
        c.app_params = k.params;
        c.staging_dir = "S\\";
        c.components = "c";
        EXPECT_EQ(RestartCommandLine(c), k.want);
    }
}

TEST(RestartCommandLine, SplitKeepsTrailingBackslashAndQuotedBlank) {
    std::vector<std::string> want{"1234", "L",          "C:\\App\\client.exe",
                                  " ",    "C:\\Temp\\", "client.exe,lib.dll"};
    EXPECT_EQ(
        SplitCommandLine("1234 L C:\\App\\client.exe \" \" \"C:\\Temp\\\" client.exe,lib.dll"),
        want);
    EXPECT_EQ(SplitCommandLine("  a\t\"b c\"d \"\" "), (std::vector<std::string>{"a", "b cd", ""}));
    EXPECT_TRUE(SplitCommandLine("   ").empty());
}

TEST(PatchCommandLine, LoggingAppendsRedirectWithoutBlank) {
    EXPECT_EQ(PatchCommandLine(true, "app.pat", "C:\\App\\app.exe"),
              "patcher.exe -v app.pat C:\\App\\app.exe>> KUPDATE.LOG");
    EXPECT_EQ(PatchCommandLine(false, "app.pat", "C:\\App\\app.exe"),
              "patcher.exe app.pat C:\\App\\app.exe");
}

TEST(RestartIni, WrittenAndReadBack) {
    TempDir dir;
    auto& files = platform::SystemFileSystem();
    std::string path = WriteRestartIni(files, dir.path(), "KUPDATE.LOG");
    EXPECT_EQ(path, dir.File("KUPDATE.INI"));
    EXPECT_EQ(ReadBytes(path), "[CONFIG]\r\nLOGFILENAME=KUPDATE.LOG\r\n");
    EXPECT_EQ(ReadRestartIniLogName(ReadBytes(path)), "KUPDATE.LOG");
    EXPECT_EQ(ReadRestartIniLogName("[other]\nLOGFILENAME=x\n[ config ]\n logfilename = y.log \n"),
              "y.log");
    EXPECT_EQ(ReadRestartIniLogName("[CONFIG]\nOTHER=1\n"), "");
}

// Records the restart sequence.
struct Recorder {
    std::vector<std::string> calls;
    bool cancel = false;
    bool confirm_answer = true;
    bool extract_fails = false;

    RestartSteps Steps() {
        RestartSteps s;
        s.current_dir = "C:\\App";
        s.status = [this](int id, const std::string& p) {
            calls.push_back(std::to_string(id) + ":" + p);
        };
        s.cancelled = [this] { return cancel; };
        s.confirm = [this](const std::string& text) {
            calls.push_back("confirm:" + text);
            return confirm_answer;
        };
        s.extract_updater = [this] {
            calls.push_back("extract");
            if (extract_fails)
                throw OsError("disk full", 112);
        };
        s.write_restart_ini = [this] { calls.push_back("ini"); };
        s.command_line = [] { return std::string("CMD"); };
        s.restart_program = "T\\kusetup.exe";
        s.shell_open = [this](const std::string& p, const std::string& a) {
            calls.push_back("open:" + p + " " + a);
        };
        s.close_application = [this] { calls.push_back("close"); };
        return s;
    }
};

TEST(DoRestart, Sequences) {
    const std::string ask = "confirm:Shutdown application to update executable files ?";
    const std::vector<std::string> handed{"extract", "ini", "958:CMD", "open:T\\kusetup.exe CMD",
                                          "close"};
    auto with = [](std::vector<std::string> head, const std::vector<std::string>& tail) {
        head.insert(head.end(), tail.begin(), tail.end());
        return head;
    };
    {
        Recorder r;
        EXPECT_TRUE(DoRestart(r.Steps()));
        EXPECT_EQ(r.calls, with({"959:C:\\App", ask}, handed));
    }
    {
        Recorder r;
        r.confirm_answer = false;
        EXPECT_FALSE(DoRestart(r.Steps()));
        EXPECT_EQ(r.calls, (std::vector<std::string>{"959:C:\\App", ask}));
    }
    {
        Recorder r;
        r.cancel = true;
        EXPECT_FALSE(DoRestart(r.Steps()));
        EXPECT_EQ(r.calls, (std::vector<std::string>{"959:C:\\App"}));
    }
    {
        Recorder r;  // silent restart: no question
        RestartSteps s = r.Steps();
        s.silent_restart = true;
        EXPECT_TRUE(DoRestart(s));
        EXPECT_EQ(r.calls, with({"959:C:\\App"}, handed));
    }
    for (bool allow : {true, false}) {
        Recorder r;  // OnAppRestart decides, even over a silent restart
        RestartSteps s = r.Steps();
        s.on_app_restart = [&] {
            r.calls.push_back("event");
            return allow;
        };
        EXPECT_EQ(DoRestart(s), allow);
        const std::vector<std::string> refused{"959:C:\\App", "event"};
        EXPECT_EQ(r.calls, allow ? with(refused, handed) : refused);
    }
    {
        Recorder r;  // writing the program fails: the error propagates, nothing starts
        r.extract_fails = true;
        EXPECT_THROW(DoRestart(r.Steps()), OsError);
        EXPECT_EQ(r.calls, (std::vector<std::string>{"959:C:\\App", ask, "extract"}));
    }
}

struct CountingAnimation : ExecAnimation {
    explicit CountingAnimation(int& live) : live_(live) { ++live_; }
    ~CountingAnimation() override { --live_; }
    int& live_;
};

TEST(ExecAndWait, ExitCodesStatusAndAnimation) {
    auto& runner = SystemProcessRunner();
    std::vector<std::string> lines;
    int live = 0, created = 0;
    std::string seen_caption, seen_message;
    ExecHooks hooks;
    hooks.status = [&](int id, const std::string& text, int status, int error) {
        lines.push_back(std::to_string(id) + "|" + text + "|" + std::to_string(status) + "|" +
                        std::to_string(error));
    };
    hooks.animation = [&](const std::string& caption, const std::string& message) {
        ++created;
        seen_caption = caption;
        seen_message = message;
        return std::make_unique<CountingAnimation>(live);
    };
    const std::string helper = QuoteWhenBlank(test::TestProgram("exit_code_helper"));

    EXPECT_TRUE(ExecAndWait(runner, hooks, helper + " 0", false, "msg", "cap", true));
    EXPECT_EQ(lines.back(), "18|Exec: " + helper + " 0|18|0");
    EXPECT_EQ(created, 1);
    EXPECT_EQ(seen_caption, "cap");
    EXPECT_EQ(seen_message, "msg");
    EXPECT_EQ(live, 0);  // freed again

    EXPECT_FALSE(ExecAndWait(runner, hooks, helper + " 3", true, "", "", false));
    EXPECT_EQ(runner.LastErrorValue(), 3u + 8192u);
    EXPECT_EQ(created, 1);  // no animation asked for

    EXPECT_FALSE(ExecAndWait(runner, hooks, QuoteWhenBlank(test::TestProgram("no_such_program")),
                             false, "", "", false));
}

TEST(ExecAndWait, AnimationWindowWhileTheProgramRuns) {
    headless::HeadlessUi ui;
    headless::HeadlessBoxes boxes{ui};
    ui::Application app{ui, boxes};
    auto windows = ExecAnimationWindows(app);
    ui::Form* seen = nullptr;
    ui::Rect bounds;
    std::string caption, text;
    ui::Rect text_bounds;
    ui::Rect animation_bounds;
    int animations = 0;
    bool playing = false;
    ExecHooks hooks;
    hooks.animation = [&](const std::string& c, const std::string& m) {
        auto window = windows(c, m);
        seen = app.Forms().back();
        bounds = seen->Bounds();
        caption = seen->Caption();
        EXPECT_TRUE(seen->Visible());
        EXPECT_EQ(seen->definition().border, ui::BorderStyle::Dialog);
        EXPECT_FALSE(seen->definition().icons.system_menu);
        ui::Control* label = seen->FindControl("StatusText");
        EXPECT_NE(label, nullptr);
        if (label) {
            text = label->Caption();
            text_bounds = label->Bounds();
        }
        for (ui::Control* control : seen->Controls()) {
            if (control->Kind() != ui::ControlKind::Animation)
                continue;
            ++animations;
            animation_bounds = control->Bounds();
            playing = static_cast<ui::Animation*>(control)->Active();
        }
        return window;
    };
    const std::string helper = QuoteWhenBlank(test::TestProgram("exit_code_helper"));
    EXPECT_TRUE(
        ExecAndWait(SystemProcessRunner(), hooks, helper, true, "Patching files", "Update", true));
    ASSERT_NE(seen, nullptr);
    EXPECT_EQ(caption, "Update");
    EXPECT_EQ(bounds.width, 300);
    EXPECT_EQ(bounds.height, 170);
    EXPECT_EQ(bounds.left, (headless::kScreen.width - 300) / 2);
    EXPECT_EQ(bounds.top, (headless::kScreen.height - 170) / 2);
    EXPECT_EQ(text, "Patching files");
    EXPECT_EQ(text_bounds.left, 10);
    EXPECT_EQ(text_bounds.top, kAnimationTop + kAnimationHeight + 8);
    // The running file-copy animation at (10, 10), the text 8 pixels below it.
    EXPECT_EQ(animations, 1);
    EXPECT_TRUE(playing) << "started once the window is shown";
    EXPECT_EQ(animation_bounds.left, 10);
    EXPECT_EQ(animation_bounds.top, 10);
    EXPECT_GT(animation_bounds.width, 0);
    EXPECT_GT(animation_bounds.height, 0);
    EXPECT_EQ(text_bounds.top, animation_bounds.top + animation_bounds.height + 8);
    // Created, shown, and destroyed once the program ended.
    EXPECT_EQ(ui.LogLines("create TExecAnimation").size(), 1u);
    EXPECT_EQ(ui.LogLines("show TExecAnimation").size(), 1u);
    EXPECT_EQ(ui.LogLines("destroy TExecAnimation").size(), 1u);
    EXPECT_TRUE(app.Forms().empty());
}

TEST(CarriedPrograms, WrittenOutAndExpanded) {
    TempDir dir;
    auto& files = platform::SystemFileSystem();
    std::string updater = ExtractUpdater(files, dir.path() + files.Separator());
    EXPECT_EQ(updater, dir.File("kusetup.exe"));
    EXPECT_FALSE(PathExists(dir.File("kusetup.ex_")));
    // The expanded restart program is the one built beside the tests.
    EXPECT_EQ(ReadBytes(updater), ReadBytes(test::TestProgram("kusetup")));
    // Written again over an existing copy, beside a release's own packed restart program,
    // which stays for the restart program to move into place.
    test::WriteBytes(dir.File("kusetup.ex_"), "the release's restart program");
    EXPECT_EQ(ExtractUpdater(files, dir.path()), dir.File("kusetup.exe"));
    EXPECT_EQ(ReadBytes(dir.File("kusetup.ex_")), "the release's restart program");
    EXPECT_EQ(ReadBytes(updater), ReadBytes(test::TestProgram("kusetup")));
    EXPECT_FALSE(PathExists(dir.File("kusetup.tmp")));

    std::string patcher = ExtractPatcher(files, dir.path());
    EXPECT_EQ(patcher, dir.File("patcher.exe"));
    EXPECT_EQ(ReadBytes(patcher), ReadBytes(test::TestProgram("patcher")));
    // A usage error from the written program shows it runs.
    auto code = SystemProcessRunner().RunAndWait(QuoteWhenBlank(patcher), false);
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(*code, 1u);
}

TEST(CarriedPrograms, WriteFailurePropagates) {
    TempDir dir;
    auto& files = platform::SystemFileSystem();
    EXPECT_THROW(ExtractPatcher(files, dir.File("missing-folder")), OsError);
    EXPECT_THROW(ExtractUpdater(files, dir.File("missing-folder")), OsError);
}

#ifndef _WIN32
// Addresses and documents go to the desktop's opener; programs are started themselves.
TEST(ShellOpen, AddressesAndDocumentsGoToTheDesktopOpener) {
    TempDir dir;
    const std::string opened = dir.File("opened.txt");
    const std::string fake = dir.File("xdg-open");
    test::WriteBytes(fake, "#!/bin/sh\necho \"xdg-open $*\" >> '" + opened + "'\n");
    std::filesystem::permissions(std::filesystem::u8path(fake), std::filesystem::perms::owner_all);
    const std::string program = dir.File("prog");
    test::WriteBytes(program, "#!/bin/sh\necho \"prog $*\" >> '" + opened + "'\n");
    std::filesystem::permissions(std::filesystem::u8path(program),
                                 std::filesystem::perms::owner_all);
    const std::string document = dir.File("notes.txt");
    test::WriteBytes(document, "text");
    const char* path = std::getenv("PATH");
    test::ScopedEnv with_fake("PATH", dir.path() + ":" + (path != nullptr ? path : ""));
    ProcessRunner& runner = SystemProcessRunner();
    const std::vector<std::string> expected = {"xdg-open http://example.test/news",
                                               "xdg-open " + document, "prog -a b"};
    ASSERT_TRUE(runner.ShellOpen("http://example.test/news", ""));
    ASSERT_TRUE(test::WaitUntil([&] { return PathExists(opened); }, std::chrono::seconds(30)));
    ASSERT_TRUE(runner.ShellOpen(document, "ignored"));
    ASSERT_TRUE(
        test::WaitUntil([&] { return ReadBytes(opened).find(document) != std::string::npos; },
                        std::chrono::seconds(30)));
    ASSERT_TRUE(runner.ShellOpen(program, "-a b"));
    ASSERT_TRUE(test::WaitUntil([&] { return ReadBytes(opened).find("prog") != std::string::npos; },
                                std::chrono::seconds(30)));
    EXPECT_EQ(ReadBytes(opened), expected[0] + "\n" + expected[1] + "\n" + expected[2] + "\n");
    EXPECT_FALSE(runner.ShellOpen(dir.File("missing-program"), ""));
}
#endif

}  // namespace
}  // namespace kelvra::update
