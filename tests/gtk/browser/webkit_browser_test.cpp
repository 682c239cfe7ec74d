// The WebKitGTK browser control against real pages: load events for the top document and
// frames, the page title, history and command state, new-window requests and the anchors
// query of the popup size.
#include <gtest/gtest.h>

#include "browser/popup_size.h"
#include "platform/error.h"
#include "webkit_fixture.h"

namespace kelvra::browser::gtk::test {
namespace {

constexpr HResult kEFail = static_cast<HResult>(0x80004005u);

std::string Size(const std::string& w, const std::string& h) {
    return std::string("http://") + browser::kPopupSizeHost + "/?dd&cwidth=" + w + "&cheight=" + h;
}

struct Event {
    std::string kind;  // "nc" NavigateComplete2, "dc" DocumentComplete
    bool top;
    std::string url;
    std::string location_name;
};

void Record(THostedBrowser& b, std::vector<Event>& events) {
    b.OnNavigateComplete2 = [&events](THostedBrowser& s, DispatchHandle d, std::string& url) {
        events.push_back({"nc", d == s.Application(), url, ""});
    };
    b.OnDocumentComplete = [&events](THostedBrowser& s, DispatchHandle d, std::string& url) {
        events.push_back({"dc", d == s.Application(), url, s.LocationName()});
    };
}

std::size_t IndexOf(const std::vector<Event>& events, const std::string& kind, bool top,
                    const std::string& url) {
    for (std::size_t i = 0; i < events.size(); ++i)
        if (events[i].kind == kind && events[i].top == top && events[i].url == url)
            return i;
    return events.size();
}

TEST(WebKitBrowser, TopAndFrameEventsComeInLoadOrderAndLocationNameIsTheTitle) {
    PageServer server;
    server.Page("/top",
                "<html><head><title>Top page</title></head><body>"
                "<iframe src='/frame'></iframe></body></html>");
    server.Page("/frame", "<html><head><title>Inner</title></head><body>f</body></html>");
    WebKitFixture f;
    THostedBrowser& b = f.AddBrowser();
    std::vector<Event> events;
    Record(b, events);

    f.Load(b, server.Url("/top"));
    ASSERT_TRUE(PumpUntil(
        [&] { return IndexOf(events, "dc", false, server.Url("/frame")) < events.size(); }));

    const std::size_t nc_top = IndexOf(events, "nc", true, server.Url("/top"));
    const std::size_t nc_frame = IndexOf(events, "nc", false, server.Url("/frame"));
    const std::size_t dc_frame = IndexOf(events, "dc", false, server.Url("/frame"));
    const std::size_t dc_top = IndexOf(events, "dc", true, server.Url("/top"));
    ASSERT_LT(dc_top, events.size());
    EXPECT_LT(nc_top, nc_frame);
    EXPECT_LT(nc_frame, dc_frame);
    EXPECT_LT(dc_frame, dc_top) << "the top document completes after its frames";
    EXPECT_EQ(events.size(), 4u);
    EXPECT_EQ(events[dc_top].location_name, "Top page");
    EXPECT_EQ(events[dc_frame].location_name, "Top page") << "the top document's title";
    EXPECT_FALSE(b.Busy());
    EXPECT_TRUE(f.boxes.shown.empty());
}

TEST(WebKitBrowser, LocationNameFollowsTheTitleAndFallsBackToTheAddress) {
    PageServer server;
    server.Page("/titled", "<html><head><title>第一页 title</title></head></html>");
    server.Page("/untitled", "<html><body>no title</body></html>");
    WebKitFixture f;
    THostedBrowser& b = f.AddBrowser();
    EXPECT_EQ(b.LocationName(), "");
    EXPECT_EQ(b.Doc3(), nullptr) << "no document before the first navigation";

    f.Load(b, server.Url("/titled"));
    EXPECT_EQ(b.LocationName(), "第一页 title");
    f.Eval(b, "document.title = 'Changed'");
    EXPECT_TRUE(PumpUntil([&] { return b.LocationName() == "Changed"; }));
    f.Load(b, server.Url("/untitled"));
    EXPECT_EQ(b.LocationName(), server.Url("/untitled"));
}

TEST(WebKitBrowser, RedirectsReportTheAddressReachedAndBusyLastsWhileLoading) {
    PageServer server;
    server.Page("/site/login", "<title>Login</title>");
    server.Redirect("/home/techer/default", "/site/login?expired=1");
    server.Held("/slow", "<title>Slow</title>");
    WebKitFixture f;
    THostedBrowser& b = f.AddBrowser();
    std::vector<Event> events;
    Record(b, events);

    f.Load(b, server.Url("/home/techer/default"));
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].kind, "nc");
    EXPECT_EQ(events[0].url, server.Url("/site/login?expired=1"));
    EXPECT_EQ(events[1].url, server.Url("/site/login?expired=1"));

    events.clear();
    b.Navigate(server.Url("/slow"));
    EXPECT_TRUE(b.Busy());
    ASSERT_TRUE(PumpUntil([&] { return server.HeldRequested(); }));
    EXPECT_TRUE(b.Busy()) << "the answer is still held";
    EXPECT_TRUE(events.empty());
    server.Release();
    ASSERT_TRUE(PumpUntil([&] { return !b.Busy() && events.size() == 2; }));
    EXPECT_EQ(b.LocationName(), "Slow");
}

TEST(WebKitBrowser, StopEndsALoadWithoutCompletingIt) {
    PageServer server;
    server.Page("/first", "<title>First</title>");
    server.Page("/next", "<title>Next</title>");
    server.Held("/never", "<title>Never</title>");
    WebKitFixture f;
    THostedBrowser& b = f.AddBrowser();
    f.Load(b, server.Url("/first"));
    std::vector<Event> events;
    Record(b, events);

    b.Navigate(server.Url("/never"));
    ASSERT_TRUE(b.Busy());
    b.Stop();
    ASSERT_TRUE(PumpUntil([&] { return !b.Busy(); }));
    EXPECT_EQ(b.LocationName(), "First");
    // The next load completes after anything the stopped one could still report.
    f.Load(b, server.Url("/next"));
    ASSERT_FALSE(events.empty());
    for (const Event& e : events)
        EXPECT_EQ(e.url, server.Url("/next")) << "a stopped load completes nothing";
}

TEST(WebKitBrowser, ScriptErrorsShowNothingAndLaterScriptsRun) {
    PageServer server;
    server.Page("/broken",
                "<title>Broken</title><script>window.before = 1; noSuchFunction();"
                "</script><script>window.after = 2;</script>");
    WebKitFixture f;
    THostedBrowser& b = f.AddBrowser();
    f.Load(b, server.Url("/broken"));
    EXPECT_EQ(f.Eval(b, "window.before + window.after"), "3");
    EXPECT_TRUE(f.boxes.shown.empty());
}

TEST(WebKitBrowser, CommandStateFollowsTheHistory) {
    PageServer server;
    server.Page("/a", "<title>A</title>");
    server.Page("/b", "<title>B</title>");
    WebKitFixture f;
    THostedBrowser& b = f.AddBrowser();
    std::map<std::int32_t, bool> state;
    b.OnCommandStateChange = [&](THostedBrowser&, std::int32_t command, bool enable) {
        state[command] = enable;
    };

    // No history yet: both fail as the control reports it.
    for (auto op :
         {&THostedBrowser::GoBack, &THostedBrowser::GoForward, &THostedBrowser::Refresh}) {
        try {
            (b.*op)();
            ADD_FAILURE() << "expected BrowserError";
        } catch (const BrowserError& e) {
            EXPECT_EQ(e.code(), kEFail);
        }
    }

    f.Load(b, server.Url("/a"));
    EXPECT_EQ(state[1], false);
    EXPECT_EQ(state[2], false);
    f.Load(b, server.Url("/b"));
    EXPECT_EQ(state[1], false);
    EXPECT_EQ(state[2], true);

    b.GoBack();
    ASSERT_TRUE(PumpUntil([&] { return b.LocationName() == "A" && !b.Busy(); }));
    EXPECT_TRUE(PumpUntil([&] { return state[1] && !state[2]; }));
    b.GoForward();
    ASSERT_TRUE(PumpUntil([&] { return b.LocationName() == "B" && !b.Busy(); }));
    EXPECT_TRUE(PumpUntil([&] { return !state[1] && state[2]; }));
    EXPECT_EQ(state.count(-1), 0u);
}

struct NewWindowCall {
    std::string context;
    std::string url;
    std::string size;
};

TEST(WebKitBrowser, NewWindowGoesToTheTargetTheHandlerAssigns) {
    PageServer server;
    server.Page("/opener",
                "<title>Opener</title><a id='l' href='/popup' target='_blank' fwidth='800' "
                "fheight='600'>open</a>");
    server.Page("/popup", "<title>Popup page</title>");
    std::vector<std::string> external;
    WebKitBackendOptions options;
    options.open_externally = [&](const std::string& url) { external.push_back(url); };
    WebKitFixture f(options);
    THostedBrowser& main = f.AddBrowser("TFrmMain");
    THostedBrowser& popup = f.AddBrowser("TFrmBrowser");
    std::vector<NewWindowCall> calls;
    main.OnNewWindow3 = [&](THostedBrowser& s, DispatchHandle& target, bool& cancel, std::uint32_t,
                            const std::string& context, const std::string& url) {
        EXPECT_EQ(target, nullptr);
        EXPECT_FALSE(cancel);
        // The requesting page is still shown and can be searched for the link.
        calls.push_back({context, url, QueryPopupSize(s, url)});
        popup.Navigate(url);
        target = popup.Application();
    };
    f.Load(main, server.Url("/opener"));

    f.Eval(main, "document.getElementById('l').click()");
    ASSERT_TRUE(PumpUntil([&] { return popup.LocationName() == "Popup page"; }));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].context, server.Url("/opener"));
    EXPECT_EQ(calls[0].url, server.Url("/popup"));
    EXPECT_EQ(calls[0].size, Size("800", "600"));
    EXPECT_EQ(main.LocationName(), "Opener") << "the requesting page stays";
    EXPECT_TRUE(external.empty());
    EXPECT_TRUE(f.boxes.shown.empty());
}

// A browser that loads the new window itself (a popup) finds the link in the requesting
// page even when its own navigation has completed before it searches.
TEST(WebKitBrowser, NewWindowLoadedHereFindsTheLinkAfterTheNewPageLoaded) {
    PageServer server;
    server.Page("/opener",
                "<title>Opener</title><a id='l' href='/next' target='_blank' fwidth='800' "
                "fheight='600'>open</a>");
    server.Page("/next", "<title>Next page</title><a href='/other' fwidth='1'>x</a>");
    WebKitFixture f;
    THostedBrowser& popup = f.AddBrowser("TFrmBrowser");
    std::vector<std::string> sizes;
    popup.OnNewWindow3 = [&](THostedBrowser& s, DispatchHandle& target, bool&, std::uint32_t,
                             const std::string&, const std::string& url) {
        target = s.Application();
        s.Navigate(url);
        // The slowest case: the new page has fully loaded before the search starts.
        EXPECT_TRUE(PumpUntil([&] { return s.LocationName() == "Next page" && !s.Busy(); }));
        sizes.push_back(QueryPopupSize(s, url));
    };
    f.Load(popup, server.Url("/opener"));
    f.Eval(popup, "document.getElementById('l').click()");
    ASSERT_TRUE(PumpUntil([&] { return sizes.size() == 1; }));
    EXPECT_EQ(sizes[0], Size("800", "600"));
    EXPECT_EQ(popup.LocationName(), "Next page");
    // Outside a request, the document is the page shown now.
    EXPECT_EQ(QueryPopupSize(popup, server.Url("/opener")), "");
    EXPECT_TRUE(f.boxes.shown.empty());
}

TEST(WebKitBrowser, NewWindowWithoutTargetOpensInTheDefaultBrowserUnlessCancelled) {
    PageServer server;
    server.Page("/opener", "<title>Opener</title>");
    std::vector<std::string> external;
    WebKitBackendOptions options;
    options.open_externally = [&](const std::string& url) { external.push_back(url); };
    WebKitFixture f(options);
    THostedBrowser& login = f.AddBrowser("TFrmLogin");
    bool cancel_next = false;
    int requests = 0;
    login.OnNewWindow3 = [&](THostedBrowser&, DispatchHandle&, bool& cancel, std::uint32_t,
                             const std::string&, const std::string&) {
        ++requests;
        cancel = cancel_next;
    };
    f.Load(login, server.Url("/opener"));

    f.Eval(login, "window.open('/elsewhere?a=1'); 1");
    ASSERT_TRUE(PumpUntil([&] { return external.size() == 1; }));
    EXPECT_EQ(external[0], server.Url("/elsewhere?a=1"));

    cancel_next = true;
    f.Eval(login, "window.open('/refused'); 1");
    ASSERT_TRUE(PumpUntil([&] { return requests == 2; }));
    cancel_next = false;
    f.Eval(login, "window.open('/after'); 1");
    ASSERT_TRUE(PumpUntil([&] { return external.size() >= 2; }));
    EXPECT_EQ(external[1], server.Url("/after")) << "a cancelled request opens nothing";
    EXPECT_EQ(login.LocationName(), "Opener");
}

TEST(WebKitBrowser, AnchorsGiveAbsoluteHrefAndTheSizeAttributes) {
    PageServer server;
    server.Page("/links",
                "<title>Links</title>"
                "<a href='/p1' fwidth='800' fheight='600'>one</a>"
                "<a href='rel/p2' fwidth='640'>two</a>"
                "<a name='anchor-without-href' FWIDTH='1' FHEIGHT='2'>three</a>"
                "<a href='/p3' fwidth='12ab' fheight='30'>four</a>"
                "<iframe srcdoc=\"<a href='/inner' fwidth='1' fheight='1'>x</a>\"></iframe>");
    WebKitFixture f;
    THostedBrowser& b = f.AddBrowser();
    f.Load(b, server.Url("/links"));

    const auto doc = b.Doc3();
    ASSERT_NE(doc, nullptr);
    const auto anchors = doc->GetElementsByTagName("a");
    ASSERT_EQ(anchors->Length(), 4u) << "the top document's anchors only";
    EXPECT_EQ(anchors->Href(0), server.Url("/p1"));
    EXPECT_EQ(anchors->Href(1), server.Url("/rel/p2"));
    EXPECT_EQ(anchors->Href(2), "") << "an anchor without the attribute still has the property";
    EXPECT_EQ(anchors->Property(0, "fwidth"), "800");
    EXPECT_EQ(anchors->Property(0, "fheight"), "600");
    EXPECT_EQ(anchors->Property(2, "fwidth"), "1") << "attribute names are case-insensitive";
    EXPECT_THROW(anchors->Property(1, "fheight"), Error) << "a missing attribute fails";

    const struct {
        std::string address;
        std::string size;
    } cases[] = {
        {server.Url("/p1"), Size("800", "600")},
        {server.Url("/rel/p2"), ""},
        {server.Url("/p3"), Size("12ab", "30")},
        {"/p1", ""},
        {server.Url("/inner"), ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(QueryPopupSize(b, c.address), c.size) << c.address;

    // Elements other than anchors have no "href" property.
    const auto divs = doc->GetElementsByTagName("iframe");
    ASSERT_EQ(divs->Length(), 1u);
    EXPECT_THROW(divs->Href(0), Error);
}

}  // namespace
}  // namespace kelvra::browser::gtk::test

namespace kelvra::browser::gtk::test {
namespace {

TEST(WebKitBrowser, NoScrollBarsOptionHidesTheTopDocumentsScrollBars) {
    PageServer server;
    server.Page("/tall",
                "<title>Tall</title><body style='margin:0'>"
                "<div style='height:5000px;width:5000px'>tall</div></body>");
    // Classic scroll bars, which take room from the page, for new web processes.
    g_setenv("GTK_OVERLAY_SCROLLING", "0", TRUE);
    WebKitFixture f;
    THostedBrowser& plain = f.AddBrowser();
    THostedBrowser& bare = f.AddBrowser();
    bare.SetUserInterfaceOptions(
        {TUserInterfaceOption::DontUse3DBorders, TUserInterfaceOption::DontUseScrollBars,
         TUserInterfaceOption::EnablesFormsAutoComplete, TUserInterfaceOption::EnableThemes});
    f.Load(plain, server.Url("/tall"));
    f.Load(bare, server.Url("/tall"));
    const std::string bar = "window.innerWidth - document.documentElement.clientWidth";
    EXPECT_NE(f.Eval(plain, bar), "0");
    EXPECT_EQ(f.Eval(bare, bar), "0");
    // The page still scrolls; only the bars are gone.
    EXPECT_EQ(f.Eval(bare, "window.scrollTo(0, 300); window.scrollY"), "300");
}

}  // namespace
}  // namespace kelvra::browser::gtk::test
