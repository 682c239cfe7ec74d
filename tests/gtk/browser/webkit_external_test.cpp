// window.external as a real page sees it: the property, member names in any letter case,
// argument counts and kinds answered in the page, and the CreateVantle hand-off reaching the
// native handler.
#include <gtest/gtest.h>

#include "bridge/external_handler.h"
#include "bridge/whiteboard_launch.h"
#include "bridge/whiteboard_ports.h"
#include "platform/code_page.h"
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

TEST_F(ExternalTest, CreateVantleHandsSixValuesToTheNativeSide) {
    EXPECT_EQ(
        Try("window.external.CreateVantle('1', '语文', 'c', 'd', undefined, 'http://x/?a&&b')"),
        "ok");
    ASSERT_TRUE(PumpUntil([&] { return messages.size() == 1; }));
    EXPECT_EQ(messages[0],
              R"({"member":"CreateVantle","args":[{"vt":8,"text":"1"},{"vt":8,"text":"语文"},)"
              R"({"vt":8,"text":"c"},{"vt":8,"text":"d"},{"vt":0},)"
              R"({"vt":8,"text":"http://x/?a&&b"}]})");

    EXPECT_EQ(Try("window.external.createvantle('a', 'b', 'c', 'd', 'e', 'f')"), "ok");
    ASSERT_TRUE(PumpUntil([&] { return messages.size() == 2; }));
    EXPECT_NE(messages[1].find(R"({"vt":8,"text":"f"})"), std::string::npos);
}

TEST_F(ExternalTest, ArgumentCountsAreCheckedInThePage) {
    const std::string bad_count = "threw Wrong number of arguments or invalid property assignment";
    EXPECT_EQ(Try("window.external.CreateVantle('a', 'b', 'c', 'd', 'e')"), bad_count);
    EXPECT_EQ(Try("window.external.CreateVantle('a', 'b', 'c', 'd', 'e', 'f', 'g')"), bad_count);
    EXPECT_EQ(Try("window.external.CreateVantle()"), bad_count);
    EXPECT_EQ(Try("window.external.ShowHint('only one')"), bad_count);
    PumpUntil([] { return false; }, std::chrono::milliseconds(200));
    EXPECT_TRUE(messages.empty()) << "nothing reaches the native side";
}

TEST_F(ExternalTest, ArgumentKindsFollowTheConversionRules) {
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
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Try("window.external.CreateVantle('a', 'b', " + c.value + ", 'd', 'e', 'f')"),
                  c.outcome)
            << c.value;
    }
    // The first value that cannot become text names the kind.
    EXPECT_EQ(Try("window.external.CreateVantle('a', null, 1.5, 'd', 'e', 'f')"),
              "threw Could not convert variant of type (Null) into type (OleStr)");
    PumpUntil([] { return false; }, std::chrono::milliseconds(200));
    EXPECT_TRUE(messages.empty());
}

TEST_F(ExternalTest, ShowHintAcceptsAnyValuesAndDoesNothing) {
    EXPECT_EQ(Try("window.external.ShowHint('title', 'content')"), "ok");
    EXPECT_EQ(Try("window.external.showhint(1, 2.5)"), "ok");
    EXPECT_EQ(Try("window.external.SHOWHINT(undefined, undefined)"), "ok");
    EXPECT_EQ(f.Eval(b, "String(window.external.ShowHint('a', 'b'))"), "undefined");
    PumpUntil([] { return false; }, std::chrono::milliseconds(200));
    EXPECT_TRUE(messages.empty());
}

TEST_F(ExternalTest, ANativeFailureReachesThePageAsAnError) {
    reply = R"({"ok":false,"message":"Failed to set data for 'msgbody'"})";
    f.Eval(b,
           "window.lastError = ''; window.addEventListener('unhandledrejection', "
           "function (e) { window.lastError = e.reason.message; }); 1");
    EXPECT_EQ(Try("window.external.CreateVantle('a', 'b', 'c', 'd', 'e', 'f')"), "ok");
    ASSERT_TRUE(PumpUntil([&] { return f.Eval(b, "window.lastError") != ""; }));
    EXPECT_EQ(f.Eval(b, "window.lastError"), "Failed to set data for 'msgbody'");
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
    // A page posting to the channel by itself is refused.
    EXPECT_EQ(f.Eval(b, "window.webkit.messageHandlers.kelvraExternal.postMessage('{}'); 1"), "1");
    PumpUntil([] { return false; }, std::chrono::milliseconds(200));
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

class NoWhiteboardRunning final : public bridge::WhiteboardWindows {
  public:
    std::uintptr_t Find(const std::string&) override { return 0; }
    void Notify(std::uintptr_t, const std::string&) override {}
};

class RecordingShell final : public bridge::Shell {
  public:
    void Open(const std::string& file, const std::string& parameters,
              const std::string& directory) override {
        opened.push_back(file + "|" + parameters + "|" + directory);
    }
    std::vector<std::string> opened;
};

// The whole path: page script, WebKit's message channel, the bridge's handler, the
// whiteboard start.
TEST(External, CreateVantleFromAPageStartsTheWhiteboardThroughTheBridge) {
    PageServer server;
    server.Page("/lesson", "<title>Lesson</title>");
    Utf8CodePage code_page;
    NoWhiteboardRunning windows;
    RecordingShell shell;
    const bridge::LaunchPorts saved = bridge::CurrentLaunchPorts();
    WebKitBackendOptions options;
    options.external_handler = [](std::string_view message) {
        return bridge::HandleExternalMessage(message);
    };
    WebKitFixture f(options);
    bridge::LaunchPorts ports;
    ports.whiteboard_path = [] { return std::string("/opt/ondrix/ondrix"); };
    ports.code_page = &code_page;
    ports.windows = &windows;
    ports.shell = &shell;
    ports.boxes = &f.boxes;
    ports.separator = '/';
    bridge::SetLaunchPorts(ports);
    THostedBrowser& b = f.AddBrowser();
    b.OnGetExternal = [](THostedBrowser&, std::shared_ptr<Dispatch>& out) {
        out = std::make_shared<Dispatch>();
    };
    f.Load(b, server.Url("/lesson"));

    EXPECT_EQ(f.Eval(b, "window.external.CreateVantle('7', '几何', 'c', 'd', undefined, 'u'); 1"),
              "1");
    const bool started = PumpUntil([&] { return !shell.opened.empty(); });
    bridge::SetLaunchPorts(saved);
    ASSERT_TRUE(started);
    EXPECT_EQ(shell.opened[0], "/opt/ondrix/ondrix|\"7&&几何&&c&&d&&&&u&&\"|/opt/ondrix/");
    EXPECT_TRUE(f.boxes.shown.empty());
}

}  // namespace
}  // namespace kelvra::browser::gtk::test
