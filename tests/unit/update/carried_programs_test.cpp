// The real carried programs: the patch program applies bsdiff patches made by Debian's
// bsdiff, as the engine starts it; the restart program waits for a running fixture
// application, moves the staged components over it and starts it again.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <unistd.h>
#endif

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "restart_fixture_app.h"
#include "test_support.h"
#include "update/carried_programs.h"
#include "update/process_runner.h"
#include "update/restart_handoff.h"
#include "update/update_log.h"

namespace kelvra::update {
namespace {

using test::PathExists;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

std::string PatchFixture(const std::string& name) {
    const char sep = test::Separator();
    return test::TestBinDir() + sep + "patch_fixtures" + sep + name;
}

// Runs the patch program as the engine does, from the folder holding patch and target.
std::uint32_t RunPatcher(const TempDir& dir, bool logging, const std::string& patch,
                         const std::string& target) {
    std::string line = PatchCommandLine(logging, patch, target);
    line.replace(0, std::string(kPatchProgram).size(),
                 QuoteWhenBlank(test::TestProgram("patcher")));
    auto old = std::filesystem::current_path();
    std::filesystem::current_path(std::filesystem::u8path(dir.path()));
    auto code = SystemProcessRunner().RunAndWait(line, false);
    std::filesystem::current_path(old);
    EXPECT_TRUE(code.has_value());
    return code.value_or(999);
}

#ifndef _WIN32
// A program opened through the shell runs outside this session and, once it has ended,
// is reaped: no zombie stays behind in a long-running client.
TEST(ShellOpen, RunsOutsideThisSessionAndIsReaped) {
    TempDir dir;
    const std::string out = dir.File("started");
    ASSERT_TRUE(SystemProcessRunner().ShellOpen(
        "/bin/sh", "-c \"echo $$ $(cut -d' ' -f6 /proc/$$/stat) >" + out + ".tmp; mv " + out +
                       ".tmp " + out + "\""));
    ASSERT_TRUE(test::WaitUntil([&] { return PathExists(out); }, std::chrono::seconds(10)));
    std::istringstream started(ReadBytes(out));
    long pid = 0, session = 0;
    started >> pid >> session;
    EXPECT_NE(session, static_cast<long>(getsid(0)));
    const std::string stat = "/proc/" + std::to_string(pid) + "/stat";
    EXPECT_TRUE(test::WaitUntil([&] { return !PathExists(stat); }, std::chrono::seconds(10)))
        << ReadBytes(stat);
    EXPECT_FALSE(SystemProcessRunner().ShellOpen(dir.File("missing-program"), ""));
}
#endif

TEST(PatchProgram, AppliesBsdiffPatches) {
    for (const char* name : {"text", "binary", "tiny", "same"}) {
        SCOPED_TRACE(name);
        TempDir dir;
        std::string base(name);
        WriteBytes(dir.File("target.bin"), ReadBytes(PatchFixture(base + ".old")));
        WriteBytes(dir.File("update.pat"), ReadBytes(PatchFixture(base + ".pat")));
        EXPECT_EQ(RunPatcher(dir, false, "update.pat", "target.bin"), 0u);
        EXPECT_EQ(ReadBytes(dir.File("target.bin")), ReadBytes(PatchFixture(base + ".new")));
    }
}

TEST(PatchProgram, VerboseLogsToTheNamedLog) {
    TempDir dir;
    // On Linux the documents folder follows HOME; Windows keeps its own.
    test::ScopedEnv home("HOME", dir.path());
    test::ScopedEnv xdg("XDG_CONFIG_HOME", std::nullopt);
    test::ScopedEnv xdg_docs("XDG_DOCUMENTS_DIR", std::nullopt);
    WriteBytes(dir.File("target.bin"), ReadBytes(PatchFixture("text.old")));
    WriteBytes(dir.File("update.pat"), ReadBytes(PatchFixture("text.pat")));
    // ">> KUPDATE.LOG" names the update log in the documents folder; point that at dir.
    std::filesystem::create_directories(std::filesystem::u8path(dir.File("Documents")));
    auto docs = DocumentsFolder();
    ASSERT_TRUE(docs.has_value());
    std::filesystem::create_directories(std::filesystem::u8path(*docs));
    std::string log = ResolveLogPath("KUPDATE.LOG", docs, test::Separator());
    std::string before = PathExists(log) ? ReadBytes(log) : "";
    EXPECT_EQ(RunPatcher(dir, true, "update.pat", "target.bin"), 0u);
    EXPECT_EQ(ReadBytes(dir.File("target.bin")), ReadBytes(PatchFixture("text.new")));
    ASSERT_TRUE(PathExists(log));
    std::string added = ReadBytes(log).substr(before.size());
    EXPECT_NE(added.find("patcher: Applying patch update.pat to target.bin"), std::string::npos)
        << added;
    EXPECT_NE(added.find("patcher: Patched target.bin"), std::string::npos) << added;
}

TEST(PatchProgram, BadPatchesLeaveTheFileAlone) {
    struct Case {
        const char* patch;
        const char* old;
        std::uint32_t code;
    };
    for (const Case& c :
         {Case{"truncated.pat", "binary.old", 3u}, Case{"damaged.pat", "binary.old", 3u},
          Case{"text.old", "binary.old", 3u}, Case{"binary.pat", nullptr, 2u}}) {
        SCOPED_TRACE(c.patch);
        TempDir dir;
        WriteBytes(dir.File("update.pat"), ReadBytes(PatchFixture(c.patch)));
        if (c.old)
            WriteBytes(dir.File("target.bin"), ReadBytes(PatchFixture(c.old)));
        EXPECT_EQ(RunPatcher(dir, false, "update.pat", "target.bin"), c.code);
        if (c.old) {
            EXPECT_EQ(ReadBytes(dir.File("target.bin")), ReadBytes(PatchFixture(c.old)));
        }
    }
}

// A home of its own with a documents folder (on Linux; Windows keeps the prefix's own),
// where the hand-off file names root/restart.log as the restart program's log.
struct RestartHome {
    TempDir root;
    test::ScopedEnv home{"HOME", root.path()};
    test::ScopedEnv xdg{"XDG_CONFIG_HOME", std::nullopt};
    test::ScopedEnv xdg_docs{"XDG_DOCUMENTS_DIR", std::nullopt};
    std::string log = root.File("restart.log");
    RestartHome() {
        std::filesystem::create_directories(std::filesystem::u8path(root.File("Documents")));
        const auto docs = DocumentsFolder();
        if (!docs)
            throw std::runtime_error("no documents folder");
        std::filesystem::create_directories(std::filesystem::u8path(*docs));
        WriteRestartIni(platform::SystemFileSystem(), *docs, log);
    }
};

TEST(RestartProgram, RestartsTheApplicationThatWaitedToBeReplaced) {
    const char sep = test::Separator();
    RestartHome h;
    const TempDir& root = h.root;
    const std::string& log = h.log;
    const std::string app_dir = root.File("app dir");  // a blank: the path gets quoted
    const std::string staging = root.File("staging");
    std::filesystem::create_directories(std::filesystem::u8path(app_dir));
    std::filesystem::create_directories(std::filesystem::u8path(staging));
    const std::string exe = test::InstallRestartFixtureApp(app_dir);
    WriteBytes(staging + sep + "version.txt", "v2\n");
    WriteBytes(staging + sep + exe, ReadBytes(test::TestProgram("restart_fixture_app")));

    test::ChildProcess app(app_dir + sep + exe, {"first", "run"});
    auto runs = [&] { return test::RestartFixtureRuns(app_dir); };
    ASSERT_TRUE(test::WaitUntil([&] { return !runs().empty(); }, std::chrono::seconds(30)));
    const std::string first = runs()[0];
    EXPECT_EQ(first.substr(first.find('|')), "|v1|first|run");

    RestartCommand command;
    command.process_id = static_cast<std::uint32_t>(std::stoul(first.substr(0, first.find('|'))));
    command.logging = true;
    command.current_dir = app_dir;
    command.separator = sep;
    command.app_name = exe;
    command.app_params = "second run";
    command.staging_dir = staging + sep;
    command.components = exe + ",version.txt";
    const std::string line = RestartCommandLine(command);
    const std::string updater = ExtractUpdater(platform::SystemFileSystem(), root.path());
    ASSERT_TRUE(SystemProcessRunner().ShellOpen(updater, line));

    // The restart program must wait while the application still runs.
    EXPECT_FALSE(
        test::WaitUntil([&] { return runs().size() > 1; }, std::chrono::milliseconds(700)));
    EXPECT_EQ(ReadBytes(app_dir + sep + "version.txt"), "v1\n");
    platform::SystemFileSystem().RemoveFile(app_dir + sep + "hold");
    EXPECT_EQ(app.Wait(std::chrono::seconds(30)), std::optional<int>(0));

    ASSERT_TRUE(test::WaitUntil([&] { return runs().size() > 1; }, std::chrono::seconds(60)))
        << (PathExists(log) ? ReadBytes(log) : "no log");
    const std::string second = runs()[1];
    EXPECT_EQ(second.substr(second.find('|')),
              "|v2|second|run");  // the parameters as a command line
    EXPECT_FALSE(PathExists(staging + sep + "version.txt"));
    EXPECT_FALSE(PathExists(staging + sep + exe));
    ASSERT_TRUE(test::WaitUntil(
        [&] {
            return PathExists(log) && ReadBytes(log).find("kusetup: Started") != std::string::npos;
        },
        std::chrono::seconds(30)));
    EXPECT_NE(ReadBytes(log).find("kusetup: Moved"), std::string::npos);
}

// Component names that climb out of the application folder, are absolute or name the
// folder itself (a move of the staging folder onto it) are refused and logged; the others
// are moved. No process has the id 2^22 (above any pid_max on Linux;
// Windows ids of running processes stay far below it).
TEST(RestartProgram, RefusesComponentsOutsideTheApplicationFolder) {
    const char sep = test::Separator();
    RestartHome h;
    const TempDir& root = h.root;
    const std::string app_dir = root.File("app");
    const std::string staging = root.File("staging") + sep + "in";
    std::filesystem::create_directories(std::filesystem::u8path(app_dir));
    std::filesystem::create_directories(std::filesystem::u8path(staging));
    WriteBytes(staging + sep + "good.txt", "good.txt");
    // "..<sep>climb.txt" names this file in the staging folder and root/climb.txt beside
    // the application folder.
    const std::string climb_source = root.File("staging") + sep + "climb.txt";
    WriteBytes(climb_source, "climb");
    const std::string absolute = root.File("staging") + sep + "abs.txt";
    WriteBytes(absolute, "abs");

    const std::string climbing = std::string("..") + sep + "climb.txt";
    test::ChildProcess restart(test::TestProgram("kusetup"),
                               {"4194304", "L", app_dir + sep + "none.exe", " ", staging,
                                ".,good.txt," + climbing + "," + absolute});
    EXPECT_TRUE(restart.Wait(std::chrono::seconds(60)).has_value());
    EXPECT_EQ(ReadBytes(app_dir + sep + "good.txt"), "good.txt");
    EXPECT_FALSE(PathExists(root.File("climb.txt")));
    EXPECT_TRUE(PathExists(climb_source));
    EXPECT_TRUE(PathExists(absolute));
    const std::string text = PathExists(h.log) ? ReadBytes(h.log) : "";
    for (const std::string& name : {std::string("."), climbing, absolute}) {
        EXPECT_NE(text.find("kusetup: Refused " + name + ": outside the application folder"),
                  std::string::npos)
            << text;
    }
}

}  // namespace
}  // namespace kelvra::update
