// The actions after an update: the post of PostUpdateInfo to the loopback server (the port
// of the HTTP service is redirected there), its handlers, a server that cannot be reached,
// and the remembered address and date in the registry record.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "../../platform/registry_test_keys.h"
#include "engine_fixture.h"
#include "platform/registry.h"
#include "update/update_date.h"

namespace kelvra::test {
namespace {

using platform::RegistryHive;

class ActionsTest : public EngineTest {
  protected:
    ActionsTest()
        : registry_dir_("KELVRA_REGISTRY_DIR", Separator() == '/'
                                                   ? std::optional<std::string>(work_.path())
                                                   : std::nullopt),
          key_(UniqueTestKey()),
          guard_(RegistryHive::CurrentUser) {
        guard_.Track(key_ + "\\Update");
        net_.http_port = static_cast<std::uint16_t>(server_.port());
    }

    std::unique_ptr<update::TUpdateEngine> PostingEngine() {
        auto engine = MakeEngine(server_.Url("/unused.inf"), nullptr, &net_);
        engine->PostUpdateInfo().Enabled = true;
        engine->PostUpdateInfo().Server = "127.0.0.1";
        engine->PostUpdateInfo().Action = "/stats/installed.php";
        engine->PostUpdateInfo().Data = "client=kelvra&version=2.1%205";
        return engine;
    }
    std::vector<HttpRequestSeen> Posts() {
        std::vector<HttpRequestSeen> posts;
        for (const HttpRequestSeen& r : server_.Requests())
            if (r.method == "POST")
                posts.push_back(r);
        return posts;
    }
    std::optional<std::string> Stored(const char* name) {
        auto key = platform::SystemRegistry().Open(RegistryHive::CurrentUser, key_ + "\\Update",
                                                   platform::RegistryAccess::Read);
        if (!key)
            return std::nullopt;
        auto value = key->Query(name);
        return value ? std::optional<std::string>(value->TextValue()) : std::nullopt;
    }
    void UseRegistryRecord(update::TUpdateEngine& engine, bool save) {
        engine.LastURLEntry().Save = save;
        engine.LastURLEntry().Key = key_;
        engine.LastURLEntry().Section = "Update";
    }

    ScriptedInternet net_;
    ScopedEnv registry_dir_;
    std::string key_;
    RegistryKeyGuard guard_;
};

TEST_F(ActionsTest, PostReachesTheFormHandler) {
    server_.Serve("/stats/installed.php", Reply(200, "recorded\r\nthanks"));
    auto engine = PostingEngine();
    int decided = 0;
    engine->OnProcessPostResult = [&](update::TUpdateEngine& e, bool& allow) {
        EXPECT_TRUE(allow);
        EXPECT_EQ(e.PostUpdateInfo().Result(), "recorded\r\nthanks");
        ++decided;
    };
    EXPECT_EQ(engine->UpdateActions(), 0);
    EXPECT_EQ(decided, 1);
    const auto posts = Posts();
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0].path, "/stats/installed.php");
    EXPECT_EQ(posts[0].headers.at("content-type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(posts[0].headers.at("user-agent"), "KelvraUpdate");
    EXPECT_EQ(posts[0].body, "client=kelvra&version=2.1%205");
    EXPECT_EQ(LoggedIds().back(), 948);
}

// 301, 302 and 303 turn the post into a GET of the new address; 307 and 308 post again.
TEST_F(ActionsTest, RedirectedPostFollowsTheStatus) {
    server_.Serve("/stats/moved.php", Reply(200, "recorded"));
    for (const int status : {302, 307, 308}) {
        SCOPED_TRACE(status);
        HttpResponse moved = Reply(status, "");
        moved.extra_headers = "Location: /stats/moved.php\r\n";
        server_.Serve("/stats/installed.php", moved);
        const std::size_t before = server_.Requests().size();
        auto engine = PostingEngine();
        EXPECT_EQ(engine->UpdateActions(), 0);
        EXPECT_EQ(engine->PostUpdateInfo().Result(), "recorded");
        const auto requests = server_.Requests();
        ASSERT_EQ(requests.size(), before + 2);
        const HttpRequestSeen& followed = requests.back();
        EXPECT_EQ(followed.path, "/stats/moved.php");
        EXPECT_EQ(followed.method, status == 302 ? "GET" : "POST");
        EXPECT_EQ(followed.body, status == 302 ? "" : "client=kelvra&version=2.1%205");
    }
}

TEST_F(ActionsTest, HandlersDenyThePost) {
    server_.Serve("/stats/installed.php", Reply(200, "ok"));
    struct Case {
        bool deny_before;
        bool deny_result;
        std::size_t posts;
    } cases[] = {{true, false, 0}, {false, true, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.deny_before);
        const std::size_t before = Posts().size();
        WriteBytes(work_.File("KUPDATE.LOG"), "");
        auto engine = PostingEngine();
        bool result_asked = false;
        engine->OnBeforePost = [&](update::TUpdateEngine&, bool& allow) {
            EXPECT_TRUE(allow);
            allow = !c.deny_before;
        };
        engine->OnProcessPostResult = [&](update::TUpdateEngine&, bool& allow) {
            result_asked = true;
            allow = !c.deny_result;
        };
        EXPECT_EQ(engine->UpdateActions(), -1);
        EXPECT_EQ(Posts().size() - before, c.posts);
        EXPECT_EQ(result_asked, !c.deny_before);
        EXPECT_TRUE(LoggedIds().empty());  // stopped before 948
    }
}

TEST_F(ActionsTest, OnlyAFailedConnectIsReportedAndTheHandlerStillDecides) {
    // A server that refuses is found out by the send, which reports nothing.
    const struct {
        const char* name;
        bool open_fails;
        std::vector<int> logged;
    } cases[] = {{"server refuses", false, {948}}, {"no session", true, {951, 948}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(work_.File("KUPDATE.LOG"));
        net_.http_port = static_cast<std::uint16_t>(RefusedPort());
        net_.open_fails = c.open_fails;
        auto engine = PostingEngine();
        bool decided = false;
        engine->OnProcessPostResult = [&](update::TUpdateEngine&, bool&) { decided = true; };
        EXPECT_EQ(engine->UpdateActions(), 0);
        EXPECT_TRUE(decided);
        EXPECT_EQ(LoggedIds(), c.logged);
    }
    EXPECT_NE(LogText().find("[951] Cannot connect to server for post (Status:16) (Error:5)"),
              std::string::npos);
}

TEST_F(ActionsTest, PostToARedirectLoopOrAStalledServerEndsWithinTheTimeOuts) {
    struct Case {
        const char* name;
        HttpResponse response;
        std::size_t requests;
    };
    HttpResponse loop = Reply(302, "");
    loop.extra_headers = "Location: /stats/installed.php\r\n";
    HttpResponse stalled = Reply(200, "recorded");
    stalled.stall_after_headers = true;  // the server then holds the connection for 20 s
    const Case cases[] = {{"redirect loop", loop, update::kMaxRedirects + 1},
                          {"stalled after the headers", stalled, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server_.Serve("/stats/installed.php", c.response);
        const std::size_t before = server_.Requests().size();
        auto engine = PostingEngine();
        engine->ReceiveTimeOut = 1000;
        bool decided = false;
        engine->OnProcessPostResult = [&](update::TUpdateEngine&, bool&) { decided = true; };
        const auto started = std::chrono::steady_clock::now();
        EXPECT_EQ(engine->UpdateActions(), 0);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
        EXPECT_TRUE(decided);
        EXPECT_EQ(engine->PostUpdateInfo().Result(), "");
        EXPECT_EQ(server_.Requests().size() - before, c.requests);
    }
}

TEST_F(ActionsTest, NothingIsPostedWithoutServerOrAction) {
    for (const char* which : {"server", "action"}) {
        auto engine = PostingEngine();
        (std::string(which) == "server" ? engine->PostUpdateInfo().Server
                                        : engine->PostUpdateInfo().Action)
            .clear();
        engine->DoPostUpdateInfo();
    }
    EXPECT_TRUE(Posts().empty());
    EXPECT_TRUE(LoggedIds().empty());
}

TEST_F(ActionsTest, CancelledUpdateRunsNoAction) {
    auto engine = PostingEngine();
    engine->Cancel();
    EXPECT_EQ(engine->UpdateActions(), -1);
    EXPECT_TRUE(Posts().empty());
}

TEST_F(ActionsTest, RegistryRecordOfAddressAndDate) {
    const auto system = update::ProcessDateTimeSettings();
    {
        auto engine = MakeEngine("");
        UseRegistryRecord(*engine, false);  // Save off: nothing is written
        engine->URLPut("http://a.test/update.inf");
        engine->UpdateDatePut({2024, 3, 5, 14, 30, 0});
        EXPECT_EQ(Stored("LastURL"), std::nullopt);
        EXPECT_EQ(Stored("LastDate"), std::nullopt);
    }
    auto engine = MakeEngine("");
    UseRegistryRecord(*engine, true);
    engine->URLPut("http://a.test/update.inf");
    EXPECT_EQ(Stored("LastURL"), "http://a.test/update.inf");
    const update::LocalDateTime with_time{2024, 3, 5, 14, 30, 0};
    engine->UpdateDatePut(with_time);
    EXPECT_EQ(Stored("LastDate"), update::FormatShortDate(with_time, system));
    EXPECT_EQ(Stored("LastTime"), update::FormatTime(with_time, system));
    // A date without a time part leaves the stored time alone.
    engine->UpdateDatePut({2025, 1, 2, 0, 0, 0});
    EXPECT_EQ(Stored("LastDate"), update::FormatShortDate({2025, 1, 2, 0, 0, 0}, system));
    EXPECT_EQ(Stored("LastTime"), update::FormatTime(with_time, system));
}

TEST_F(ActionsTest, UpdateStoresRedirectionAndReleaseDate) {
    server_.Serve("/files/a.txt", Reply(200, "a"));
    const std::string url = ServeControlFile(
        "[update]\ndate=10/12/2030\ntime=08:15\n[action]\nupdateURL=http://next.test/u.inf\n"
        "[files]\ncount=1\n[file1]\nurl=" +
        server_.Url("/files/a.txt") + "\ntargetdir=" + work_.File("t") + "\n");
    auto engine = MakeEngine(url);
    UseRegistryRecord(*engine, false);  // the date is read from the record, Save is off
    engine->UpdateUpdate = update::TUpdatePrompting::upSilent;
    engine->DoUpdate(false);
    EXPECT_EQ(Stored("LastDate"), std::nullopt);  // writing needs Save
    EXPECT_NE(LogText().find("[941] Found URL redirection instruction"), std::string::npos);

    UseRegistryRecord(*engine, true);
    engine->DoUpdate(false);
    const auto system = update::ProcessDateTimeSettings();
    EXPECT_EQ(Stored("LastURL"), "http://next.test/u.inf");
    EXPECT_EQ(Stored("LastDate"), update::FormatShortDate({2030, 12, 10, 8, 15, 0}, system));
    EXPECT_EQ(Stored("LastTime"), update::FormatTime({2030, 12, 10, 8, 15, 0}, system));
}

}  // namespace
}  // namespace kelvra::test
