#include <gtest/gtest.h>

#include "browser/doc_host.h"
#include "client_fixture.h"
#include "platform/text.h"

namespace kelvra::test {
namespace {

using headless::Anchor;

Anchor Link(const std::string& href, const std::string& w, const std::string& h) {
    return Anchor{href, {{"fwidth", w}, {"fheight", h}}};
}

int CentredLeft(int width) {
    return (headless::kScreen.width - width) / 2;
}
int CentredTop(int height) {
    return (headless::kScreen.height - height) / 2;
}

TEST(NewWindow, SizedFromTheLinkCentredOnTheMainWindow) {
    ClientFixture f;
    f.StartSignedIn();
    auto& main = f.Browser("TFrmMain");
    main.SetAnchors({Link("http://r.test/other", "300", "200"),
                     Link("http://r.test/lesson?id=7", "800", "600")});
    const auto answer = main.RequestNewWindow("http://r.test/lesson?id=7", "http://r.test/home");
    auto* popup = f.state.FrmBrowser;
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->Width(), 800);
    EXPECT_EQ(popup->Height(), 600);
    EXPECT_TRUE(popup->Visible());
    EXPECT_EQ(popup->Bounds().left, CentredLeft(800));
    EXPECT_EQ(popup->Bounds().top, CentredTop(600));
    EXPECT_EQ(answer.target, popup->Browser1.Application());
    EXPECT_FALSE(answer.cancel);
    EXPECT_EQ(f.Browser("TFrmBrowser").navigations(),
              std::vector<std::string>{"http://r.test/lesson?id=7"});
    EXPECT_EQ(popup->Browser1.UserInterfaceValue(), 0x4408Cu);
    EXPECT_TRUE(f.boxes.shown.empty());
}

TEST(NewWindow, NoMatchingAnchorGivesTheDesignSize) {
    ClientFixture f;
    f.StartSignedIn();
    auto& main = f.Browser("TFrmMain");
    main.SetAnchors({Link("http://r.test/LESSON", "800", "600"), Anchor{"http://r.test/x", {}}});
    main.RequestNewWindow("http://r.test/lesson");
    auto* popup = f.state.FrmBrowser;
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->ClientWidth(), 962);
    EXPECT_EQ(popup->ClientHeight(), 710);
    EXPECT_EQ(popup->Bounds().left, CentredLeft(popup->Width()));
    EXPECT_EQ(popup->Bounds().top, CentredTop(popup->Height()));
    EXPECT_TRUE(popup->Visible());
}

TEST(NewWindow, BadSizeOrNoDocumentShowsAnErrorAndLeavesTheRequestToThePlatform) {
    struct Case {
        const char* name;
        std::optional<std::vector<Anchor>> anchors;  // nullopt: no HTML document
        std::string expected_text;
    } cases[] = {
        {"letters after the digits", std::vector<Anchor>{Link("http://r.test/l", "800px", "600")},
         "'800px' is not a valid integer value."},
        {"height not a number", std::vector<Anchor>{Link("http://r.test/l", "800", "")},
         "'' is not a valid integer value."},
        {"no document", std::nullopt, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ClientFixture f;
        f.StartSignedIn();
        auto& main = f.Browser("TFrmMain");
        if (c.anchors)
            main.SetAnchors(*c.anchors);
        else
            main.SetNoDocument();
        const auto answer = main.RequestNewWindow("http://r.test/l");
        ASSERT_EQ(f.boxes.shown.size(), 1u);
        if (!c.expected_text.empty()) {
            EXPECT_EQ(f.boxes.shown[0].text, c.expected_text);
        }
        EXPECT_EQ(f.boxes.shown[0].caption, "Kelvra教学云客户端");
        auto* popup = f.state.FrmBrowser;
        ASSERT_NE(popup, nullptr) << "the popup was created before the error";
        EXPECT_FALSE(popup->Visible());
        EXPECT_TRUE(f.Browser("TFrmBrowser").navigations().empty());
        EXPECT_EQ(answer.target, nullptr);
        EXPECT_FALSE(answer.cancel);
    }
}

TEST(NewWindow, TwoRequestsGiveTwoPopups) {
    ClientFixture f;
    f.StartSignedIn();
    auto& main = f.Browser("TFrmMain");
    main.RequestNewWindow("http://r.test/a");
    auto* first = f.state.FrmBrowser;
    main.RequestNewWindow("http://r.test/b");
    auto* second = f.state.FrmBrowser;
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_TRUE(first->Visible());
    EXPECT_TRUE(second->Visible());
    EXPECT_EQ(f.ui.LogLines("create TFrmBrowser").size(), 2u);
}

TEST(Popup, NewWindowInsideLoadsHereAndAddsTenAndThirty) {
    ClientFixture f;
    f.StartSignedIn();
    f.Browser("TFrmMain").RequestNewWindow("http://r.test/a");
    auto* popup = f.state.FrmBrowser;
    auto& pb = f.Browser("TFrmBrowser");
    pb.CompletePending("A");
    const ui::Rect before = popup->Bounds();
    pb.SetAnchors({Link("http://r.test/b", "800", "600")});
    const auto answer = pb.RequestNewWindow("http://r.test/b");
    EXPECT_EQ(answer.target, popup->Browser1.Application());
    EXPECT_FALSE(answer.cancel);
    EXPECT_EQ(pb.pending(), "http://r.test/b");
    EXPECT_EQ(popup->Width(), 810);
    EXPECT_EQ(popup->Height(), 630);
    EXPECT_EQ(popup->Bounds().left, before.left) << "the window stays where it is";
    EXPECT_EQ(popup->Bounds().top, before.top);
    EXPECT_EQ(f.ui.LogLines("create TFrmBrowser").size(), 1u);
}

TEST(Popup, BadSizeInsideStillLoadsButSkipsTheResize) {
    ClientFixture f;
    f.StartSignedIn();
    f.Browser("TFrmMain").RequestNewWindow("http://r.test/a");
    auto* popup = f.state.FrmBrowser;
    auto& pb = f.Browser("TFrmBrowser");
    const int width = popup->Width();
    pb.SetAnchors({Link("http://r.test/b", "8O0", "600")});
    const auto answer = pb.RequestNewWindow("http://r.test/b");
    ASSERT_EQ(f.boxes.shown.size(), 1u);
    EXPECT_EQ(f.boxes.shown[0].text, "'8O0' is not a valid integer value.");
    EXPECT_EQ(answer.target, popup->Browser1.Application());
    EXPECT_EQ(pb.pending(), "http://r.test/b");
    EXPECT_EQ(popup->Width(), width);
}

TEST(Popup, TitleOfSixtyCharactersShowsFiftyAndHintsAll) {
    ClientFixture f;
    f.StartSignedIn();
    f.Browser("TFrmMain").RequestNewWindow("http://r.test/a");
    auto* popup = f.state.FrmBrowser;
    std::string title;
    for (int i = 0; i < 60; ++i)
        title += (i % 2 == 0) ? "课" : "x";
    f.Browser("TFrmBrowser").CompletePending(title);
    const auto& item = popup->TitleBar1.Item(windows::kItemCaption);
    EXPECT_EQ(text::Utf16Length(item.caption), 50u);
    EXPECT_EQ(title.rfind(item.caption, 0), 0u);
    EXPECT_EQ(item.hint, title);
    EXPECT_EQ(popup->Caption(), "FrmBrowser") << "the window's own caption is not changed";
    // A short title is taken whole; a pair at the cut is not split.
    EXPECT_EQ(windows::FirstUtf16Units("short", 50), "short");
    EXPECT_EQ(windows::FirstUtf16Units(std::string(49, 'a') + "\xF0\x9F\x98\x80" + "b", 50),
              std::string(49, 'a'));
}

TEST(Popup, BackAndForwardFollowCommandsOneAndTwoOnly) {
    ClientFixture f;
    f.StartSignedIn();
    f.Browser("TFrmMain").RequestNewWindow("http://r.test/a");
    auto* popup = f.state.FrmBrowser;
    auto& bar = popup->TitleBar1;
    auto& pb = f.Browser("TFrmBrowser");
    pb.CompletePending("A");
    EXPECT_FALSE(bar.Item(windows::kItemBack).enabled);
    EXPECT_FALSE(bar.Item(windows::kItemForward).enabled);
    pb.Complete("http://r.test/b", "B");
    EXPECT_TRUE(bar.Item(windows::kItemBack).enabled);
    EXPECT_FALSE(bar.Item(windows::kItemForward).enabled);
    popup->Browser1.FireCommandStateChange(-1, false);
    popup->Browser1.FireCommandStateChange(3, false);
    EXPECT_TRUE(bar.Item(windows::kItemBack).enabled);
    popup->Browser1.FireCommandStateChange(1, true);
    EXPECT_TRUE(bar.Item(windows::kItemForward).enabled);
    EXPECT_TRUE(bar.Item(windows::kItemBack).enabled);
    popup->Browser1.FireCommandStateChange(2, false);
    EXPECT_FALSE(bar.Item(windows::kItemBack).enabled);
    EXPECT_TRUE(bar.Item(windows::kItemForward).enabled);
}

TEST(Popup, ButtonsGoBackForwardAndRefreshAndNoHistoryDoesNothing) {
    ClientFixture f;
    f.StartSignedIn();
    f.Browser("TFrmMain").RequestNewWindow("http://r.test/a");
    auto* popup = f.state.FrmBrowser;
    auto& pb = f.Browser("TFrmBrowser");
    popup->TitleBar1Items0Click();  // nothing loaded yet: the browser refuses
    popup->TitleBar1Items1Click();
    popup->TitleBar1Items2Click();
    EXPECT_TRUE(f.boxes.shown.empty());
    EXPECT_TRUE(f.ui.LogLines("back ").empty());
    pb.CompletePending("A");
    pb.Complete("http://r.test/b", "B");
    popup->TitleBar1.ClickItem(windows::kItemBack);
    EXPECT_EQ(pb.pending(), "http://r.test/a");
    pb.CompletePending("A");
    popup->TitleBar1.ClickItem(windows::kItemForward);
    EXPECT_EQ(pb.pending(), "http://r.test/b");
    popup->TitleBar1.ClickItem(windows::kItemRefresh);
    EXPECT_EQ(f.ui.LogLines("refresh ").size(), 1u);
    EXPECT_TRUE(f.boxes.shown.empty());
}

TEST(Popup, MinimiseHidesTheItemsRestoreAndMaximiseShowThem) {
    ClientFixture f;
    f.StartSignedIn();
    f.Browser("TFrmMain").RequestNewWindow("http://r.test/a");
    auto* popup = f.state.FrmBrowser;
    auto all_visible = [&](bool v) {
        for (std::size_t i = 0; i < 4; ++i)
            if (popup->TitleBar1.Item(i).visible != v)
                return false;
        return true;
    };
    popup->SysCommand(ui::kScMinimize);
    EXPECT_TRUE(all_visible(false));
    EXPECT_EQ(popup->State(), ui::WindowState::Minimized);
    popup->SysCommand(ui::kScRestore);
    EXPECT_TRUE(all_visible(true));
    EXPECT_EQ(popup->State(), ui::WindowState::Normal);
    popup->SysCommand(ui::kScMinimize);
    popup->SysCommand(ui::kScMaximize);
    EXPECT_TRUE(all_visible(true));
    popup->SysCommand(0xF010);  // SC_MOVE changes nothing
    EXPECT_TRUE(all_visible(true));
    // Codes are compared as they arrive: the caption double-click forms (low bits set) of
    // maximise and restore show nothing.
    for (std::uint32_t command : {0xF032u, 0xF122u}) {
        popup->SysCommand(ui::kScMinimize);
        popup->SysCommand(command);
        EXPECT_TRUE(all_visible(false)) << std::hex << command;
    }
}

TEST(Popup, ClosingDestroysOnlyThatPopupAndEmptiesTheHookSlot) {
    ClientFixture f;
    auto& main = f.StartSignedIn();
    f.Browser("TFrmMain").RequestNewWindow("http://r.test/a");
    auto* first = f.state.FrmBrowser;
    f.Browser("TFrmMain").RequestNewWindow("http://r.test/b");
    auto* second = f.state.FrmBrowser;
    ASSERT_EQ(f.app.MessageHookOwner(), second);
    second->Close();
    EXPECT_TRUE(f.app.Owns(second)) << "destroyed once the close has completed";
    f.ui.RunPending();
    EXPECT_FALSE(f.app.Owns(second));
    EXPECT_EQ(f.state.FrmBrowser, nullptr);
    EXPECT_EQ(f.app.MessageHookOwner(), nullptr);
    EXPECT_TRUE(f.app.Owns(first));
    EXPECT_TRUE(first->Visible());
    EXPECT_TRUE(main.Visible());
    // Messages now pass on unhandled.
    f.ui.PostMessage(f.app, ui::Message{nullptr, ui::kWmKeyDown, 'A', 0});
    f.ui.RunPending();
    EXPECT_EQ(f.ui.LogLines("dispatch ").size(), 1u);
}

TEST(Popup, DownloadsAreLeftToThePlatform) {
    ClientFixture f;
    f.StartSignedIn();
    f.Browser("TFrmMain").RequestNewWindow("http://r.test/a");
    auto& b = f.state.FrmBrowser->Browser1;
    EXPECT_TRUE(browser::ProvidesService(b, browser::kIidDownloadManager));
    // The popup's download handler is bound and leaves whatever result the host preset.
    ASSERT_TRUE(b.OnFileDownload);
    browser::FileDownloadRequest request;
    request.pszHeaders = "Content-Disposition: attachment; filename=lesson.pptx";
    request.uiCP = 936;
    for (browser::HResult preset : {browser::kENotImpl, browser::kSOk, browser::HResult(-1)}) {
        browser::HResult result = preset;
        b.OnFileDownload(b, request, result);
        EXPECT_EQ(result, preset);
    }
    EXPECT_EQ(browser::AnswerDownload(b, request), browser::kENotImpl);
    EXPECT_TRUE(f.boxes.shown.empty());
    // Its context menu is suppressed (command 4 included).
    EXPECT_EQ(browser::AnswerShowContextMenu(b, 4, nullptr, nullptr, nullptr), browser::kSOk);
}

// Each window asks for its page's external object as that object's owner, so the boxes
// the object shows are modal to the window whose page called.
TEST(External, EachWindowOwnsTheObjectItsPageGets) {
    ClientFixture f;
    f.StartSignedIn();
    f.Browser("TFrmMain").RequestNewWindow("http://r.test/a");
    auto ask = [&](browser::THostedBrowser& b) {
        std::shared_ptr<browser::Dispatch> out;
        b.OnGetExternal(b, out);
        EXPECT_NE(out, nullptr);
        return f.external_owners.empty() ? nullptr : f.external_owners.back();
    };
    EXPECT_EQ(ask(f.state.FrmMain->Browser1), f.state.FrmMain->Handle());
    EXPECT_EQ(ask(f.state.FrmLogin->Browser1), f.state.FrmLogin->Handle());
    EXPECT_EQ(ask(f.state.FrmBrowser->Browser1), f.state.FrmBrowser->Handle());
    EXPECT_NE(f.state.FrmMain->Handle(), f.state.FrmBrowser->Handle());
}

}  // namespace
}  // namespace kelvra::test
