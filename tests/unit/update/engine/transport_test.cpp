// The transport: address helpers, bad input from the server, time-outs, redirections and
// the credentials they carry, cancel, message pumping through the GUI port, file copies and an FTP
// fetch from a loopback FTP server.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <limits>
#include <random>
#include <string_view>
#include <thread>

#include "client/update_checker.h"
#include "engine_fixture.h"
#include "headless_ui.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "szdd_writer.h"
#include "ui/application.h"
#include "ui/controls.h"
#include "ui/form.h"
#ifndef _WIN32
#include <gio/gio.h>

#include "update/posix/curl_library.h"
#endif

namespace kelvra::test {
namespace {

using Ids = std::vector<int>;
using update::TUpdateEngine;

TEST(UpdateAddresses, FileDomainAndProxyParts) {
    TUpdateEngine engine;
    struct Row {
        std::string url, file, domain;
    } rows[] = {
        {"http://upd.example/kelvraeduclient/update.inf", "update.inf", "upd.example"},
        {"http://h:8080/a/b.cgi?x=1/2?name.inf", "name.inf", "h:8080"},
        {"C:\\share\\dir\\file.cab", "file.cab", "C:"},
        {"ftp://u@host\\x/y", "y", "u@host"},
        {"plain", "plain", "plain"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(engine.URLtoFile(row.url), row.file) << row.url;
        EXPECT_EQ(TUpdateEngine::URLToDomain(row.url), row.domain) << row.url;
    }
    engine.OnFileNameFromURL = [](TUpdateEngine&, const std::string&, std::string& name) {
        name = "renamed." + name;
    };
    EXPECT_EQ(engine.URLtoFile("http://h/x.inf"), "renamed.x.inf");

    EXPECT_EQ(TUpdateEngine::MakeProxyUrl("http://h/p", "u", "pw"), "http://u:pw@h/p");
    EXPECT_EQ(TUpdateEngine::MakeProxyUrl("HTTP://h/p", "u", ""), "http://u:@h/p");
    EXPECT_EQ(TUpdateEngine::MakeProxyUrl("https://h/p", "u", "pw"), "https://h/p");
    EXPECT_EQ(TUpdateEngine::MakeProxyUrl("http://h/p", "", "pw"), "http://h/p");
}

TEST(UpdateEngineComponent, DefaultsAndProcedureOperations) {
    TUpdateEngine engine;
    EXPECT_EQ(engine.UpdateType, update::TUpdateType::httpUpdate);
    EXPECT_EQ(engine.Port, 21);
    EXPECT_EQ(engine.Agent, "KelvraUpdate");
    EXPECT_EQ(engine.LogFileName(), "KUPDATE.LOG");
    EXPECT_FALSE(engine.Logging());
    EXPECT_TRUE(engine.UseWinTempDir);
    engine.SetVersion("9.9.9.9");
    EXPECT_EQ(engine.Version(), "2.1.4.0");
    EXPECT_EQ(engine.WinTempDir().back(), Separator());
    EXPECT_FALSE(engine.ForceUpdate);
    EXPECT_EQ(engine.UpdateUpdate, update::TUpdatePrompting::upPromptOnce);
    EXPECT_FALSE(engine.ShowDownloadProgress || engine.ExtractCAB || engine.ApplyPatch ||
                 engine.KeepIntermediateFiles);
    EXPECT_FALSE(engine.PostUpdateInfo().Enabled);
    // Without a control file the procedure's steps find nothing to do.
    EXPECT_EQ(engine.GetFileUpdates(), 0);
    EXPECT_EQ(engine.HandleActions(), 0);
    EXPECT_EQ(engine.GetWhatsNewStream(), nullptr);
    EXPECT_EQ(engine.GetEULA(), nullptr);
    // A utility that goes away is forgotten by the engines referring to it.
    EXPECT_EQ(engine.Utility(), nullptr);
    {
        update::TUpdateUtility utility;
        engine.SetUtility(&utility);
        EXPECT_EQ(engine.Utility(), &utility);
    }
    EXPECT_EQ(engine.Utility(), nullptr);
}

TEST_F(EngineTest, RandomBytesAsControlFile) {
    std::mt19937 rng(7);
    std::string bytes(64 * 1024, '\0');
    for (char& c : bytes)
        c = static_cast<char>(rng());
    auto engine = MakeEngine(ServeControlFile(bytes));
    EXPECT_FALSE(engine->NewVersionAvailable(false));
    EXPECT_TRUE(TempFiles().empty());
}

TEST_F(EngineTest, HugeControlFiles) {
    std::string sections;
    // Both just under the 1 MB a control file may have.
    for (int i = 0; i < 60000; ++i)
        sections += "[s" + std::to_string(i) + "]\nk=v\n";
    sections += "[update]\ndate=01/01/2099\n";
    std::string long_line =
        "[update]\ndate=01/01/2099\ndescr=" + std::string(1000 * 1000, 'x') + "\n";
    // A value is cut to 2047 characters, exactly.
    const std::pair<const std::string*, std::string> cases[] = {
        {&sections, ""}, {&long_line, std::string(2047, 'x')}};
    for (const auto& [contents, descr] : cases) {
        auto engine = MakeEngine(ServeControlFile(*contents));
        EXPECT_TRUE(engine->NewVersionAvailable(false));
        EXPECT_EQ(engine->UpdateDescription(), descr);
        EXPECT_TRUE(TempFiles().empty());
    }
}

TEST_F(EngineTest, RedirectsKeepCredentialsWithinTheirOrigin) {
    LoopbackHttpServer other;
    const std::string target = "/kelvraeduclient/moved.inf";
    const struct {
        const char* name;
        LoopbackHttpServer* server;
        std::string location;
        bool sent;
    } cases[] = {
        {"same origin", &server_, server_.Url(target), true},
        {"other port", &other, other.Url(target), false},
        {"other host name", &server_, "http://localhost:" + std::to_string(server_.port()) + target,
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HttpResponse moved = Reply(302, "");
        moved.extra_headers = "Location: " + c.location + "\r\n";
        server_.Serve("/kelvraeduclient/update.inf", moved);
        c.server->Serve(target, Reply(200, "[update]\nunconditional=1\n"));
        const std::size_t before = c.server->Requests().size();
        auto engine = MakeEngine(server_.Url("/kelvraeduclient/update.inf"));
        engine->UserID = "ann";
        engine->Password = "s3cret";
        EXPECT_TRUE(engine->NewVersionAvailable(false));
        const auto requests = c.server->Requests();
        ASSERT_GT(requests.size(), before);
        EXPECT_EQ(requests.back().path, target);
        EXPECT_EQ(requests.back().headers.count("authorization"), c.sent ? 1u : 0u);
    }
}

TEST_F(EngineTest, OnlyHttpAddressesAreRequested) {
    auto session = update::SystemInternet().Open("KelvraUpdate", "");
    ASSERT_TRUE(session);
    for (const std::string& url :
         {"ftp://127.0.0.1:" + std::to_string(server_.port()) + "/u.inf",
          std::string("file:///etc/hosts"), std::string("gopher://127.0.0.1/u.inf")}) {
        SCOPED_TRACE(url);
        EXPECT_FALSE(session->OpenUrl(url, "", {}));
        EXPECT_EQ(update::SystemInternet().LastError(), update::kInetErrorUnrecognizedScheme);
    }
}

TEST_F(EngineTest, ARequestGivenUpAtItsDeadlineGoesNoFurther) {
    // A redirection whose headers trickle in for about two seconds, well past the deadline.
    HttpResponse moved = Reply(302, "");
    moved.extra_headers = "Location: /kelvraeduclient/after.inf\r\n";
    moved.trickle = std::chrono::milliseconds(25);
    server_.Serve("/kelvraeduclient/update.inf", moved);
    server_.Serve("/kelvraeduclient/after.inf", Reply(200, "[update]\nunconditional=1\n"));
    auto engine = MakeEngine(server_.Url("/kelvraeduclient/update.inf"));
    engine->TimeOut = 200;
    engine->ReceiveTimeOut = 300;
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(engine->NewVersionAvailable(false));
    // Past the time the whole redirection would have taken to arrive.
    std::this_thread::sleep_until(started + std::chrono::seconds(4));
    for (const HttpRequestSeen& request : server_.Requests())
        EXPECT_NE(request.path, "/kelvraeduclient/after.inf");
}

#ifndef _WIN32
TEST(CurlLoader, RefusesALibraryOlderThanTheTransfersNeed) {
    EXPECT_FALSE(update::CurlVersionSuffices(0x075400));  // 7.84.0
    EXPECT_TRUE(update::CurlVersionSuffices(0x075500));   // 7.85.0
    std::string error;
    EXPECT_NE(update::LoadCurl(&error), nullptr) << error;
}
#endif

#ifndef _WIN32
// Run by update_desktop_proxy_test, with GIO's GNOME proxy resolver over in-memory settings:
// a proxy set for the desktop, which libcurl alone never sees, carries the check. The
// address refuses connections, so only the proxy can answer.
TEST_F(EngineTest, DesktopProxyCarriesTheCheck) {
    if (std::string_view(g_getenv("GSETTINGS_BACKEND") ? g_getenv("GSETTINGS_BACKEND") : "") !=
        "memory")
        GTEST_SKIP() << "runs as update_desktop_proxy_test";
    LoopbackHttpServer proxy;
    const std::string url =
        "http://127.0.0.1:" + std::to_string(RefusedPort()) + "/kelvraeduclient/update.inf";
    proxy.Serve(url, Reply(200, "[update]\nunconditional=1\n"));
    GSettings* settings = g_settings_new("org.gnome.system.proxy");
    GSettings* http = g_settings_get_child(settings, "http");
    const char* const no_hosts[] = {nullptr};
    g_settings_set_strv(settings, "ignore-hosts", no_hosts);
    g_settings_set_string(http, "host", "127.0.0.1");
    g_settings_set_int(http, "port", proxy.port());
    g_settings_set_string(settings, "mode", "manual");
    auto engine = MakeEngine(url);
    EXPECT_TRUE(engine->NewVersionAvailable(false));
    const auto requests = proxy.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].path, url);
    g_object_unref(http);
    g_object_unref(settings);
}
#endif

TEST_F(EngineTest, LargestTimeOutsDoNotOverflowIntoNone) {
    auto engine = MakeEngine(ServeControlFile("[update]\nunconditional=1\n"));
    engine->TimeOut = engine->ReceiveTimeOut = std::numeric_limits<int>::max();
    EXPECT_TRUE(engine->NewVersionAvailable(false));
}

TEST_F(EngineTest, StalledServerEndsWithTheReceiveTimeout) {
    HttpResponse response;
    response.body = "[update]\nunconditional=1\n";
    response.stall_after_headers = true;
    server_.Serve("/kelvraeduclient/update.inf", response);
    auto engine = MakeEngine(server_.Url("/kelvraeduclient/update.inf"));
    engine->ReceiveTimeOut = 500;
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(engine->NewVersionAvailable(false));
    // The server holds the connection for 20 s; the receive time-out ends the read first.
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
    EXPECT_EQ(LoggedIds(), (Ids{918, 921, 915, 925, 949, 949}));
    EXPECT_TRUE(TempFiles().empty());
}

TEST_F(EngineTest, ResponseLargerThanAnnounced) {
    HttpResponse response;
    response.body = "[update]\ndate=01/01/2099\n" + std::string(4 * 1024 * 1024, ';');
    response.announced_length = 26;
    server_.Serve("/kelvraeduclient/update.inf", response);
    auto engine = MakeEngine(server_.Url("/kelvraeduclient/update.inf"));
    std::int64_t last = 0;
    engine->OnFileProgress = [&](TUpdateEngine&, const std::string&, std::int64_t pos,
                                 std::int64_t size) {
        last = pos;
        EXPECT_EQ(size, 26);
    };
    EXPECT_TRUE(engine->NewVersionAvailable(false));
    EXPECT_EQ(last, 26);
    EXPECT_TRUE(TempFiles().empty());
}

TEST_F(EngineTest, CancelDuringDownloadKeepsTheOldFile) {
    HttpResponse response;
    response.body = std::string(100000, 'n');
    server_.Serve("/big.bin", response);
    const std::string target = work_.path() + std::string(1, Separator());
    WriteBytes(target + "big.bin", "old");
    auto engine = MakeEngine(server_.Url("/kelvraeduclient/update.inf"));
    int polls = 0;
    engine->OnProgressCancel = [&](TUpdateEngine&, bool& cancel) { cancel = ++polls == 2; };
    ASSERT_EQ(engine->StartConnection(), 0);
    EXPECT_FALSE(engine->URLGetFile(engine->HintConnect(), server_.Url("/big.bin"), target, false));
    EXPECT_TRUE(engine->Cancelled());
    EXPECT_EQ(ReadBytes(target + "big.bin"), "old");
    engine->StopConnection();
    EXPECT_EQ(LoggedIds(), (Ids{918, 921, 915, 964, 949, 949}));
    EXPECT_TRUE(TempFiles().empty());
}

TEST_F(EngineTest, ReadOnlyDestinationIsReplaced) {
    HttpResponse response;
    response.body = "fresh";
    server_.Serve("/f.txt", response);
    const std::string target = work_.path() + std::string(1, Separator());
    WriteBytes(target + "f.txt", "old");
    std::filesystem::permissions(target + "f.txt", std::filesystem::perms::owner_read);
    auto engine = MakeEngine(server_.Url("/x"));
    ASSERT_EQ(engine->StartConnection(), 0);
    EXPECT_TRUE(engine->URLGetFile(engine->HintConnect(), server_.Url("/f.txt"), target, false));
    EXPECT_EQ(ReadBytes(target + "f.txt"), "fresh");
    engine->StopConnection();
}

TEST_F(EngineTest, DownloadPumpsTheGuiMessages) {
    headless::HeadlessUi ui;
    headless::HeadlessBoxes boxes(ui);
    ui::Application app(ui, boxes);
    auto engine = MakeEngine(ServeControlFile("[update]\ndate=01/01/2099\n"), &app);
    bool ran_during_fetch = false;
    ui.Post([&] { ran_during_fetch = engine->InProgress(); });
    EXPECT_TRUE(engine->NewVersionAvailable(false));
    EXPECT_TRUE(ran_during_fetch);
    EXPECT_EQ(ui.Pending(), 0u);
}

TEST_F(EngineTest, SignInFormOnTheGui) {
    headless::HeadlessUi ui;
    headless::HeadlessBoxes boxes(ui);
    ui::Application app(ui, boxes);
    HttpResponse response;
    response.body = "[update]\nunconditional=1\n";
    response.required_authorization = "Basic Ym9iOnB3";  // bob:pw
    server_.Serve("/kelvraeduclient/update.inf", response);
    auto engine = MakeEngine(server_.Url("/kelvraeduclient/update.inf"), &app);
    engine->Authenticate = update::TUpdateAuthentication::waAuto;
    // The user fills the form shown modally and presses OK.
    ui.Post([&] {
        for (ui::Form* form : app.Forms()) {
            if (form->ClassName() != "TLoginPromptForm")
                continue;
            EXPECT_EQ(form->Caption(), "Connect to 127.0.0.1:" + std::to_string(server_.port()));
            EXPECT_EQ(form->ClientWidth(), 320);
            EXPECT_EQ(form->ClientHeight(), 189);
            static_cast<ui::Edit*>(form->FindControl("Edit1"))->SetText("bob");
            static_cast<ui::Edit*>(form->FindControl("Edit2"))->SetText("pw");
            form->PressDefaultButton();
        }
    });
    EXPECT_TRUE(engine->NewVersionAvailable(false));
    EXPECT_EQ(server_.Requests().back().headers.at("authorization"), "Basic Ym9iOnB3");
}

TEST_F(EngineTest, LoginWindowCheckerUsesTheWindowProperties) {
    windows::UpdateEngineProperties p;
    p.Agent = "KelvraUpdate";
    // Date and time forms unlike the engine's defaults: they read only when they reach it.
    p.URL = ServeControlFile("[update]\ndate=2099-07-31\ntime=23.45\n");
    p.Version = "2.1.4.0";
    p.TimeOut = 3000;
    p.Logging = true;
    p.LogFileName = work_.File("KUPDATE.LOG");
    p.TempDirectory = ".";
    p.Signature = "KelvraUpdate";
    p.DateFormat = "yyyy-mm-dd";
    p.DateSeparator = '-';
    p.TimeFormat = "hh.nn";
    p.TimeSeparator = '.';
    int owner = 0;
    client::EngineUpdateChecker checker(p, &owner, nullptr);
    EXPECT_EQ(checker.engine().TimeOut, 3000);
    EXPECT_EQ(checker.engine().OwnerWindow, &owner);
    EXPECT_EQ(checker.engine().Authenticate, update::TUpdateAuthentication::waNever);
    windows::UpdateChecker& port = checker;
    EXPECT_TRUE(port.NewVersionAvailable(false));
    EXPECT_EQ(checker.engine().NewVersionDate(), (update::LocalDateTime{2099, 7, 31, 23, 45, 0}));
    EXPECT_EQ(LoggedIds(), (Ids{918, 921, 915, 926, 928, 929, 949, 949}));
}

TEST_F(EngineTest, WhatsNewTextReachesItsHandler) {
    HttpResponse notes;
    notes.body = "Line one\r\nLine two\r\n";
    server_.Serve("/notes.txt", notes);
    auto engine = MakeEngine(ServeControlFile(
        "[update]\ndate=01/01/2099\n[whatsnew]\nfile=" + server_.Url("/notes.txt") + "\n"));
    std::vector<std::string> seen;
    engine->OnDownloadedWhatsNew = [&](TUpdateEngine&, const update::StringList& text, int& res) {
        EXPECT_EQ(res, 1);
        seen = text;
    };
    EXPECT_TRUE(engine->NewVersionAvailable(false));
    EXPECT_EQ(seen, (std::vector<std::string>{"Line one", "Line two"}));
    EXPECT_EQ(LoggedIds(), (Ids{918, 921, 915, 926, 928, 929, 937, 915, 949, 949}));
    EXPECT_TRUE(TempFiles().empty());  // the notes copy is deleted as well
}

TEST_F(EngineTest, InitPathMovesToTheExecutableDirectory) {
    const auto before = std::filesystem::current_path();
    ScriptedInternet net;
    net.offline = true;
    auto engine = MakeEngine("http://localhost:1/update.inf", nullptr, &net);
    EXPECT_FALSE(engine->NewVersionAvailable(true));
    const auto exe = std::filesystem::path(platform::SystemFileSystem().ExecutablePath());
    EXPECT_TRUE(std::filesystem::equivalent(std::filesystem::current_path(), exe.parent_path()));
    std::filesystem::current_path(before);
}

TEST_F(EngineTest, FileUpdateCopiesLocalFiles) {
    const std::string source = work_.File("update.inf");
    WriteBytes(source, "[update]\ndate=01/01/2099\n");
    auto engine = MakeEngine(source);
    engine->UpdateType = update::TUpdateType::fileUpdate;
    EXPECT_TRUE(engine->NewVersionAvailable(false));
    EXPECT_EQ(LoggedIds(), (Ids{915, 926, 928, 929}));
    EXPECT_TRUE(TempFiles().empty());
    // A missing source and a copy onto itself fail with their reports.
    WriteBytes(work_.File("KUPDATE.LOG"), "");
    EXPECT_FALSE(engine->URLGetFile(nullptr, work_.File("missing.inf"),
                                    temp_.path() + std::string(1, Separator()), false));
    EXPECT_FALSE(engine->URLGetFile(nullptr, source, source, false));
    EXPECT_EQ(LoggedIds(), (Ids{915, 913, 915, 912}));
}

TEST_F(EngineTest, LocalCopyOntoADestinationThatCannotBeClearedFails) {
    // A folder with content in the destination's place cannot be deleted.
    const std::string source = work_.File("update.inf");
    WriteBytes(source, "[update]\nunconditional=1\n");
    const std::string destination = work_.File("blocked.inf");
    std::filesystem::create_directories(std::filesystem::u8path(destination + "/inner"));
    auto engine = MakeEngine(source);
    engine->UpdateType = update::TUpdateType::fileUpdate;
    EXPECT_FALSE(engine->URLGetFile(nullptr, source, destination, false));
    EXPECT_EQ(LoggedIds(), (Ids{915, 972}));
    const std::string log = LogText();
    EXPECT_NE(log.find("Unable to delete file " + destination + "\r\n"), std::string::npos);
    EXPECT_EQ(log.find("Unable to rename"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::u8path(destination + "/inner")));
    EXPECT_TRUE(TempFiles().empty());
}

// A download with uncompress is a cabinet only when the destination's extension is .CAB.
TEST_F(EngineTest, UncompressChoosesByTheDestinationsExtension) {
    const std::string packed = tools::SzddCompress("expanded bytes", 'e');
    const std::string cabinet =
        ReadBytes(TestBinDir() + Separator() + "cab_fixtures" + Separator() + "mszip.cab");
    struct Row {
        const char* folder;
        const char* name;
        const std::string* body;
        const char* expected;  // the file that must hold the result
        const char* gone;      // the downloaded file, removed after expanding or extracting
    } rows[] = {
        {"plain", "tool.cab.ex_", &packed, "tool.cab.exe", "tool.cab.ex_"},
        {"in.cab", "tool.ex_", &packed, "tool.exe", "tool.ex_"},
        {"plain", "update.Cab", &cabinet, "a.txt", "update.Cab"},
    };
    auto engine = MakeEngine(server_.Url("/x"));
    ASSERT_EQ(engine->StartConnection(), 0);
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.folder) + " " + row.name);
        const std::string target = work_.File(row.folder) + Separator();
        std::filesystem::create_directories(std::filesystem::u8path(target));
        server_.Serve(std::string("/files/") + row.name, Reply(200, *row.body));
        EXPECT_TRUE(engine->URLGetFile(
            engine->HintConnect(), server_.Url(std::string("/files/") + row.name), target, true));
        EXPECT_FALSE(PathExists(target + row.gone));
        ASSERT_TRUE(PathExists(target + row.expected));
        if (row.body == &packed) {
            EXPECT_EQ(ReadBytes(target + row.expected), "expanded bytes");
        }
    }
    engine->StopConnection();
}

// Only "127.0.0.1" in the address skips asking the platform whether it is online.
TEST_F(EngineTest, LoopbackAddressSkipsTheOnlineTest) {
    ServeControlFile("[update]\nunconditional=1\n");
    const std::string path = "/kelvraeduclient/update.inf";
    struct Row {
        std::string url;
        bool answer;
        Ids ids;
    } rows[] = {
        {server_.Url(path), true, {918, 921, 915, 926, 949, 949}},
        {"http://localhost:" + std::to_string(server_.port()) + path, false, {918}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.url);
        WriteBytes(work_.File("KUPDATE.LOG"), "");
        ScriptedInternet net;
        net.offline = true;
        auto engine = MakeEngine(row.url, nullptr, &net);
        EXPECT_EQ(engine->NewVersionAvailable(false), row.answer);
        EXPECT_EQ(LoggedIds(), row.ids);
    }
}

// Error(): the platform's text for a code, the server's response for 12003, nothing for 0
// or for 12003 without a response; the box only without an OnStatus handler and not silent.
TEST_F(EngineTest, ErrorReportsThePlatformErrorOrTheServersResponse) {
    struct Row {
        std::uint32_t code;
        std::string response;
        bool silent;
        std::string line;  // "" for no report
        bool box;
    } rows[] = {
        {12003, "550 No such file", false,
         "[976] System error : 550 No such file (Status:1) "
         "(Error:12003)",
         true},
        {12003, "", false, "", false},
        {0, "ignored", false, "", false},
        {12029, "ignored", true, "(Status:1) (Error:12029)", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.code);
        WriteBytes(work_.File("KUPDATE.LOG"), "");
        WriteBytes(work_.File("dialogs.txt"), "");
        ScriptedInternet net;
        net.last_error = row.code;
        net.response_text = row.response;
        auto engine = MakeEngine(server_.Url("/x"), nullptr, &net);
        if (row.silent)
            engine->UpdateUpdate = update::TUpdatePrompting::upSilent;
        engine->Error();
        if (row.line.empty()) {
            EXPECT_EQ(LogText(), "");
        } else {
            EXPECT_NE(LogText().find(row.line), std::string::npos) << LogText();
            EXPECT_EQ(LoggedIds(), (Ids{976}));
        }
        const auto records = DialogRecords();
        ASSERT_EQ(records.size(), row.box ? 1u : 0u);
        if (row.box) {
            EXPECT_EQ(records[0].fields.at("text"), row.response);
        }
    }
}

TEST_F(EngineTest, FtpFetchFromLoopbackServer) {
    LoopbackFtpServer ftp;
    ftp.Serve("kelvraeduclient/update.inf", "[update]\ndate=01/01/2099\n");
    auto engine = MakeEngine("ftp://127.0.0.1/update.inf");
    engine->UpdateType = update::TUpdateType::ftpUpdate;
    engine->Host = "127.0.0.1";
    engine->Port = static_cast<std::uint16_t>(ftp.port());
    engine->FTPPassive = true;
    engine->FTPDirectory = "kelvraeduclient";
    EXPECT_TRUE(engine->NewVersionAvailable(false));
    EXPECT_EQ(LoggedIds(), (Ids{918, 921, 923, 915, 974, 926, 928, 929, 954, 949, 949}));
    bool retrieved = false;
    for (const std::string& command : ftp.Commands())
        retrieved = retrieved || command.rfind("RETR", 0) == 0;
    EXPECT_TRUE(retrieved);
    EXPECT_TRUE(TempFiles().empty());

    // A host where nothing listens: the connect fails and is reported, nothing is fetched.
    WriteBytes(work_.File("KUPDATE.LOG"), "");
    engine->Port = static_cast<std::uint16_t>(RefusedPort());
    EXPECT_FALSE(engine->NewVersionAvailable(false));
    const Ids ids = LoggedIds();
    ASSERT_GE(ids.size(), 4u);
    EXPECT_EQ((Ids{ids[0], ids[1], ids[2], ids[3]}), (Ids{918, 921, 923, 976}));
    EXPECT_EQ(std::count(ids.begin(), ids.end(), 915), 0);
}

// A refusal from the server (12003) is reported with the server's own answer, taken on the
// thread that made the request: here the engine runs on a thread of its own.
TEST_F(EngineTest, ServersRefusalTextReachesTheReportFromTheRequestingThread) {
    LoopbackFtpServer ftp;  // holds no files: RETR is answered "550 not found"
    auto engine = MakeEngine("ftp://127.0.0.1/update.inf");
    engine->UpdateType = update::TUpdateType::ftpUpdate;
    engine->Host = "127.0.0.1";
    engine->Port = static_cast<std::uint16_t>(ftp.port());
    engine->FTPPassive = true;
    bool answer = true;
    std::thread([&] { answer = engine->NewVersionAvailable(false); }).join();
    EXPECT_FALSE(answer);
    EXPECT_NE(LogText().find("[976] System error : 550 not found (Status:1) (Error:12003)"),
              std::string::npos)
        << LogText();
}

}  // namespace
}  // namespace kelvra::test
