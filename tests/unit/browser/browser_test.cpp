#include <gtest/gtest.h>

#include "browser/doc_host.h"
#include "browser/key_routing.h"
#include "browser/options.h"
#include "browser/popup_size.h"
#include "headless_browser.h"
#include "headless_ui.h"
#include "platform/error.h"
#include "ui/application.h"

namespace kelvra::browser {
namespace {

using O = TUserInterfaceOption;

class Host final : public ui::Form {
  public:
    Host(ui::Application& app, BrowserBackend& backend)
        : ui::Form(app, Def()), Browser1(*this, "Browser1", backend) {}
    THostedBrowser Browser1;

  private:
    static ui::FormDefinition Def() {
        ui::FormDefinition d;
        d.class_name = "THost";
        return d;
    }
};

struct Fixture {
    headless::HeadlessUi ui;
    headless::HeadlessBoxes boxes{ui};
    headless::HeadlessBrowserBackend browsers{ui};
    ui::Application app{ui, boxes};
    Host& host = app.CreateForm<Host>(browsers);
    THostedBrowser& b = host.Browser1;
    headless::HeadlessBrowser& peer = headless::HeadlessBrowserBackend::Of(host.Browser1);
};

TEST(Options, HostFlagsAndDownloadValue) {
    EXPECT_EQ(ComputeUserInterfaceValue({}), 0u);
    EXPECT_EQ(ComputeUserInterfaceValue(DefaultUserInterfaceOptions()), 0x44000u);
    EXPECT_EQ(ComputeUserInterfaceValue({O::DontUse3DBorders, O::DontUseScrollBars,
                                         O::EnablesFormsAutoComplete, O::EnableThemes}),
              0x4400Cu);
    EXPECT_EQ(ComputeUserInterfaceValue({O::DontUse3DBorders, O::DontUseScrollBars,
                                         O::ForceFlatScrollBars, O::EnablesFormsAutoComplete,
                                         O::EnableThemes}),
              0x4408Cu);
    EXPECT_EQ(HostFlagOf(O::ForceSameWindowNavigation), 0x10000u) << "0x8000 belongs to none";
    EXPECT_EQ(HostFlagOf(O::ForceUserActivationOnActiveXJava), 0x20000000u);
    EXPECT_EQ(ComputeDownloadOptionValue(DefaultDownloadOptions()), 0x70u);
    EXPECT_EQ(DownloadFlagOf(TDownloadControlOption::ForceOfflineMode), 0x10000000u);
    EXPECT_EQ(DownloadFlagOf(TDownloadControlOption::WorkOffline), 0x80000000u);
    std::uint32_t all = 0;
    for (int i = 0; i < kUserInterfaceOptionCount; ++i) {
        const std::uint32_t flag = HostFlagOf(static_cast<O>(i));
        EXPECT_EQ(all & flag, 0u) << "each member has its own flag";
        all |= flag;
    }
}

TEST(HostedBrowser, ConstructionDefaultsAndNotifications) {
    Fixture f;
    EXPECT_EQ(f.b.UserInterfaceValue(), 0x44000u);
    EXPECT_EQ(f.b.DownloadOptionValue(), 0x70u);
    EXPECT_EQ(f.b.DisableCtrlShortcuts, "N");
    EXPECT_EQ(f.b.ScriptErrorAction, TScriptErrorAction::eaContinue);
    EXPECT_TRUE(f.b.CanGrabFocus);
    EXPECT_EQ(f.peer.ambient_notifications, 2);
    f.b.SetUserInterfaceOptions({});
    EXPECT_EQ(f.b.UserInterfaceValue(), 0u);
    EXPECT_EQ(GetHostInfo(f.b).dwFlags, 0u);
    EXPECT_EQ(GetHostInfo(f.b).cbSize, 20u);
    EXPECT_EQ(f.peer.ambient_notifications, 3);
}

TEST(HostedBrowser, HandlerErrorsAreShownOnceAndOutArgumentsStayAsWritten) {
    Fixture f;
    f.b.OnNewWindow3 = [](THostedBrowser& s, DispatchHandle& target, bool& cancel, std::uint32_t,
                          const std::string&, const std::string&) {
        target = s.Application();
        cancel = true;
        throw Error("Handler failed");
    };
    const auto answer = f.peer.RequestNewWindow("http://x/");
    EXPECT_EQ(answer.target, f.b.Application());
    EXPECT_TRUE(answer.cancel);
    ASSERT_EQ(f.boxes.shown.size(), 1u);
    EXPECT_EQ(f.boxes.shown[0].text, "Handler failed.");
    f.peer.fail_navigation = static_cast<HResult>(0x800C0005u);
    try {
        f.b.Navigate("http://x/");
        ADD_FAILURE() << "no error raised";
    } catch (const BrowserError& e) {
        EXPECT_EQ(e.code(), static_cast<HResult>(0x800C0005u));
    }
}

TEST(DocHost, ContextMenuExternalAndDownloads) {
    Fixture f;
    EXPECT_EQ(AnswerShowContextMenu(f.b, 0, nullptr, nullptr, nullptr), kSFalse);
    f.b.OnShowContextMenu = [](THostedBrowser&, std::uint32_t, const Point*, void*, void*,
                               HResult& r) { r = kSOk; };
    EXPECT_EQ(AnswerShowContextMenu(f.b, 0, nullptr, nullptr, nullptr), kSOk);
    std::shared_ptr<Dispatch> ext = std::make_shared<Dispatch>();
    EXPECT_EQ(AnswerGetExternal(f.b, ext), kSFalse);
    EXPECT_EQ(ext, nullptr);
    f.b.OnGetExternal = [](THostedBrowser&, std::shared_ptr<Dispatch>& out) {
        out = std::make_shared<Dispatch>();
    };
    EXPECT_EQ(AnswerGetExternal(f.b, ext), kSOk);
    EXPECT_NE(ext, nullptr);
    EXPECT_FALSE(ProvidesService(f.b, kIidDownloadManager));
    EXPECT_EQ(AnswerDownload(f.b, {}), kENotImpl);
    f.b.OnFileDownload = [](THostedBrowser&, const FileDownloadRequest&, HResult&) {};
    EXPECT_TRUE(ProvidesService(f.b, kIidDownloadManager));
    EXPECT_TRUE(ProvidesService(f.b, "d81f90a3-8156-44f7-ad28-5abb87003274"));
    for (auto id :
         {kIidNewWindowManager, kIidAuthenticate, kIidHostBehaviorInit, kIidHtmlOmWindowServices})
        EXPECT_FALSE(ProvidesService(f.b, id));
    EXPECT_TRUE(AllowFocusChange(f.b));
}

TEST(DocHost, CtrlShortcutMask) {
    Fixture f;
    struct Case {
        std::uint32_t message;
        std::uintptr_t key;
        KeyState keys;
        HResult expected;
    } cases[] = {
        {ui::kWmKeyDown, 'N', {false, true}, kSOk},    // Ctrl+N (and Ctrl+Alt+N) swallowed
        {ui::kWmKeyDown, 'N', {true, true}, kSFalse},  // Ctrl+Shift+N reaches the page
        {ui::kWmKeyDown, 'N', {false, false}, kSFalse},
        {ui::kWmKeyUp, 'N', {false, true}, kSFalse},
        {ui::kWmKeyDown, 'O', {false, true}, kSFalse},
        {ui::kWmKeyDown, 'P', {false, true}, kSFalse},
        {ui::kWmKeyDown, 'n', {false, true}, kSFalse},  // exact comparison
        {ui::kWmKeyDown, 0x14E, {false, true}, kSFalse},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(
            AnswerTranslateAccelerator(f.b, ui::Message{nullptr, c.message, c.key, 0}, c.keys),
            c.expected);
    }
    f.b.DisableCtrlShortcuts.clear();
    EXPECT_EQ(AnswerTranslateAccelerator(f.b, ui::Message{nullptr, ui::kWmKeyDown, 'N', 0},
                                         {false, true}),
              kSFalse);
}

TEST(DocHost, ScriptErrorsAmbientsAndFixedAnswers) {
    Fixture f;
    std::optional<bool> out;
    EXPECT_EQ(AnswerExec(f.b, kCmdGroupDocHostCommandHandler, 40, out), kSOk);
    EXPECT_EQ(out, true);
    out.reset();
    EXPECT_EQ(AnswerExec(f.b, kCmdGroupDocHostCommandHandler, 41, out), kOleCmdErrNotSupported);
    EXPECT_EQ(AnswerExec(f.b, "", 40, out), kOleCmdErrNotSupported);
    EXPECT_FALSE(out.has_value());
    EXPECT_EQ(AnswerScriptError(TScriptErrorAction::eaCancel, out), kSOk);
    EXPECT_EQ(out, false);
    out.reset();
    EXPECT_EQ(AnswerScriptError(TScriptErrorAction::eaAskUser, out), kSFalse);
    EXPECT_FALSE(out.has_value());
    std::uint32_t flags = 0;
    EXPECT_EQ(AnswerQueryStatus(flags), kSOk);
    EXPECT_EQ(flags, 2u);
    auto dl = AmbientGet(f.b, kDispidAmbientDlControl);
    ASSERT_TRUE(dl);
    EXPECT_EQ(dl->int_value, 0x70);
    auto user = AmbientGet(f.b, kDispidAmbientUserMode);
    ASSERT_TRUE(user);
    EXPECT_TRUE(user->bool_value);
    EXPECT_TRUE(AmbientPut(f.b, kDispidAmbientUserMode, true));
    EXPECT_FALSE(AmbientGet(f.b, kDispidAmbientUserMode)->bool_value);
    EXPECT_FALSE(AmbientGet(f.b, kDispidAmbientUserAgent).has_value());
    EXPECT_EQ(FixedAnswer(HostCall::ShowUI), kSFalse);
    EXPECT_EQ(FixedAnswer(HostCall::ResizeBorder), kSOk);
    EXPECT_EQ(FixedAnswer(HostCall::GetDropTarget), kENotImpl);
    EXPECT_EQ(FixedAnswer(HostCall::ShowMessage), kSFalse);
}

TEST(KeyRouting, ExcludedKeysBusyAndDialogAnswer) {
    Fixture f;
    const std::string excluded_letters = "DEFGHIJKLMNOPQRSTUWYZ";
    for (std::uintptr_t k = 0; k <= 255; ++k) {
        const bool expected =
            k == 8 || (k >= 37 && k <= 40) || (k >= '0' && k <= '9') ||
            (k >= 'A' && k <= 'Z' && excluded_letters.find(char(k)) != std::string::npos);
        EXPECT_EQ(IsExcludedKeyCode(k), expected) << k;
    }
    bool handled = true;
    RouteKeyMessage(nullptr, ui::Message{}, handled);
    EXPECT_FALSE(handled);
    // Codes above 255 are offered whatever their low byte ('D', 37, 8).
    for (std::uintptr_t k : {std::uintptr_t('A'), std::uintptr_t('V'), std::uintptr_t(9),
                             std::uintptr_t(13), std::uintptr_t(46), std::uintptr_t(0x70),
                             std::uintptr_t(0x144), std::uintptr_t(0x125), std::uintptr_t(0x108)})
        RouteKeyMessage(&f.b, ui::Message{nullptr, ui::kWmKeyDown, k, 0}, handled);
    EXPECT_EQ(f.peer.translated.size(), 9u);
    RouteKeyMessage(&f.b, ui::Message{nullptr, ui::kWmKeyUp, 'D', 0}, handled);
    RouteKeyMessage(&f.b, ui::Message{nullptr, ui::kWmKeyDown, 37, 0}, handled);
    EXPECT_TRUE(handled);
    EXPECT_EQ(f.peer.translated.size(), 9u);
    RouteKeyMessage(&f.b, ui::Message{nullptr, 0x200, 'D', 0}, handled);  // not a key
    EXPECT_EQ(f.peer.translated.size(), 10u);
    f.peer.busy = true;
    RouteKeyMessage(&f.b, ui::Message{nullptr, ui::kWmKeyDown, 'A', 0}, handled);
    EXPECT_TRUE(handled);
    EXPECT_EQ(f.peer.translated.size(), 10u);
    f.peer.busy = false;
    f.peer.dialog_message_handles = false;
    RouteKeyMessage(&f.b, ui::Message{nullptr, ui::kWmKeyDown, 'A', 0}, handled);
    EXPECT_FALSE(handled);
    EXPECT_EQ(f.peer.translated.size(), 10u);
    f.peer.dialog_message_handles = true;
    f.peer.in_place_active = false;
    RouteKeyMessage(&f.b, ui::Message{nullptr, ui::kWmKeyDown, 'A', 0}, handled);
    EXPECT_TRUE(handled);
    EXPECT_EQ(f.peer.translated.size(), 10u);
}

TEST(PopupSize, ThroughTheBrowsersDocument) {
    Fixture f;
    f.peer.SetAnchors({headless::Anchor{"http://x/a", {{"fwidth", "800"}, {"fheight", "600"}}}});
    EXPECT_EQ(QueryPopupSize(f.b, "http://x/a"),
              std::string("http://") + browser::kPopupSizeHost + "/?dd&cwidth=800&cheight=600");
    EXPECT_EQ(QueryPopupSize(f.b, "http://x/b"), "");
    f.peer.SetAnchors({headless::Anchor{std::nullopt, {}}});
    EXPECT_THROW(QueryPopupSize(f.b, "http://x/a"), Error) << "an anchor without href";
    f.peer.SetNoDocument();
    EXPECT_EQ(f.b.Doc3(), nullptr);
    EXPECT_THROW(QueryPopupSize(f.b, "http://x/a"), Error);
}

}  // namespace
}  // namespace kelvra::browser
