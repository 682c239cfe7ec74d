// The update procedure against the loopback server: prompting modes, empty file lists,
// application components, forced updates, failed files, actions before the update, release
// notes and licence, cabinets, its log lines and the threaded run.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <set>
#include <thread>

#include "engine_fixture.h"
#include "headless_ui.h"
#include "platform/error.h"
#include "szdd_writer.h"
#include "update/html_dialog.h"
#include "update/process_runner.h"

namespace kelvra::test {
namespace {

using update::TUpdatePrompting;

// Records what the engine starts instead of starting it.
class RecordingRunner final : public update::ProcessRunner {
  public:
    bool shell_result = true;
    std::vector<std::pair<std::string, std::string>> opened;
    bool ShellOpen(const std::string& program, const std::string& params) override {
        opened.emplace_back(program, params);
        return shell_result;
    }
    std::optional<std::uint32_t> RunAndWait(const std::string&, bool) override { return 0; }
    std::uint32_t CurrentProcessId() const override { return 1234; }
    void SetLastErrorValue(std::uint32_t) override {}
    std::uint32_t LastErrorValue() const override { return 0; }
};

struct FileSpec {
    std::string name;
    std::string keys;  // extra keys of its file section
};

// The headless backend with a queue that other threads may post to; Drain runs what
// arrived on the calling (GUI) thread.
class SharedQueueUi final : public ui::Backend {
  public:
    std::unique_ptr<ui::NativeForm> CreateForm(ui::Form& f) override { return ui_.CreateForm(f); }
    std::unique_ptr<ui::NativeControl> CreateControl(ui::Control& c) override {
        return ui_.CreateControl(c);
    }
    std::unique_ptr<ui::NativeTimer> CreateTimer(ui::Timer& t) override {
        return ui_.CreateTimer(t);
    }
    void RunLoop(ui::Application& app) override { ui_.RunLoop(app); }
    void RunModalLoop(ui::Application& app, const std::function<bool()>& done) override {
        ui_.RunModalLoop(app, done);
    }
    void Post(std::function<void()> task) override {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(task));
    }
    void WakeUp() override {}
    ui::Rect Screen() const override { return ui_.Screen(); }
    void Drain() {
        std::vector<std::function<void()>> tasks;
        {
            std::lock_guard lock(mutex_);
            tasks.swap(queue_);
        }
        for (auto& task : tasks)
            task();
    }
    headless::HeadlessUi ui_;

  private:
    std::mutex mutex_;
    std::vector<std::function<void()>> queue_;
};

class ProcedureTest : public EngineTest {
  protected:
    ProcedureTest() : target_(work_.File("target")) {}

    // A control file with an unconditional update of the given files, each served under
    // /files/ and placed in target_; head adds sections and keys before [files].
    std::string Serve(const std::vector<FileSpec>& files, const std::string& head = {},
                      const std::string& update = "unconditional=1\n") {
        std::string text =
            "[update]\n" + update + head + "[files]\ncount=" + std::to_string(files.size()) + "\n";
        for (std::size_t i = 0; i < files.size(); ++i) {
            const std::string& name = files[i].name;
            if (served_.insert(name).second)
                server_.Serve("/files/" + name, Reply(200, "content of " + name));
            text += "[file" + std::to_string(i + 1) + "]\nurl=" + server_.Url("/files/" + name) +
                    "\ntargetdir=" + target_ + "\ndescr=" + name + "\n" + files[i].keys;
        }
        requests_before_ = server_.Requests().size();
        return ServeControlFile(text);
    }
    std::string ServeNames(const std::vector<std::string>& names, const std::string& head = {}) {
        std::vector<FileSpec> files;
        for (const std::string& n : names)
            files.push_back({n, {}});
        return Serve(files, head);
    }

    std::unique_ptr<update::TUpdateEngine> Engine(const std::string& url,
                                                  ui::Application* app = nullptr) {
        auto engine = MakeEngine(url, app);
        engine->SetProcessRunner(&runner_);
        engine->OnSuccess = [this](update::TUpdateEngine&) { ++successes_; };
        return engine;
    }

    // Files requested under /files/ since the control file was served, in order.
    std::vector<std::string> Fetched() {
        std::vector<std::string> names;
        const auto requests = server_.Requests();
        for (std::size_t i = requests_before_; i < requests.size(); ++i)
            if (requests[i].path.rfind("/files/", 0) == 0)
                names.push_back(requests[i].path.substr(7));
        return names;
    }
    bool Placed(const std::string& name) const { return PathExists(target_ + Separator() + name); }
    std::vector<std::string> BoxTexts() const {
        std::vector<std::string> texts;
        for (const ui::ScriptRecord& r : DialogRecords())
            texts.push_back(r.kind + ":" + r.fields.at("text"));
        return texts;
    }
    bool Logged(int id) const {
        const auto ids = LoggedIds();
        return std::find(ids.begin(), ids.end(), id) != ids.end();
    }
    void Reset() {
        std::filesystem::remove_all(std::filesystem::u8path(target_));
        for (const std::string& name : TempFiles())
            std::filesystem::remove(std::filesystem::u8path(temp_.File(name)));
        WriteBytes(work_.File("KUPDATE.LOG"), "");
        successes_ = 0;
    }

    std::string target_;
    RecordingRunner runner_;
    int successes_ = 0;
    std::set<std::string> served_;
    std::size_t requests_before_ = 0;
};

TEST_F(ProcedureTest, PromptingModes) {
    const std::string once = "box:Download update files ?";
    struct Case {
        TUpdatePrompting mode;
        std::vector<std::string> answers;
        std::vector<std::string> boxes;
        std::vector<std::string> fetched;
    } cases[] = {
        {TUpdatePrompting::upPromptOnce, {"Yes"}, {once}, {"a.txt", "b.txt", "c.txt"}},
        {TUpdatePrompting::upPromptOnce, {"No"}, {once}, {}},
        {TUpdatePrompting::upPromptAll,
         {"Yes", "No", "Yes"},
         {"box:Download update file : a.txt", "box:Download update file : b.txt",
          "box:Download update file : c.txt"},
         {"a.txt", "c.txt"}},
        {TUpdatePrompting::upSilent, {}, {}, {"a.txt", "b.txt", "c.txt"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.mode));
        SCOPED_TRACE(c.answers.empty() ? "" : c.answers[0]);
        Reset();
        AnswerDialogs(c.answers);
        auto engine = Engine(ServeNames(std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));
        engine->UpdateUpdate = c.mode;
        engine->DoUpdate(false);
        EXPECT_EQ(BoxTexts(), c.boxes);
        EXPECT_EQ(Fetched(), c.fetched);
        for (const char* name : {"a.txt", "b.txt", "c.txt"})
            EXPECT_EQ(Placed(name), std::count(c.fetched.begin(), c.fetched.end(), name) == 1)
                << name;
        if (!c.fetched.empty()) {
            EXPECT_EQ(ReadBytes(target_ + Separator() + c.fetched[0]),
                      "content of " + c.fetched[0]);
        }
        EXPECT_EQ(successes_, 1);  // the list was not emptied and nothing was cancelled
        EXPECT_FALSE(engine->InProgress());
    }
}

TEST_F(ProcedureTest, EmptyFileListFetchesNothingAndDoesNotRestart) {
    auto engine = Engine(ServeNames(std::vector<std::string>{},
                                    "[application]\nappupdate=1\nappname=client.exe\n"
                                    "appcomps=client.exe\n"));
    bool restart_asked = false;
    engine->OnAppRestart = [&](update::TUpdateEngine&, bool&) { restart_asked = true; };
    engine->DoUpdate(false);
    EXPECT_TRUE(Fetched().empty());
    EXPECT_TRUE(DialogRecords().empty());
    EXPECT_FALSE(Logged(948));  // no UpdateActions
    EXPECT_EQ(successes_, 0);
    EXPECT_FALSE(restart_asked);
    EXPECT_FALSE(Logged(959));
    EXPECT_EQ(LoggedIds().back(), 949);
    EXPECT_FALSE(engine->InProgress());
}

TEST_F(ProcedureTest, ApplicationComponentsStayForTheRestartProgram) {
    struct Case {
        std::string application;
        bool restart;
    } cases[] = {
        {"[application]\nappupdate=1\nappname=client.exe\nappcomps=CLIENT.EXE,core.dll\n", true},
        {"[application]\nappupdate=0\nappname=client.exe\nappcomps=client.exe,core.dll\n", false},
        {"[application]\nappupdate=1\nappcomps=client.exe,core.dll\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.application);
        Reset();
        // A component marked compressed would fail to expand if it were touched.
        auto engine =
            Engine(Serve({{"client.exe", "compressed=1\n"}, {"notes.txt", {}}}, c.application));
        engine->UpdateUpdate = TUpdatePrompting::upSilent;
        engine->ExtractCAB = true;
        engine->ApplyPatch = true;
        int restart_asked = 0;
        engine->OnAppRestart = [&](update::TUpdateEngine&, bool& allow) {
            ++restart_asked;
            allow = false;
        };
        engine->DoUpdate(false);
        EXPECT_EQ(ReadBytes(temp_.File("client.exe")), "content of client.exe");
        EXPECT_FALSE(Placed("client.exe"));
        EXPECT_TRUE(Placed("notes.txt"));
        EXPECT_NE(LogText().find("Found application component : client.exe"), std::string::npos);
        EXPECT_EQ(engine->AppNeedsRestart(), c.restart);
        EXPECT_EQ(restart_asked, c.restart ? 1 : 0);
        EXPECT_EQ(Logged(959), c.restart);
        EXPECT_FALSE(Logged(958));  // not allowed: no hand-off
    }
}

TEST_F(ProcedureTest, ForceUpdateIgnoresTheVersionDecision) {
    for (bool force : {false, true}) {
        SCOPED_TRACE(force);
        Reset();
        // Nothing newer: the release date lies in the past of any installed date.
        auto engine = Engine(Serve({{"a.txt", {}}}, {}, "date=01/01/1970\n"));
        engine->UpdateUpdate = TUpdatePrompting::upSilent;
        engine->ForceUpdate = force;
        engine->DoUpdate(false);
        EXPECT_EQ(Fetched().size(), force ? 1u : 0u);
        EXPECT_EQ(Placed("a.txt"), force);
        EXPECT_EQ(successes_, force ? 1 : 0);
    }
}

TEST_F(ProcedureTest, FailedFileIsReportedAndTheOthersStillCome) {
    const std::string url = Serve({{"a.txt", {}}, {"missing.txt", {}}, {"c.txt", {}}},
                                  "[application]\nappupdate=1\nappname=client.exe\n"
                                  "appcomps=a.txt\n");
    server_.Serve("/files/missing.txt", Reply(404, "gone"));
    auto engine = Engine(url);
    engine->UpdateUpdate = TUpdatePrompting::upSilent;
    engine->DoUpdate(false);
    EXPECT_EQ(Fetched(), (std::vector<std::string>{"a.txt", "missing.txt", "c.txt"}));
    EXPECT_TRUE(Placed("c.txt"));
    EXPECT_NE(LogText().find("[946] Cannot download update file : " +
                             server_.Url("/files/missing.txt") + " (Status:2) (Error:0)"),
              std::string::npos);
    EXPECT_TRUE(Logged(948));  // UpdateActions still ran
    EXPECT_EQ(successes_, 1);
    EXPECT_FALSE(engine->AppNeedsRestart());  // a component came, but the update failed
    EXPECT_FALSE(Logged(959));
}

// The check between download and placement sees each file where it was fetched; a file it
// refuses is not placed.
TEST_F(ProcedureTest, FetchedFileRefusedBeforePlacementStaysUnplaced) {
    struct Checking final : update::TUpdateEngine {
        using TUpdateEngine::TUpdateEngine;
        std::vector<std::string> seen;
        bool AcceptFetchedFile(const update::TFileDescription&, const std::string& path) override {
            seen.push_back(ReadBytes(path));
            return seen.back() != "content of b.txt";
        }
    };
    Checking engine;
    engine.URL = ServeNames({"a.txt", "b.txt"}, "[application]\nappupdate=1\nappname=x.exe\n");
    engine.SetLogging(true);
    engine.SetLogFileName(work_.File("KUPDATE.LOG"));
    engine.UpdateUpdate = TUpdatePrompting::upSilent;
    engine.SetProcessRunner(&runner_);
    engine.DoUpdate(false);
    EXPECT_EQ(engine.seen, (std::vector<std::string>{"content of a.txt", "content of b.txt"}));
    EXPECT_TRUE(Placed("a.txt"));
    EXPECT_FALSE(Placed("b.txt"));
}

TEST_F(ProcedureTest, ActionsBeforeTheUpdate) {
    std::vector<std::string> html;
    update::SetHtmlDialogHandler([&](ui::NativeWindow owner, const std::string& url) {
        EXPECT_EQ(owner, nullptr);
        html.push_back(url);
    });
    const std::string url =
        Serve({{"a.txt", {}}},
              "[action]\nmsg=Read this\\nfirst\nhtmldlg=http://example.test/page.html\n"
              "runbefore=setup helper.exe\nshowURL=http://example.test/news\n"
              "query=Go on\\nnow?\n");
    AnswerDialogs({"OK", "No"});
    runner_.shell_result = false;  // no iexplore.exe: the address is opened itself
    auto engine = Engine(url);
    engine->ProxyUserID = "pu";
    engine->ProxyPassword = "pp";
    engine->DoUpdate(false);
    update::SetHtmlDialogHandler({});

    const auto records = DialogRecords();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].fields.at("text"), "Read this\rfirst");
    EXPECT_EQ(records[0].fields.at("buttons"), "OK");
    EXPECT_EQ(records[0].fields.at("icon"), "Information");
    EXPECT_EQ(records[1].fields.at("text"), "Go on\rnow?");
    EXPECT_EQ(records[1].fields.at("buttons"), "YesNo");
    EXPECT_EQ(html, std::vector<std::string>{"http://example.test/page.html"});
    using Call = std::pair<std::string, std::string>;
    EXPECT_EQ(runner_.opened,
              (std::vector<Call>{{"setup helper.exe", ""},
                                 {"iexplore.exe", "-new http://pu:pp@example.test/news"},
                                 {"http://pu:pp@example.test/news", ""}}));
    const auto ids = LoggedIds();
    for (int id : {934, 935, 942, 936})
        EXPECT_TRUE(Logged(id)) << id;
    // The No ends the update with the session closed and nothing fetched.
    EXPECT_TRUE(Fetched().empty());
    EXPECT_EQ(ids.back(), 949);
    EXPECT_FALSE(engine->InProgress());
    EXPECT_EQ(successes_, 0);
}

TEST_F(ProcedureTest, ReleaseNotesAndLicence) {
    server_.Serve("/notes.txt", Reply(200, "Line one\r\nLine two"));
    server_.Serve("/eula.txt", Reply(200, "{\\rtf1 licence}"));
    const std::string sections = "[whatsnew]\nfile=" + server_.Url("/notes.txt") +
                                 "\ncancelbtn=Later\n[eula]\nfile=" + server_.Url("/eula.txt") +
                                 "\ncaption=Licence\n";
    struct Case {
        std::vector<std::string> answers;
        bool fetched;
        bool declined_logged;
    } cases[] = {
        {{"Cancel"}, false, true},                            // notes declined; no licence dialog
        {{"OK", "OK"}, false, false},                         // licence left at "I do not accept"
        {{"OK", "Cancel choice=\"I accept\""}, true, false},  // closed, but accepted
        {{"OK", "OK choice=\"I accept\""}, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answers.back());
        Reset();
        AnswerDialogs(c.answers);
        auto engine = Engine(Serve({{"a.txt", {}}}, sections));
        engine->UpdateUpdate = TUpdatePrompting::upSilent;
        engine->DoUpdate(false);
        const auto records = DialogRecords();
        ASSERT_EQ(records.size(), c.answers.size());
        EXPECT_EQ(records[0].kind, "dialog");
        EXPECT_EQ(records[0].fields.at("caption"), "What's new");
        EXPECT_EQ(records[0].fields.at("text"), "Line one\r\nLine two");
        EXPECT_EQ(records[0].fields.at("buttons"), "Ok,Later");
        if (records.size() > 1) {
            EXPECT_EQ(records[1].fields.at("caption"), "Licence");
            EXPECT_EQ(records[1].fields.at("text"), "{\\rtf1 licence}");
            EXPECT_EQ(records[1].fields.at("buttons"), "Ok");
            EXPECT_EQ(records[1].fields.at("choices"), "I accept,I do not accept");
            EXPECT_EQ(records[1].fields.at("checked"), "I do not accept");
        }
        // The licence is fetched even after declined notes.
        EXPECT_TRUE(Logged(939));
        EXPECT_EQ(Logged(938), c.declined_logged);
        EXPECT_EQ(Fetched().size(), c.fetched ? 1u : 0u);
        EXPECT_FALSE(engine->InProgress());
        EXPECT_TRUE(TempFiles().empty());  // the fetched texts are deleted again
    }
}

TEST_F(ProcedureTest, ReleaseNotesHandlerDecidesForPlainText) {
    server_.Serve("/notes.txt", Reply(200, "one\ntwo\n"));
    for (int res : {1, 0}) {
        Reset();
        auto engine =
            Engine(Serve({{"a.txt", {}}}, "[whatsnew]\nfile=" + server_.Url("/notes.txt") + "\n"));
        engine->UpdateUpdate = TUpdatePrompting::upSilent;
        std::vector<std::string> seen;
        engine->OnDownloadedWhatsNew = [&](update::TUpdateEngine&, const update::StringList& list,
                                           int& r) {
            seen = list;
            EXPECT_EQ(r, 1);
            r = res;
        };
        engine->DoUpdate(false);
        EXPECT_EQ(seen, (std::vector<std::string>{"one", "two"}));
        EXPECT_TRUE(DialogRecords().empty());
        EXPECT_EQ(Fetched().size(), res == 1 ? 1u : 0u);
    }
}

TEST_F(ProcedureTest, NewWhatsNewReturnsThePlainNotes) {
    server_.Serve("/notes.txt", Reply(200, "first\r\nsecond"));
    server_.Serve("/rich.txt", Reply(200, "{\\RtF1 rich}"));
    for (const char* path : {"/notes.txt", "/rich.txt"}) {
        SCOPED_TRACE(path);
        auto engine = Engine(ServeControlFile(
            "[update]\nunconditional=1\n[whatsnew]\nfile=" + server_.Url(path) + "\n"));
        auto list = engine->NewWhatsNew(false);
        if (std::string(path) == "/notes.txt") {
            ASSERT_NE(list, nullptr);
            EXPECT_EQ(*list, (std::vector<std::string>{"first", "second"}));
        } else {
            EXPECT_EQ(list, nullptr);  // rich text is not returned as lines
        }
        EXPECT_FALSE(engine->InProgress());
    }
    // With the dialog, the notes are shown too.
    AnswerDialogs({"OK"});
    auto engine = Engine(ServeControlFile("[update]\nunconditional=1\n[whatsnew]\nfile=" +
                                          server_.Url("/notes.txt") + "\ncaption=News\n"));
    EXPECT_NE(engine->NewWhatsNew(true), nullptr);
    ASSERT_EQ(DialogRecords().size(), 1u);
    EXPECT_EQ(DialogRecords()[0].fields.at("caption"), "News");
}

TEST_F(ProcedureTest, CompressedCabinetIsExtractedIntoTheTargetDirectory) {
    const char sep = Separator();
    const std::string fixtures = TestBinDir() + sep + "cab_fixtures" + sep;
    server_.Serve("/files/update.cab", Reply(200, ReadBytes(fixtures + "mszip.cab")));
    server_.Serve("/files/broken.cab", Reply(200, ReadBytes(fixtures + "damaged.cab")));
    served_ = {"update.cab", "broken.cab"};
    // The damaged cabinet holds the same names; it comes first so the good one has the say.
    auto engine =
        Engine(Serve({{"broken.cab", "compressed=1\n"}, {"update.cab", "compressed=1\n"}}));
    engine->UpdateUpdate = TUpdatePrompting::upSilent;
    engine->ExtractCAB = true;
    engine->DoUpdate(false);
    EXPECT_EQ(ReadBytes(target_ + sep + "a.txt"), "alpha");
    EXPECT_EQ(ReadBytes(target_ + sep + "sub" + sep + "b.txt"), "bravo bravo");
    EXPECT_TRUE(PathExists(target_ + sep + "sub" + sep + "deeper" + sep + "c.bin"));
    // The good cabinet is deleted after extraction; the damaged one stays and is reported.
    EXPECT_FALSE(PathExists(temp_.File("update.cab")));
    EXPECT_TRUE(PathExists(temp_.File("broken.cab")));
    EXPECT_NE(LogText().find("[947] Error decompressing CAB file : " + temp_.File("broken.cab")),
              std::string::npos);
}

TEST_F(ProcedureTest, CompressedFileIsExpandedInTheCurrentDirectory) {
    // Moved into the target first, then expanded from there into the current directory.
    TempDir current;
    const auto old_dir = std::filesystem::current_path();
    std::filesystem::current_path(std::filesystem::u8path(current.path()));
    const std::string original = "tool program bytes " + std::string(300, 'z');
    server_.Serve("/files/tool.ex_", Reply(200, tools::SzddCompress(original, 'e')));
    served_ = {"tool.ex_"};
    auto engine = Engine(Serve({{"tool.ex_", "compressed=1\n"}}));
    engine->UpdateUpdate = TUpdatePrompting::upSilent;
    engine->ExtractCAB = true;
    engine->DoUpdate(false);
    std::filesystem::current_path(old_dir);
    EXPECT_EQ(ReadBytes(current.File("tool.exe")), original);
    EXPECT_FALSE(PathExists(current.File("tool.ex_")));
    EXPECT_FALSE(Placed("tool.ex_"));
    EXPECT_FALSE(PathExists(temp_.File("tool.ex_")));
    EXPECT_EQ(successes_, 1);
}

TEST_F(ProcedureTest, LogLinesOfAnUpdate) {
    auto engine = Engine(ServeNames(std::vector<std::string>{"a.txt"}));
    engine->UpdateUpdate = TUpdatePrompting::upSilent;
    engine->DoUpdate(false);
    const std::string log = LogText();
    for (const char* line :
         {"[968] Start update : Non threaded update --------------------------- (Status:0) "
          "(Error:0)\r\n",
          "[963] Start update process with version : 2.1.4.0 (Status:0) (Error:0)\r\n",
          "[948] Finished processing update control file (Status:3) (Error:0)\r\n"})
        EXPECT_NE(log.find(line), std::string::npos) << line;
    const auto ids = LoggedIds();
    ASSERT_GE(ids.size(), 6u);
    EXPECT_EQ(std::vector<int>(ids.begin(), ids.begin() + 6),
              (std::vector<int>{968, 966, 967, 969, 970, 963}));
    EXPECT_EQ(ids.back(), 949);
}

TEST_F(ProcedureTest, ThreadedUpdateFinishesOnTheGuiThread) {
    SharedQueueUi ui;
    headless::HeadlessBoxes boxes(ui.ui_);
    ui::Application app(ui, boxes);
    EXPECT_THROW(Engine(ServeNames(std::vector<std::string>{"a.txt"}))->DoThreadUpdate(false),
                 Error);

    boxes.answers = {ui::MsgResult::Yes};
    auto engine = Engine(ServeNames(std::vector<std::string>{"a.txt", "b.txt"}), &app);
    const auto gui = std::this_thread::get_id();
    std::thread::id done_on, box_on;
    bool done = false;
    engine->OnThreadUpdateDone = [&](update::TUpdateEngine& e) {
        done_on = std::this_thread::get_id();
        EXPECT_TRUE(e.Threaded());
        done = true;
    };
    engine->OnFileProgress = [&](update::TUpdateEngine&, const std::string&, std::int64_t,
                                 std::int64_t) { box_on = std::this_thread::get_id(); };
    engine->DoThreadUpdate(false);
    EXPECT_THROW(engine->DoThreadUpdate(false), Error);  // one worker at a time
    ASSERT_TRUE(WaitUntil(
        [&] {
            ui.Drain();
            return done;
        },
        std::chrono::seconds(30)));
    EXPECT_EQ(done_on, gui);
    EXPECT_NE(box_on, gui);  // the transfer itself ran on the worker
    EXPECT_FALSE(engine->Threaded());
    ASSERT_EQ(boxes.shown.size(), 1u);  // asked on the GUI thread, answered Yes
    EXPECT_EQ(boxes.shown[0].text, "Download update files ?");
    EXPECT_EQ(Fetched().size(), 2u);
    const std::string log = LogText();
    EXPECT_NE(log.find("[968] Start update : Threaded update ---"), std::string::npos);
    EXPECT_NE(log.find("[960] Threaded update execution done (Status:0) (Error:0)"),
              std::string::npos);
    EXPECT_EQ(LoggedIds().back(), 960);
}

}  // namespace
}  // namespace kelvra::test
