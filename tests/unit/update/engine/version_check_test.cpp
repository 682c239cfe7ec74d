// The availability query against a loopback HTTP server: every row of the failure table
// with its log, the date, version and unconditional decisions, sign-in and proxy users.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "engine_fixture.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "update/file_checks.h"
#include "update/file_version_note.h"

// This test program stands for the installed client: file version 2.1.4.0.
KELVRA_FILE_VERSION_NOTE(2, 1, 4, 0);

namespace kelvra::test {
namespace {

using Ids = std::vector<int>;

std::string Two(int n) {
    return (n < 10 ? "0" : "") + std::to_string(n);
}

// The file's modification time as the control file's date and time texts.
std::pair<std::string, std::string> DateTexts(const update::LocalDateTime& t) {
    return {Two(t.day) + "/" + Two(t.month) + "/" + std::to_string(t.year),
            Two(t.hour) + ":" + Two(t.minute) + ":" + Two(t.second)};
}

TEST_F(EngineTest, PlatformOfflineLogsOneLineAndAsksNothing) {
    ScriptedInternet net;
    net.offline = true;
    auto engine = MakeEngine("http://localhost:1/kelvraeduclient/update.inf", nullptr, &net);
    EXPECT_FALSE(engine->NewVersionAvailable(false));
    EXPECT_EQ(LoggedIds(), (Ids{918}));
    EXPECT_TRUE(DialogRecords().empty());
    EXPECT_TRUE(TempFiles().empty());
    EXPECT_FALSE(engine->InProgress());
}

TEST_F(EngineTest, SessionThatCannotOpen) {
    ScriptedInternet net;
    net.open_fails = true;
    auto engine = MakeEngine(ServeControlFile("[update]\nunconditional=1\n"), nullptr, &net);
    EXPECT_FALSE(engine->NewVersionAvailable(false));
    EXPECT_EQ(LoggedIds(), (Ids{918, 921, 922}));
    EXPECT_TRUE(server_.Requests().empty());
}

TEST_F(EngineTest, UnreachableServerShowsTheErrorBox) {
    auto engine = MakeEngine("http://127.0.0.1:" + std::to_string(RefusedPort()) +
                             "/kelvraeduclient/update.inf");
    EXPECT_FALSE(engine->NewVersionAvailable(false));
    EXPECT_EQ(LoggedIds(), (Ids{918, 921, 915, 976, 917, 925, 949, 949}));
    const auto records = DialogRecords();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].kind, "box");
    EXPECT_EQ(records[0].fields.at("buttons"), "OK");
    EXPECT_EQ(records[0].fields.at("icon"), "Error");
    EXPECT_FALSE(records[0].fields.at("text").empty());
    // The box shows the text the log reports as the system error.
    EXPECT_NE(LogText().find("System error : " + records[0].fields.at("text")), std::string::npos);
    EXPECT_TRUE(TempFiles().empty());
}

TEST_F(EngineTest, HttpStatusOfThreeHundredOrMore) {
    for (int status : {404, 500, 300}) {
        SCOPED_TRACE(status);
        HttpResponse response;
        response.status = status;
        response.body = "[update]\nunconditional=1\n";
        server_.Serve("/kelvraeduclient/update.inf", response);
        WriteBytes(work_.File("KUPDATE.LOG"), "");
        auto engine = MakeEngine(server_.Url("/kelvraeduclient/update.inf"));
        EXPECT_FALSE(engine->NewVersionAvailable(false));
        EXPECT_EQ(LoggedIds(), (Ids{918, 921, 915, 916, 925, 949, 949}));
        EXPECT_NE(LogText().find("[916] Http status : " + std::to_string(status) +
                                 " (Status:6) (Error:" + std::to_string(status) + ")"),
                  std::string::npos);
        EXPECT_TRUE(DialogRecords().empty());
        EXPECT_TRUE(TempFiles().empty());
    }
}

TEST_F(EngineTest, EmptyControlFileCountsAsNotFound) {
    auto engine = MakeEngine(ServeControlFile(""));
    // An earlier copy of the control file must survive a failed fetch.
    WriteBytes(temp_.File("update.inf"), "[update]\nunconditional=1\n");
    EXPECT_FALSE(engine->NewVersionAvailable(false));
    EXPECT_EQ(LoggedIds(), (Ids{918, 921, 915, 925, 949, 949}));
    EXPECT_EQ(ReadBytes(temp_.File("update.inf")), "[update]\nunconditional=1\n");
    EXPECT_EQ(TempFiles(), (std::vector<std::string>{"update.inf"}));
}

// Rewrites the file at path in place (same size, so that only its contents change).
void RewriteInPlace(const std::string& path, const std::string& text) {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    ASSERT_TRUE(file.write(text.data(), static_cast<std::streamsize>(text.size())));
}

// An engine whose fetch of the control file is followed by a rewrite, as a program that
// checks the fetched file may do.
class RewritingEngine final : public update::TUpdateEngine {
  public:
    std::string text;
    bool FetchControlFile(const std::string& address, const std::string& dir) override {
        if (!TUpdateEngine::FetchControlFile(address, dir))
            return false;
        RewriteInPlace(dir + URLtoFile(address), text);
        return true;
    }
};

// The check answers from the control file as rewritten right after its fetch (by a handler
// given the file, or by an override of the fetch), never from the bytes that were fetched.
TEST_F(EngineTest, ControlFileRewrittenAfterItsFetchIsReadAsRewritten) {
    const std::string fetched = "[update]\nnote=01/01/2099\n";
    const std::string rewritten = "[update]\ndate=01/01/2099\n";
    const std::string url = ServeControlFile(fetched);
    auto handled = MakeEngine(url);
    handled->OnFileDownloaded = [&](update::TUpdateEngine&, const std::string& path) {
        RewriteInPlace(path, rewritten);
    };
    EXPECT_TRUE(handled->NewVersionAvailable(false)) << "handler";
    RewritingEngine overridden;
    Configure(overridden, url);
    overridden.text = rewritten;
    EXPECT_TRUE(overridden.NewVersionAvailable(false)) << "override";
}

TEST_F(EngineTest, SignatureChecks) {
    auto engine =
        MakeEngine(ServeControlFile("[update]\nsignature=kelvraupdate\ndate=01/01/2099\n"));
    engine->SignatureCheck = true;
    EXPECT_FALSE(engine->NewVersionAvailable(false));
    EXPECT_EQ(LoggedIds(), (Ids{918, 921, 915, 926, 927, 949, 949}));
    // Without the check the signature is not read.
    WriteBytes(work_.File("KUPDATE.LOG"), "");
    engine->SignatureCheck = false;
    EXPECT_TRUE(engine->NewVersionAvailable(false));
    EXPECT_EQ(LoggedIds(), (Ids{918, 921, 915, 926, 928, 929, 949, 949}));
}

TEST_F(EngineTest, ControlFileWithoutDecisiveKeys) {
    auto engine = MakeEngine(
        ServeControlFile("[update]\ndescr=nothing\nnewchecksum=-1\nnewsize=0\n[files]\ncount=2\n"));
    EXPECT_FALSE(engine->NewVersionAvailable(false));
    EXPECT_EQ(LoggedIds(), (Ids{918, 921, 915, 926, 949, 949}));
    EXPECT_EQ(engine->UpdateDescription(), "nothing");
    // The copy is deleted before the answer.
    EXPECT_TRUE(TempFiles().empty());
    EXPECT_EQ(engine->ControlFileName(), temp_.File("update.inf"));
}

TEST_F(EngineTest, ReleaseDateAgainstTheLocalFile) {
    const std::string local = work_.File("client.exe");
    WriteBytes(local, "installed");
    const auto modified = update::FileModifiedTime(local);
    ASSERT_TRUE(modified);
    const auto [day, time] = DateTexts(*modified);
    struct Row {
        std::string date, time;
        bool answer;
        Ids ids;
    } rows[] = {
        {"01/01/2099", "", true, {918, 921, 915, 926, 928, 929, 949, 949}},
        {"01/01/2001", "", false, {918, 921, 915, 926, 928, 930, 949, 949}},
        {day, time, false, {918, 921, 915, 926, 928, 930, 949, 949}},  // equal is not newer
        {"31/02/2013", "", false, {918, 921, 915, 926, 928, 930, 949, 949}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.date + " " + row.time);
        WriteBytes(work_.File("KUPDATE.LOG"), "");
        auto engine =
            MakeEngine(ServeControlFile("[update]\ndate=" + row.date + "\ntime=" + row.time +
                                        "\nlocalversion=" + local + "\n"));
        EXPECT_EQ(engine->NewVersionAvailable(false), row.answer);
        EXPECT_EQ(LoggedIds(), row.ids);
        EXPECT_EQ(engine->CurVersionDate(), *modified);
    }
}

TEST_F(EngineTest, DateWithoutLocalFileComparesWithNineteenEighty) {
    auto engine = MakeEngine(ServeControlFile("[update]\ndate=02/01/1980\n"));
    EXPECT_TRUE(engine->NewVersionAvailable(false));
    EXPECT_EQ(engine->CurVersionDate(), update::kDefaultReleaseDate);
    // Message 929 carries the date in the system's short date format.
    EXPECT_NE(LogText().find("New version found : " +
                             update::FormatShortDate(engine->NewVersionDate(),
                                                     update::ProcessDateTimeSettings())),
              std::string::npos);
}

TEST_F(EngineTest, VersionResourceOfTheLocalExecutable) {
    const std::string self = platform::SystemFileSystem().ExecutablePath();
    const std::string plain = work_.File("plain.exe");
    WriteBytes(plain, "no version here");
    struct Row {
        std::string newversion, local;
        bool answer;
        Ids ids;
    } rows[] = {
        {"2.1.5.0", self, true, {918, 921, 915, 926, 933, 944, 929, 949, 949}},
        {"2,1,5,0", self, true, {918, 921, 915, 926, 933, 944, 929, 949, 949}},
        {"2.1.4.0", self, false, {918, 921, 915, 926, 933, 944, 930, 949, 949}},
        {"2.1.5.0", plain, false, {918, 921, 915, 926, 933, 944, 930, 949, 949}},
        {"abc", self, false, {918, 921, 915, 926, 933, 944, 930, 949, 949}},
        {"2.1.5.0", "", false, {918, 921, 915, 926, 949, 949}},  // no localversion
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.newversion + " " + row.local);
        WriteBytes(work_.File("KUPDATE.LOG"), "");
        auto engine = MakeEngine(ServeControlFile("[update]\nnewversion=" + row.newversion +
                                                  "\nlocalversion=" + row.local + "\n"));
        EXPECT_EQ(engine->NewVersionAvailable(false), row.answer);
        EXPECT_EQ(LoggedIds(), row.ids);
    }
    // The decision values are the two versions in dotted form.
    auto engine = MakeEngine(ServeControlFile("[update]\nnewversion=2,1,5\nlocalversion=" + self));
    EXPECT_TRUE(engine->NewVersionAvailable(false));
    EXPECT_EQ(engine->NewVersionInfo(), "2.1.5.0");
    EXPECT_EQ(engine->CurVersionInfo(), "2.1.4.0");
    EXPECT_NE(LogText().find("Version compare of " + self + ":2.1.4.0 with 2,1,5:2.1.5.0"),
              std::string::npos);
}

TEST_F(EngineTest, SizeAndChecksumDecisions) {
    const std::string local = work_.File("data.bin");
    WriteBytes(local, "0123456789");
    const std::int32_t sum = update::FileChecksum(local);
    struct Row {
        std::string keys;
        bool answer;
        Ids ids;
    } rows[] = {
        {"newsize=10", false, {918, 921, 915, 926, 932, 930, 949, 949}},
        {"newsize=0xB", true, {918, 921, 915, 926, 932, 929, 949, 949}},
        {"newchecksum=" + std::to_string(sum),
         false,
         {918, 921, 915, 926, 931, 944, 930, 949, 949}},
        {"newchecksum=5", true, {918, 921, 915, 926, 931, 944, 929, 949, 949}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.keys);
        WriteBytes(work_.File("KUPDATE.LOG"), "");
        auto engine =
            MakeEngine(ServeControlFile("[update]\n" + row.keys + "\nlocalversion=" + local));
        EXPECT_EQ(engine->NewVersionAvailable(false), row.answer);
        EXPECT_EQ(LoggedIds(), row.ids);
    }
}

// vcAlways: a missing local file, one without a version resource and an empty one all
// need the new file, where vcUpdateOnly keeps them.
TEST_F(EngineTest, AlwaysCheckTreatsMissingOrUnreadableLocalFilesAsOutdated) {
    const std::string plain = work_.File("plain.exe");
    WriteBytes(plain, "no version here");
    const std::string empty = work_.File("empty.bin");
    WriteBytes(empty, "");
    const std::string self = platform::SystemFileSystem().ExecutablePath();
    using update::TUpdateVersionCheck;
    struct Row {
        std::string keys, local;
        bool always, update_only;
    } rows[] = {
        {"newversion=2.1.5.0", work_.File("missing.exe"), true, false},
        {"newversion=2.1.5.0", plain, true, false},
        {"newsize=5", empty, true, false},
        {"newversion=2.1.4.0", self, false, false},
    };
    for (const Row& row : rows) {
        for (const auto mode : {TUpdateVersionCheck::vcAlways, TUpdateVersionCheck::vcUpdateOnly}) {
            SCOPED_TRACE(row.keys + " " + row.local +
                         (mode == TUpdateVersionCheck::vcAlways ? " always" : " update only"));
            auto engine = MakeEngine(
                ServeControlFile("[update]\n" + row.keys + "\nlocalversion=" + row.local + "\n"));
            engine->VersionCheck = mode;
            EXPECT_EQ(engine->NewVersionAvailable(false),
                      mode == TUpdateVersionCheck::vcAlways ? row.always : row.update_only);
        }
    }
}

// UseCRC32 chooses the engine's CRC over the byte sum for newchecksum.
TEST_F(EngineTest, UseCrc32ChoosesTheChecksum) {
    const std::string local = work_.File("data.bin");
    WriteBytes(local, "0123456789");
    const std::int32_t crc = update::FileCRC32(local);
    const std::int32_t sum = update::FileChecksum(local);
    ASSERT_NE(crc, sum);
    struct Row {
        bool use_crc;
        std::int32_t newchecksum, local_value;
        bool answer;
    } rows[] = {
        {true, crc, crc, false},
        {true, sum, crc, true},
        {false, sum, sum, false},
        {false, crc, sum, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.use_crc) + " " + std::to_string(row.newchecksum));
        WriteBytes(work_.File("KUPDATE.LOG"), "");
        auto engine =
            MakeEngine(ServeControlFile("[update]\nnewchecksum=" + std::to_string(row.newchecksum) +
                                        "\nlocalversion=" + local + "\n"));
        engine->UseCRC32 = row.use_crc;
        EXPECT_EQ(engine->NewVersionAvailable(false), row.answer);
        EXPECT_NE(
            LogText().find("Checksum compare of " + local + ":" + std::to_string(row.local_value) +
                           ":" + std::to_string(row.newchecksum)),
            std::string::npos);
    }
}

// OnCustomValidate gets the [custom] texts and Allow = code != 7, and decides: 12 or 7.
TEST_F(EngineTest, CustomValidateDecidesTwelveOrSeven) {
    struct Row {
        const char* update;
        bool allow_in;
        bool allow_out;
        int code;
    } rows[] = {
        {"date=01/01/2099", true, true, 12},
        {"date=01/01/2099", true, false, 7},
        {"descr=nothing", false, true, 12},
        {"descr=nothing", false, false, 7},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.update) + (row.allow_out ? " allow" : " refuse"));
        auto engine = MakeEngine(ServeControlFile(std::string("[update]\n") + row.update +
                                                  "\n[custom]\nvalidatemsg=check\n"
                                                  "validateparam=p1\n"));
        std::vector<std::string> seen;
        engine->OnCustomValidate = [&](update::TUpdateEngine&, const std::string& msg,
                                       const std::string& param, bool& allow) {
            seen = {msg, param, allow ? "true" : "false"};
            allow = row.allow_out;
        };
        ASSERT_EQ(engine->StartConnection(), 0);
        ASSERT_EQ(engine->GetControlFile(), 0);
        EXPECT_EQ(engine->DoVersionCheck(), row.code);
        engine->StopConnection();
        EXPECT_EQ(seen, (std::vector<std::string>{"check", "p1", row.allow_in ? "true" : "false"}));
    }
}

// A file section with localversion and date is kept only while the local file is older
// than the release; no file comparison runs for it.
TEST_F(EngineTest, FileSectionDatesAgainstTheLocalFile) {
    const std::string local = work_.File("lib.dll");
    WriteBytes(local, "installed");
    const auto modified = update::FileModifiedTime(local);
    ASSERT_TRUE(modified);
    const auto [day, time] = DateTexts(*modified);
    const std::string sections[] = {
        "url=http://h/newer\nlocalversion=" + local + "\ndate=01/01/2099\n",
        "url=http://h/older\nlocalversion=" + local + "\ndate=01/01/2001\nnewversion=9.9\n",
        "url=http://h/equal\nlocalversion=" + local + "\ndate=" + day + "\ntime=" + time + "\n",
        "url=http://h/missing\nlocalversion=" + work_.File("none.dll") + "\ndate=01/01/2001\n",
    };
    std::string control = "[update]\nunconditional=1\n[files]\ncount=4\n";
    for (int i = 0; i < 4; ++i)
        control += "[file" + std::to_string(i + 1) + "]\n" + sections[i];
    auto engine = MakeEngine(ServeControlFile(control));
    EXPECT_TRUE(engine->NewVersionAvailable(false));
    EXPECT_EQ(LoggedIds(), (Ids{918, 921, 915, 926, 943, 971, 971, 971, 971, 949, 949}));
    std::vector<std::string> kept;
    for (const auto& item : engine->FileList().Items())
        kept.push_back(item.URL);
    EXPECT_EQ(kept, (std::vector<std::string>{"http://h/newer", "http://h/missing"}));
}

// OnGetFileList sees the descriptions; a line it empties drops its item unless mandatory.
TEST_F(EngineTest, FileListHandlerCannotDropMandatoryItems) {
    auto engine =
        MakeEngine(ServeControlFile("[update]\nunconditional=1\n[files]\ncount=3\n"
                                    "[file1]\nurl=http://h/a\ndescr=A\nmandatory=1\n"
                                    "[file2]\nurl=http://h/b\ndescr=B\n"
                                    "[file3]\nurl=http://h/c\ndescr=C\n"));
    update::StringList seen;
    engine->OnGetFileList = [&](update::TUpdateEngine&, update::StringList& list) {
        seen = list;
        list[0].clear();
        list[1].clear();
    };
    EXPECT_TRUE(engine->NewVersionAvailable(false));
    EXPECT_EQ(seen, (update::StringList{"A", "B", "C"}));
    std::vector<std::string> kept;
    for (const auto& item : engine->FileList().Items())
        kept.push_back(item.URL);
    EXPECT_EQ(kept, (std::vector<std::string>{"http://h/a", "http://h/c"}));
}

TEST_F(EngineTest, UnconditionalBuildsAndFiltersTheFileList) {
    const std::string self = platform::SystemFileSystem().ExecutablePath();
    auto engine = MakeEngine(
        ServeControlFile("[update]\nunconditional=0\nnewversion=1.0\nlocalversion=" + self +
                         "\n[files]\ncount=2\n"
                         "[file1]\nurl=http://127.0.0.1:1/a.exe\nlocalversion=" +
                         self +
                         "\nnewversion=2.1.5.0\ndescr=Client\ntargetdir={TMP}\n"
                         "[file2]\nurl=http://127.0.0.1:1/b.exe\nlocalversion=" +
                         self + "\nnewversion=2.1.4.0\ndescr=Old\n"));
    EXPECT_TRUE(engine->NewVersionAvailable(false));
    EXPECT_EQ(LoggedIds(), (Ids{918, 921, 915, 926, 943, 971, 944, 971, 944, 930, 949, 949}));
    ASSERT_EQ(engine->FileList().Count(), 1u);
    const auto& item = engine->FileList()[0];
    EXPECT_EQ(item.URL, "http://127.0.0.1:1/a.exe");
    EXPECT_EQ(item.Description, "Client");
    EXPECT_TRUE(item.Preselect);
    EXPECT_FALSE(item.Mandatory);
    EXPECT_EQ(item.TargetDir.back(), platform::SystemFileSystem().Separator());
    // Nothing but the control file was fetched.
    EXPECT_EQ(server_.Requests().size(), 1u);
}

TEST_F(EngineTest, AuthenticationRetryCarriesBasicHeader) {
    HttpResponse response;
    response.body = "[update]\nunconditional=1\n";
    response.required_authorization = "Basic YW5uOnMzY3JldA==";  // ann:s3cret
    server_.Serve("/kelvraeduclient/update.inf", response);
    AnswerDialogs({"OK Edit1=\"ann\" Edit2=\"s3cret\""});
    auto engine = MakeEngine(server_.Url("/kelvraeduclient/update.inf"));
    engine->Authenticate = update::TUpdateAuthentication::waAuto;
    EXPECT_TRUE(engine->NewVersionAvailable(false));
    const auto requests = server_.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].headers.count("authorization"), 0u);
    EXPECT_EQ(requests[1].headers.at("authorization"), "Basic YW5uOnMzY3JldA==");
    const auto records = DialogRecords();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].kind, "prompt");
    EXPECT_EQ(records[0].fields.at("caption"),
              "Connect to 127.0.0.1:" + std::to_string(server_.port()));
    EXPECT_EQ(engine->UserID, "ann");
    EXPECT_EQ(engine->Password, "s3cret");
}

TEST_F(EngineTest, AuthenticationCancelledOrNotOffered) {
    HttpResponse response;
    response.body = "[update]\nunconditional=1\n";
    response.required_authorization = "Basic YW5uOnMzY3JldA==";
    server_.Serve("/kelvraeduclient/update.inf", response);
    auto engine = MakeEngine(server_.Url("/kelvraeduclient/update.inf"));
    engine->Authenticate = update::TUpdateAuthentication::waAuto;
    EXPECT_FALSE(engine->NewVersionAvailable(false));  // no answer: the prompt is cancelled
    EXPECT_EQ(LoggedIds(), (Ids{918, 921, 915, 956, 925, 949, 949}));
    EXPECT_NE(LogText().find("[956] Authentication cancelled (Status:0) (Error:0)"),
              std::string::npos);
    // waNever takes 401 as a status of 300 or more.
    WriteBytes(work_.File("KUPDATE.LOG"), "");
    engine->Authenticate = update::TUpdateAuthentication::waNever;
    EXPECT_FALSE(engine->NewVersionAvailable(false));
    EXPECT_EQ(LoggedIds(), (Ids{918, 921, 915, 916, 925, 949, 949}));
}

TEST_F(EngineTest, ProxyUserGoesIntoTheAddress) {
    auto engine = MakeEngine(ServeControlFile("[update]\nunconditional=1\n"));
    engine->ProxyUserID = "pu";
    engine->ProxyPassword = "pp";
    EXPECT_TRUE(engine->NewVersionAvailable(false));
    // The log names the address as given; the request carries the user information.
    EXPECT_NE(LogText().find("Download : " + server_.Url("/kelvraeduclient/update.inf")),
              std::string::npos);
    const auto requests = server_.Requests();
    ASSERT_EQ(requests.size(), 1u);
#ifndef _WIN32
    EXPECT_EQ(requests[0].headers.at("authorization"), "Basic cHU6cHA=");
#endif
}

TEST_F(EngineTest, RequestsAskForFreshContent) {
    auto engine = MakeEngine(ServeControlFile("[update]\n"));
    EXPECT_FALSE(engine->NewVersionAvailable(false));
    const auto requests = server_.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].headers.at("user-agent"), "KelvraUpdate");
    EXPECT_EQ(requests[0].headers.at("pragma"), "no-cache");
}

TEST_F(EngineTest, LogFailureLeavesTheSessionOpen) {
    auto engine = MakeEngine(ServeControlFile("[update]\nunconditional=1\n"));
    // A log file name inside a missing folder cannot be written.
    engine->SetLogFileName(work_.File("missing") + std::string(1, Separator()) + "KUPDATE.LOG");
    bool second_line = false;
    engine->OnStatus = [&](update::TUpdateEngine&, const std::string&, int, int) {
        second_line = true;
    };
    EXPECT_THROW(engine->NewVersionAvailable(false), kelvra::Error);
    EXPECT_FALSE(second_line);
    EXPECT_FALSE(engine->InProgress());  // failed on the first line, before the session opened

    // A failure after the download: no teardown, the copy stays.
    auto engine2 = MakeEngine(ServeControlFile("[update]\nunconditional=1\n"));
    engine2->OnStatus = [&](update::TUpdateEngine& e, const std::string& text, int, int) {
        if (text == "Update control file found")
            e.SetLogFileName(work_.File("missing") + std::string(1, Separator()) + "x.log");
    };
    EXPECT_THROW(engine2->NewVersionAvailable(false), kelvra::Error);
    EXPECT_TRUE(engine2->InProgress());
    EXPECT_TRUE(PathExists(temp_.File("update.inf")));
}

}  // namespace
}  // namespace kelvra::test
