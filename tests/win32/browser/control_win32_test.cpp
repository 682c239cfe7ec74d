// The real WebBrowser control under Wine: creation, in-place activation, property reads,
// operations raising the control's result code, key routing on real messages, parking.
// Wine loads no HTML document here, so nothing below depends on a page.
#include <gtest/gtest.h>

#include <vector>

#include "browser/key_routing.h"
#include "fixture.h"
#include "platform/win32/wide.h"

namespace kelvra::browser::win32::testing {
namespace {

std::wstring ClassOf(HWND w) {
    wchar_t name[64] = {};
    GetClassNameW(w, name, 64);
    return name;
}

TEST(ControlWin32, CreatedAndActivatedInPlaceInTheFormWindow) {
    Hosted h;
    HWND control = h.control().Handle();
    ASSERT_NE(control, nullptr);
    EXPECT_TRUE(IsWindow(control));
    EXPECT_EQ(GetParent(control), h.window);
    EXPECT_EQ(ClassOf(control), L"Shell Embedding");
    RECT client{}, placed{};
    GetClientRect(h.window, &client);
    GetWindowRect(control, &placed);
    MapWindowPoints(nullptr, h.window, reinterpret_cast<POINT*>(&placed), 2);
    EXPECT_EQ(placed.right - placed.left, client.right - client.left) << "fills the client area";
    EXPECT_EQ(placed.bottom - placed.top, client.bottom - client.top);

    h.browser.SetBounds({10, 20, 300, 200});
    GetWindowRect(control, &placed);
    MapWindowPoints(nullptr, h.window, reinterpret_cast<POINT*>(&placed), 2);
    EXPECT_EQ(placed.left, 10);
    EXPECT_EQ(placed.top, 20);
    EXPECT_EQ(placed.right - placed.left, 300);
    EXPECT_EQ(placed.bottom - placed.top, 200);
}

TEST(ControlWin32, PropertiesAreReadFromTheControl) {
    Hosted h;
    auto* app = static_cast<IDispatch*>(h.browser.Application());
    ASSERT_NE(app, nullptr);
    ComPtr<IWebBrowser2> browser;
    ASSERT_EQ(app->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(browser.Out())), S_OK)
        << "Application is the control's own automation object";
    EXPECT_FALSE(h.browser.Busy()) << "nothing is loading";
    // Wine loads no document, yet the control takes the address it is sent to.
    h.browser.Navigate("about:blank");
    BSTR url = nullptr;
    ASSERT_TRUE(SUCCEEDED(browser->get_LocationURL(&url)));
    EXPECT_EQ(platform::win32::Narrow(url ? url : L""), "about:blank")
        << "the navigation reached the control";
    SysFreeString(url);
    EXPECT_EQ(h.browser.Doc3(), nullptr) << "no document: null, no error";
    EXPECT_TRUE(h.boxes.shown.empty());
}

TEST(ControlWin32, FailingOperationsRaiseTheControlsCode) {
    Hosted h;
    for (auto op : {&THostedBrowser::GoBack, &THostedBrowser::GoForward}) {
        try {
            (h.browser.*op)();
            ADD_FAILURE() << "no history, yet no error";
        } catch (const BrowserError& e) {
            EXPECT_TRUE(FAILED(e.code())) << std::hex << e.code();
            EXPECT_STRNE(e.what(), "");
        }
    }
    EXPECT_NO_THROW(h.browser.Stop());
}

TEST(ControlWin32, PlacedOnceItsContainerWindowExists) {
    Hosted h;
    HWND gone = MakeTopLevelWindow();
    DestroyWindow(gone);
    // A second browser on the form whose container is no window: it is not placed, and
    // placing it later in a real window activates it.
    h.window = gone;
    HostForm& other = h.app.CreateForm<HostForm>(h.backend);
    auto& control = static_cast<Win32BrowserControl&>(other.Browser1.control());
    EXPECT_EQ(control.Handle(), nullptr);
    HWND first = h.window = MakeTopLevelWindow();
    other.Browser1.SetBounds({0, 0, 100, 100});
    EXPECT_NE(control.Handle(), nullptr);
    EXPECT_EQ(GetParent(control.Handle()), first);
}

// The real control wrapped so that the test sees what reaches accelerator translation.
class Recording final : public BrowserControl {
  public:
    explicit Recording(std::unique_ptr<BrowserControl> real) : real_(std::move(real)) {}
    void Sync() override { real_->Sync(); }
    void Navigate(const std::string& u) override { real_->Navigate(u); }
    void GoBack() override { real_->GoBack(); }
    void GoForward() override { real_->GoForward(); }
    void Refresh() override { real_->Refresh(); }
    void Stop() override { real_->Stop(); }
    DispatchHandle Application() const override { return real_->Application(); }
    std::string LocationName() const override { return real_->LocationName(); }
    bool Busy() const override { return real_->Busy(); }
    std::shared_ptr<const HtmlDocument3> Doc3() const override { return real_->Doc3(); }
    void AmbientPropertyChanged(std::int32_t id) override { real_->AmbientPropertyChanged(id); }
    bool IsDialogMessage(const ui::Message& m) override { return real_->IsDialogMessage(m); }
    bool HasInPlaceActiveObject() const override { return real_->HasInPlaceActiveObject(); }
    void TranslateAccelerator(const ui::Message& m) override {
        offered.push_back(m);
        real_->TranslateAccelerator(m);
    }
    Win32BrowserControl& real() const { return static_cast<Win32BrowserControl&>(*real_); }
    std::vector<ui::Message> offered;

  private:
    std::unique_ptr<BrowserControl> real_;
};

class RecordingBackend final : public BrowserBackend {
  public:
    explicit RecordingBackend(Win32BrowserBackend& real) : real_(real) {}
    std::unique_ptr<BrowserControl> CreateControl(THostedBrowser& b) override {
        return std::make_unique<Recording>(real_.CreateControl(b));
    }

  private:
    Win32BrowserBackend& real_;
};

// Takes the message just posted back from the queue, as the loop would.
MSG Take(HWND target, UINT message, WPARAM key) {
    PostMessageW(target, message, key, 0);
    MSG msg{};
    EXPECT_TRUE(PeekMessageW(&msg, target, message, message, PM_REMOVE));
    return msg;
}

TEST(ControlWin32, KeyRoutingOnRealMessages) {
    Hosted h;
    ShowWindow(h.window, SW_SHOW);  // dialog processing of Tab needs a visible window
    RecordingBackend backend(h.backend);
    HostForm& form = h.app.CreateForm<HostForm>(backend);
    auto& rec = static_cast<Recording&>(form.Browser1.control());
    HWND control = rec.real().Handle();
    ASSERT_NE(control, nullptr);
    ASSERT_TRUE(rec.HasInPlaceActiveObject());

    std::vector<WPARAM> excluded = {8, 37, 38, 39, 40, 'W', 'Y', 'Z'};
    for (WPARAM k = '0'; k <= '9'; ++k)
        excluded.push_back(k);
    for (WPARAM k = 'D'; k <= 'U'; ++k)
        excluded.push_back(k);
    const std::vector<WPARAM> offered = {'A',       'B',       'C',   'V',   'X',       VK_TAB,
                                         VK_RETURN, VK_DELETE, VK_F1, VK_F5, VK_ESCAPE, 256 + 'D'};
    for (UINT message : {WM_KEYDOWN, WM_KEYUP}) {
        for (WPARAM key : excluded) {
            rec.offered.clear();
            bool handled = false;
            RouteKeyMessage(&form.Browser1, ToMessage(Take(control, message, key)), handled);
            EXPECT_TRUE(handled) << "dialog processing took the message " << key;
            EXPECT_TRUE(rec.offered.empty()) << "excluded key " << key;
        }
        for (WPARAM key : offered) {
            rec.offered.clear();
            bool handled = false;
            RouteKeyMessage(&form.Browser1, ToMessage(Take(control, message, key)), handled);
            EXPECT_TRUE(handled) << key;
            ASSERT_EQ(rec.offered.size(), 1u) << "offered key " << key;
            EXPECT_EQ(rec.offered[0].wparam, key);
            EXPECT_EQ(rec.offered[0].message, message);
        }
    }
    // Other messages to the browser are offered too, digits' codes included.
    rec.offered.clear();
    bool handled = false;
    RouteKeyMessage(&form.Browser1, ToMessage(Take(control, WM_CHAR, '5')), handled);
    EXPECT_TRUE(handled);
    EXPECT_EQ(rec.offered.size(), 1u);

    // A message for a window outside the browser: not handled, nothing offered.
    HWND elsewhere = MakeTopLevelWindow();
    rec.offered.clear();
    RouteKeyMessage(&form.Browser1, ToMessage(Take(elsewhere, WM_KEYDOWN, 'A')), handled);
    EXPECT_FALSE(handled);
    EXPECT_TRUE(rec.offered.empty());
    DestroyWindow(elsewhere);
}

TEST(ControlWin32, ParkedWindowSurvivesTheContainersRecreation) {
    Hosted h;
    HWND control = h.control().Handle();
    ASSERT_NE(control, nullptr);
    HWND first = h.window;
    h.backend.ParkBrowsersIn(first);
    EXPECT_EQ(h.control().Handle(), nullptr);
    EXPECT_EQ(h.control().CurrentHandle(), control);
    EXPECT_EQ(GetParent(control), h.backend.ParkingWindow());
    DestroyWindow(first);
    ASSERT_TRUE(IsWindow(control)) << "the control's window outlives the old container";

    h.window = MakeTopLevelWindow();
    h.browser.SetBounds({5, 5, 200, 150});  // the component's window is created again
    EXPECT_EQ(h.control().Handle(), control) << "the same window, page and history";
    EXPECT_EQ(h.control().CurrentHandle(), nullptr);
    EXPECT_EQ(GetParent(control), h.window);
    EXPECT_FALSE(h.browser.Busy());

    // Destroyed while parked: the parked window goes with the component.
    h.backend.ParkBrowsersIn(h.window);
    ASSERT_TRUE(IsWindow(control));
    h.app.DestroyForms();
    EXPECT_FALSE(IsWindow(control));
}

}  // namespace
}  // namespace kelvra::browser::win32::testing
