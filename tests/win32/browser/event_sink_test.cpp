// The event sink as the control calls it: real DISPPARAMS, arguments last-to-first,
// by-reference arguments written back into the caller's storage.
#include <gtest/gtest.h>

#include <ocidl.h>

#include <algorithm>
#include <functional>

#include "browser/win32/event_sink.h"
#include "browser/win32/guids.h"
#include "failing_allocation.h"
#include "fixture.h"
#include "platform/error.h"

namespace kelvra::browser::win32::testing {
namespace {

struct Sink {
    explicit Sink(THostedBrowser& b) : sink(new EventSink(b)) {}
    ~Sink() { sink->Release(); }
    HRESULT Raise(DISPID id, std::vector<VARIANT>& reversed) {
        DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
        return sink->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
    }
    EventSink* sink;
};

VARIANT Dispatch(IDispatch* d) {
    VARIANT v;
    V_VT(&v) = VT_DISPATCH;
    V_DISPATCH(&v) = d;
    return v;
}

VARIANT ByRef(VARIANT* target) {
    VARIANT v;
    V_VT(&v) = VT_VARIANT | VT_BYREF;
    V_VARIANTREF(&v) = target;
    return v;
}

VARIANT Text(const wchar_t* s) {
    VARIANT v;
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocString(s);
    return v;
}

TEST(EventSinkWin32, EveryIdOfTheDescriptionHasItsSlot) {
    EXPECT_EQ(kWebBrowserEvents.size(), 34u);
    const DISPID order[] = {102, 108, 105, 106, 104, 113, 112, 250, 251, 252, 259, 253,
                            254, 255, 256, 257, 258, 260, 261, 262, 264, 265, 266, 267,
                            263, 268, 269, 270, 271, 225, 226, 227, 272, 273};
    for (int i = 0; i < 34; ++i)
        EXPECT_EQ(EventSlotOf(order[i]), i) << order[i];
    EXPECT_EQ(kWebBrowserEvents[EventSlotOf(273)].name, "OnNewWindow3");
    EXPECT_EQ(kWebBrowserEvents[EventSlotOf(105)].name, "OnCommandStateChange");
    EXPECT_EQ(EventSlotOf(0), -1);
    EXPECT_EQ(EventSlotOf(274), -1);
}

TEST(EventSinkWin32, NavigateAndDocumentCompleteWriteTheAddressBack) {
    Hosted h;
    Sink s(h.browser);
    TestDispatch frame;
    std::vector<std::string> seen;
    h.browser.OnNavigateComplete2 = [&](THostedBrowser& sender, DispatchHandle d,
                                        std::string& url) {
        EXPECT_EQ(&sender, &h.browser);
        EXPECT_EQ(d, static_cast<IDispatch*>(&frame));
        seen.push_back("nav " + url);
        url = "http://changed/";
    };
    h.browser.OnDocumentComplete = [&](THostedBrowser&, DispatchHandle, std::string& url) {
        seen.push_back("doc " + url);
    };
    for (DISPID id : {252, 259}) {
        VARIANT address = Text(L"http://h/site/\u4E2D");
        std::vector<VARIANT> args = {ByRef(&address), Dispatch(&frame)};
        EXPECT_EQ(s.Raise(id, args), S_OK);
        if (id == 252)
            EXPECT_STREQ(V_BSTR(&address), L"http://changed/") << "written into the caller's URL";
        else
            EXPECT_STREQ(V_BSTR(&address), L"http://h/site/\u4E2D");
        VariantClear(&address);
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"nav http://h/site/\xE4\xB8\xAD",
                                              "doc http://h/site/\xE4\xB8\xAD"}));
}

TEST(EventSinkWin32, NewWindow3TargetAndCancelReachTheCaller) {
    Hosted h;
    Sink s(h.browser);
    auto* application = static_cast<IDispatch*>(h.browser.Application());
    ASSERT_NE(application, nullptr);
    std::uint32_t flags = 0;
    std::string context, url;
    h.browser.OnNewWindow3 = [&](THostedBrowser& sender, DispatchHandle& ppDisp, bool& cancel,
                                 std::uint32_t f, const std::string& c, const std::string& u) {
        EXPECT_EQ(ppDisp, nullptr);
        EXPECT_FALSE(cancel);
        ppDisp = sender.Application();
        cancel = true;
        flags = f;
        context = c;
        url = u;
    };
    IDispatch* target = nullptr;
    VARIANT_BOOL cancel = VARIANT_FALSE;
    VARIANT target_arg, cancel_arg, flags_arg;
    V_VT(&target_arg) = VT_DISPATCH | VT_BYREF;
    V_DISPATCHREF(&target_arg) = &target;
    V_VT(&cancel_arg) = VT_BOOL | VT_BYREF;
    V_BOOLREF(&cancel_arg) = &cancel;
    V_VT(&flags_arg) = VT_I4;
    V_I4(&flags_arg) = 0x6;
    VARIANT ctx = Text(L"http://h/home"), address = Text(L"http://h/popup?id=1");
    std::vector<VARIANT> args = {address, ctx, flags_arg, cancel_arg, target_arg};
    EXPECT_EQ(s.Raise(273, args), S_OK);
    EXPECT_EQ(target, application) << "the new window goes to this browser";
    EXPECT_EQ(cancel, VARIANT_TRUE);
    EXPECT_EQ(flags, 0x6u);
    EXPECT_EQ(context, "http://h/home");
    EXPECT_EQ(url, "http://h/popup?id=1");
    target->Release();  // the caller's reference
    VariantClear(&ctx);
    VariantClear(&address);
}

TEST(EventSinkWin32, CommandStateUnknownIdsAndHandlerErrors) {
    Hosted h;
    Sink s(h.browser);
    std::vector<std::pair<int, bool>> states;
    h.browser.OnCommandStateChange = [&](THostedBrowser&, std::int32_t c, bool e) {
        states.emplace_back(c, e);
    };
    for (auto [command, enable] : {std::pair{1, true}, {2, false}, {-1, true}}) {
        VARIANT c, e;
        V_VT(&c) = VT_I4;
        V_I4(&c) = command;
        V_VT(&e) = VT_BOOL;
        V_BOOL(&e) = enable ? VARIANT_TRUE : VARIANT_FALSE;
        std::vector<VARIANT> args = {e, c};
        EXPECT_EQ(s.Raise(105, args), S_OK);
    }
    EXPECT_EQ(states, (std::vector<std::pair<int, bool>>{{1, true}, {2, false}, {-1, true}}));

    // Ids outside the description, and published slots nobody bound, are ignored.
    std::vector<VARIANT> none;
    EXPECT_EQ(s.Raise(9999, none), S_OK);
    EXPECT_EQ(s.Raise(102, none), S_OK);
    EXPECT_EQ(s.Raise(259, none), S_OK);
    EXPECT_TRUE(h.boxes.shown.empty());

    // A failing handler: shown once, the call returns, the arguments stay as written.
    h.browser.OnNewWindow3 = [](THostedBrowser&, DispatchHandle&, bool& cancel, std::uint32_t,
                                const std::string&, const std::string&) {
        cancel = true;
        throw Error("Popup failed");
    };
    IDispatch* target = nullptr;
    VARIANT_BOOL cancel = VARIANT_FALSE;
    VARIANT target_arg, cancel_arg, flags_arg;
    V_VT(&target_arg) = VT_DISPATCH | VT_BYREF;
    V_DISPATCHREF(&target_arg) = &target;
    V_VT(&cancel_arg) = VT_BOOL | VT_BYREF;
    V_BOOLREF(&cancel_arg) = &cancel;
    V_VT(&flags_arg) = VT_I4;
    V_I4(&flags_arg) = 0;
    VARIANT ctx = Text(L""), address = Text(L"http://h/x");
    std::vector<VARIANT> args = {address, ctx, flags_arg, cancel_arg, target_arg};
    EXPECT_EQ(s.Raise(273, args), S_OK);
    EXPECT_EQ(cancel, VARIANT_TRUE);
    EXPECT_EQ(target, nullptr);
    ASSERT_EQ(h.boxes.shown.size(), 1u);
    EXPECT_EQ(h.boxes.shown[0].text, "Popup failed.");
    VariantClear(&ctx);
    VariantClear(&address);
}

// Memory that runs out while an error is described or shown never throws into the control:
// each allocation of a failing event and of a failing ambient put fails in turn.
TEST(EventSinkWin32, RunningOutOfMemoryOnAnErrorPathStaysOnThisSide) {
    Hosted h;
    Sink s(h.browser);
    h.browser.OnCommandStateChange = [](THostedBrowser&, std::int32_t, bool) {
        throw Error("Command state failed");
    };
    ComPtr<IOleClientSite> client;
    ASSERT_EQ(h.control().Object()->GetClientSite(client.Out()), S_OK);
    auto site = client.As<IDispatch>(IID_IDispatch);
    VARIANT text = Text(L"not a boolean");
    VARIANT command, enable;
    V_VT(&command) = VT_I4;
    V_I4(&command) = 1;
    V_VT(&enable) = VT_BOOL;
    V_BOOL(&enable) = VARIANT_TRUE;
    std::vector<VARIANT> state_args = {enable, command};  // made before any allocation fails
    const struct {
        const char* name;
        std::function<HRESULT()> call;
        std::vector<HRESULT> results;  // the first when nothing fails
    } calls[] = {
        {"event", [&] { return s.Raise(105, state_args); }, {S_OK}},
        {"ambient",
         [&] {
             DISPID put = DISPID_PROPERTYPUT;
             DISPPARAMS params{&text, &put, 1, 1};
             EXCEPINFO info{};
             const HRESULT hr = site->Invoke(-709, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params,
                                             nullptr, &info, nullptr);
             SysFreeString(info.bstrDescription);
             SysFreeString(info.bstrSource);
             return hr;
         },
         {DISP_E_EXCEPTION, E_OUTOFMEMORY}},
    };
    for (const auto& c : calls) {
        for (int n = 0;; ++n) {
            HRESULT hr = E_FAIL;
            bool hit = false;
            {
                test::FailingAllocation fail(n);
                EXPECT_NO_THROW(hr = c.call()) << c.name << ", allocation " << n;
                hit = fail.Hit();
            }
            if (!hit) {
                EXPECT_EQ(hr, c.results.front()) << c.name;
                break;
            }
            EXPECT_NE(std::find(c.results.begin(), c.results.end(), hr), c.results.end())
                << c.name << ", allocation " << n;
        }
    }
    VariantClear(&text);
}

TEST(EventSinkWin32, TheControlHasTheSinkConnected) {
    Hosted h;
    EventSink* sink = h.control().Sink();
    ASSERT_NE(sink, nullptr);
    const auto references = [sink] {
        sink->AddRef();
        return sink->Release();
    };
    (void)h.browser.Busy();  // the first property read completes the control's creation
    // The control's own reference and the one its DWebBrowserEvents2 connection point holds.
    EXPECT_EQ(references(), 2u);
}

}  // namespace
}  // namespace kelvra::browser::win32::testing
