// window.external as a real page sees it: the property, member names in any letter case and
// argument counts answered in the page; CreateVantle waits in the page for the native
// hand-off, whose failures the page catches as exceptions.
#include <gtest/gtest.h>

#include "bridge/external_handler.h"
#include "bridge/whiteboard_launch.h"
#include "bridge/whiteboard_ports.h"
#include "platform/code_page.h"
#include "platform/error.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "webkit_fixture.h"

namespace kelvra::browser::gtk::test {
namespace {

class ExternalTest : public ::testing::Test {
  protected:
    ExternalTest() : f(Options()) {
        server.Page("/page", "<title>Page</title><iframe srcdoc='<p>inner</p>'></iframe>");
        b.OnGetExternal = [this](THostedBrowser&, std::shared_ptr<Dispatch>& out) {
            ++requests;
            out = std::make_shared<Dispatch>();
        };
        f.Load(b, server.Url("/page"));
    }

    WebKitBackendOptions Options() {
        WebKitBackendOptions options;
        options.external_handler = [this](std::string_view message) {
            messages.emplace_back(message);
            return reply;
        };
        return options;
    }

    // Runs a statement in the page: "ok" or "threw <name>: <message>".
    std::string Try(const std::string& statement) {
        return f.Eval(b, "(function () { try { " + statement +
                             "; return 'ok'; } catch (e) { return 'threw ' + e.message; } })()");
    }

    // The messages sent before a hand-off made now: the channel keeps their order, so
    // whatever the page sent earlier has arrived once the hand-off is answered.
    std::vector<std::string> MessagesBeforeAHandOff() {
        EXPECT_EQ(Try("window.external.CreateVantle('a', 'b', 'c', 'd', 'e', 'f')"), "ok");
        if (messages.empty())
            return {"(the hand-off itself never arrived)"};
        return {messages.begin(), messages.end() - 1};
    }

    PageServer server;
    std::vector<std::string> messages;
    std::string reply = R"({"ok":true})";
    int requests = 0;
    WebKitFixture f;
    THostedBrowser& b = f.AddBrowser();
};

TEST_F(ExternalTest, GetKelvraAppInAnyLetterCase) {
    EXPECT_EQ(f.Eval(b, "window.external.GetKelvraApp"), "kelvraeduapp");
    EXPECT_EQ(f.Eval(b, "window.external.getkelvraapp"), "kelvraeduapp");
    EXPECT_EQ(f.Eval(b, "window.external.GETKELVRAAPP"), "kelvraeduapp");
    EXPECT_EQ(f.Eval(b, "'GetKelvraApp' in window.external && 'showhint' in window.external"),
              "true");
    EXPECT_EQ(f.Eval(b, "document.querySelector('iframe').contentWindow.external.GetKelvraApp"),
              "kelvraeduapp")
        << "frames have the object too";
    EXPECT_GE(requests, 1) << "the window was asked for the object";
}

TEST_F(ExternalTest, ThePropertyIsReadOnlyAndUnknownNamesFail) {
    const std::string no_member = "threw Object doesn't support this property or method";
    EXPECT_EQ(Try("window.external.GetKelvraApp = 'x'"), no_member);
    EXPECT_EQ(f.Eval(b, "window.external.GetKelvraApp"), "kelvraeduapp");
    EXPECT_EQ(Try("window.external.NoSuchMember()"), no_member);
    EXPECT_EQ(Try("window.external.AddFavorite('a', 'b')"), no_member);
    EXPECT_EQ(Try("delete window.external.ShowHint"), no_member);
    EXPECT_TRUE(messages.empty());
}

TEST_F(ExternalTest, CreateVantleReturnsAfterTheNativeSideAnsweredFromEveryFrame) {
    // No main-loop turn between the call and the check: the handler ran inside the call.
    EXPECT_EQ(Try("window.external.CreateVantle('1', '语文', 'c', 'd', undefined, "
                  "'http://x/?a&&b'); window.count = 1"),
              "ok");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0],
              R"({"member":"CreateVantle","args":[{"vt":8,"text":"1"},{"vt":8,"text":"语文"},)"
              R"({"vt":8,"text":"c"},{"vt":8,"text":"d"},{"vt":0},)"
              R"({"vt":8,"text":"http://x/?a&&b"}]})");

    // A failure is this call's exception, seen by the page's own catch, in frames too.
    reply = R"({"ok":false,"message":"Failed to set data for 'msgbody'"})";
    EXPECT_EQ(Try("window.external.createvantle('a', 'b', 'c', 'd', 'e', 'f')"),
              "threw Failed to set data for 'msgbody'");
    EXPECT_EQ(Try("document.querySelector('iframe').contentWindow.external."
                  "CreateVantle('a', 'b', 'c', 'd', 'e', 'f')"),
              "threw Failed to set data for 'msgbody'");
    EXPECT_EQ(messages.size(), 3u);
    // The native call itself is out of the page's reach.
    EXPECT_EQ(f.Eval(b, "typeof window.__kelvraExternalInvoke"), "undefined");
}

TEST_F(ExternalTest, ArgumentCountsAreCheckedInThePage) {
    const std::string bad_count = "threw Wrong number of arguments or invalid property assignment";
    EXPECT_EQ(Try("window.external.CreateVantle('a', 'b', 'c', 'd', 'e')"), bad_count);
    EXPECT_EQ(Try("window.external.CreateVantle('a', 'b', 'c', 'd', 'e', 'f', 'g')"), bad_count);
    EXPECT_EQ(Try("window.external.CreateVantle()"), bad_count);
    EXPECT_EQ(Try("window.external.ShowHint('only one')"), bad_count);
    EXPECT_TRUE(MessagesBeforeAHandOff().empty()) << "nothing reaches the native side";
}

TEST_F(ExternalTest, ShowHintAcceptsAnyValuesAndDoesNothing) {
    EXPECT_EQ(Try("window.external.ShowHint('title', 'content')"), "ok");
    EXPECT_EQ(Try("window.external.showhint(1, 2.5)"), "ok");
    EXPECT_EQ(Try("window.external.SHOWHINT(undefined, undefined)"), "ok");
    EXPECT_EQ(f.Eval(b, "String(window.external.ShowHint('a', 'b'))"), "undefined");
    EXPECT_TRUE(MessagesBeforeAHandOff().empty());
}

TEST(External, APageGetsNoObjectWhenTheWindowGivesNone) {
    PageServer server;
    server.Page("/page", "<title>Page</title>");
    int handled = 0;
    WebKitBackendOptions options;
    options.external_handler = [&](std::string_view) {
        ++handled;
        return std::string(R"({"ok":true})");
    };
    WebKitFixture f(options);
    THostedBrowser& b = f.AddBrowser();
    f.Load(b, server.Url("/page"));
    EXPECT_EQ(f.Eval(b,
                     "typeof window.external === 'undefined' || "
                     "!('GetKelvraApp' in window.external)"),
              "true");
    // A page calling the native call by itself is refused by the client.
    EXPECT_EQ(f.Eval(b, "window.__kelvraExternalInvoke('{\"member\":\"CreateVantle\"}')"),
              R"({"ok":false,"message":"The page has no external object"})");
    EXPECT_EQ(handled, 0);

    // Once the window gives one, the next document has it.
    b.OnGetExternal = [](THostedBrowser&, std::shared_ptr<Dispatch>& out) {
        out = std::make_shared<Dispatch>();
    };
    f.Load(b, server.Url("/page"));
    EXPECT_EQ(f.Eval(b, "window.external.GetKelvraApp"), "kelvraeduapp");
}

// UTF-8 stands in for the ANSI code page, so the course text arrives unchanged.
class Utf8CodePage final : public platform::CodePage {
  public:
    unsigned Id() const override { return 65001; }
    std::string FromUtf16(std::u16string_view text) const override {
        return text::Utf16ToUtf8(text);
    }
    std::u16string ToUtf16(std::string_view bytes) const override {
        return text::Utf8ToUtf16(bytes);
    }
};

class FakeWhiteboardWindows final : public bridge::WhiteboardWindows {
  public:
    std::uintptr_t Find(const std::string&) override { return running ? 7 : 0; }
    void Notify(std::uintptr_t, const std::string& text) override { notified.push_back(text); }
    bool running = false;
    std::vector<std::string> notified;
};

class RecordingShell final : public bridge::Shell {
  public:
    void Open(const std::string& file, const std::string& parameters,
              const std::string& directory) override {
        opened.push_back(file + "|" + parameters + "|" + directory);
    }
    std::vector<std::string> opened;
};

// A hand-off key whose value cannot be written.
class UnwritableRegistry final : public platform::Registry {
    class Key final : public platform::RegistryKey {
      public:
        std::optional<platform::RegistryValue> Query(std::string_view) const override {
            return std::nullopt;
        }
        void Set(std::string_view, const platform::RegistryValue&) override {
            throw OsError("Cannot create file", 13);
        }
        void DeleteValue(std::string_view) override {}
    };

  public:
    std::unique_ptr<platform::RegistryKey> Open(platform::RegistryHive, std::string_view,
                                                platform::RegistryAccess) const override {
        return std::make_unique<Key>();
    }
    std::unique_ptr<platform::RegistryKey> Create(platform::RegistryHive,
                                                  std::string_view) override {
        return std::make_unique<Key>();
    }
    bool DeleteKey(platform::RegistryHive, std::string_view) override { return false; }
};

// The whole path: page script, the web process extension, the bridge's handler and its
// ports.
class BridgeExternalTest : public ::testing::Test {
  protected:
    BridgeExternalTest() : f(Options()) {
        server.Page("/lesson", "<title>Lesson</title>");
        ports.whiteboard_path = [this] { return whiteboard; };
        ports.registry = &registry;
        ports.code_page = &code_page;
        ports.windows = &windows;
        ports.shell = &shell;
        ports.boxes = &f.boxes;
        ports.separator = '/';
        bridge::SetLaunchPorts(ports);
        b.OnGetExternal = [](THostedBrowser&, std::shared_ptr<Dispatch>& out) {
            out = std::make_shared<Dispatch>();
        };
        f.Load(b, server.Url("/lesson"));
    }
    ~BridgeExternalTest() override { bridge::SetLaunchPorts(saved); }

    static WebKitBackendOptions Options() {
        WebKitBackendOptions options;
        options.external_handler = [](std::string_view message) {
            return bridge::HandleExternalMessage(message);
        };
        return options;
    }
    std::string Try(const std::string& statement) {
        return f.Eval(b, "(function () { try { " + statement +
                             "; return 'ok'; } catch (e) { return 'threw ' + e.message; } })()");
    }

    const bridge::LaunchPorts saved = bridge::CurrentLaunchPorts();
    PageServer server;
    std::string whiteboard = "/opt/ondrix/ondrix";
    UnwritableRegistry registry;
    Utf8CodePage code_page;
    FakeWhiteboardWindows windows;
    RecordingShell shell;
    bridge::LaunchPorts ports;
    WebKitFixture f;
    THostedBrowser& b = f.AddBrowser();
};

TEST_F(BridgeExternalTest, CreateVantleStartsTheWhiteboardBeforeItReturns) {
    EXPECT_EQ(Try("window.external.CreateVantle('7', '几何', 'c', 'd', undefined, 'u')"), "ok");
    ASSERT_EQ(shell.opened.size(), 1u);
    EXPECT_EQ(shell.opened[0], "/opt/ondrix/ondrix|\"7&&几何&&c&&d&&&&u&&\"|/opt/ondrix/");
    EXPECT_TRUE(f.boxes.shown.empty());
}

TEST_F(BridgeExternalTest, ArgumentKindsFollowTheConversionRules) {
    const struct {
        std::string value;
        std::string outcome;
    } cases[] = {
        {"1.5", "threw Could not convert variant of type (Double) into type (OleStr)"},
        {"42", "threw Could not convert variant of type (Integer) into type (OleStr)"},
        {"4294967296", "threw Could not convert variant of type (Double) into type (OleStr)"},
        {"null", "threw Could not convert variant of type (Null) into type (OleStr)"},
        {"true", "threw Could not convert variant of type (Boolean) into type (OleStr)"},
        {"{}", "threw Invalid variant operation"},
        {"[1]", "threw Invalid variant operation"},
        {"function () {}", "threw Invalid variant operation"},
        // The first value that cannot become text names the kind.
        {"null, 1.5", "threw Could not convert variant of type (Null) into type (OleStr)"},
    };
    for (const auto& c : cases) {
        const std::string rest = c.value.find(',') == std::string::npos ? ", 'd'" : "";
        EXPECT_EQ(Try("window.external.CreateVantle('a', 'b', " + c.value + rest + ", 'e', 'f')"),
                  c.outcome)
            << c.value;
    }
    EXPECT_TRUE(shell.opened.empty());
}

TEST_F(BridgeExternalTest, WithoutAWhiteboardEveryCallShowsTheBoxAndSucceeds) {
    whiteboard.clear();
    EXPECT_EQ(Try("window.external.CreateVantle(1, 2, 3, 4, 5, 6); window.after = 1"), "ok");
    EXPECT_EQ(Try("window.external.CreateVantle('a', 'b', 'c', 'd', 'e', 'f')"), "ok");
    ASSERT_EQ(f.boxes.shown.size(), 2u);
    EXPECT_EQ(f.boxes.shown[0].text, bridge::kNoWhiteboardMessage);
    EXPECT_TRUE(shell.opened.empty());
}

TEST_F(BridgeExternalTest, AFailedHandOffIsCaughtByThePageAndNothingIsSent) {
    windows.running = true;
    EXPECT_EQ(Try("window.external.CreateVantle('a', 'b', 'c', 'd', 'e', 'f')"),
              "threw Failed to set data for 'msgbody'");
    EXPECT_TRUE(windows.notified.empty());
    // A text too long to cross is refused without reaching the bridge; the page runs on.
    EXPECT_EQ(Try("window.external.CreateVantle('x'.repeat(2000000), 'b', 'c', 'd', 'e', 'f')"),
              "threw The call is too long");
    EXPECT_EQ(f.Eval(b, "window.external.GetKelvraApp"), "kelvraeduapp");
}

}  // namespace
}  // namespace kelvra::browser::gtk::test
