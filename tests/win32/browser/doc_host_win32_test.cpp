// The document-host answers, asked through the host object's own interfaces: the client
// site the real WebBrowser control was given.
#include <gtest/gtest.h>

#include <cstring>

#include <docobj.h>
#include <downloadmgr.h>
#include <mshtmhst.h>

#include "browser/options.h"
#include "browser/win32/guids.h"
#include "fixture.h"
#include "platform/error.h"

namespace kelvra::browser::win32::testing {
namespace {

using O = TUserInterfaceOption;

template <class T>
ComPtr<T> SiteInterface(Hosted& h, const GUID& iid) {
    ComPtr<IOleClientSite> site;
    EXPECT_EQ(h.control().Object()->GetClientSite(site.Out()), S_OK);
    return site.As<T>(iid);
}

DWORD HostFlags(Hosted& h) {
    auto handler = SiteInterface<IDocHostUIHandler2>(h, kIidDocHostUIHandler2);
    DOCHOSTUIINFO info;
    std::memset(&info, 0xCC, sizeof info);
    EXPECT_EQ(handler->GetHostInfo(&info), S_OK);
    EXPECT_EQ(info.cbSize, sizeof(DOCHOSTUIINFO));
    if (sizeof(void*) == 4) {
        EXPECT_EQ(info.cbSize, 20u) << "the 32-bit record";
    }
    EXPECT_EQ(info.dwDoubleClick, 0u);
    EXPECT_EQ(info.pchHostCss, nullptr);
    EXPECT_EQ(info.pchHostNS, nullptr);
    return info.dwFlags;
}

TEST(DocHostWin32, HostFlagsFollowTheWindowOptions) {
    Hosted h;
    EXPECT_EQ(HostFlags(h), 0x44000u) << "before the window's value";
    h.browser.SetUserInterfaceOptions(
        {O::DontUse3DBorders, O::DontUseScrollBars, O::EnablesFormsAutoComplete, O::EnableThemes});
    EXPECT_EQ(HostFlags(h), 0x4400Cu) << "main and login window";
    h.browser.SetUserInterfaceOptions({O::DontUse3DBorders, O::DontUseScrollBars,
                                       O::ForceFlatScrollBars, O::EnablesFormsAutoComplete,
                                       O::EnableThemes});
    EXPECT_EQ(HostFlags(h), 0x4408Cu) << "popup window";
    h.browser.SetUserInterfaceOptions({});
    EXPECT_EQ(HostFlags(h), 0u);
}

HRESULT GetAmbient(IDispatch& site, DISPID id, VARIANT& out) {
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VariantInit(&out);
    return site.Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &out, nullptr, nullptr);
}

HRESULT PutAmbient(IDispatch& site, DISPID id, VARIANT value, EXCEPINFO* info) {
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&value, &named, 1, 1};
    return site.Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, info, nullptr);
}

TEST(DocHostWin32, AmbientDownloadControlUserModeAndErrors) {
    Hosted h;
    auto site = SiteInterface<IDispatch>(h, IID_IDispatch);
    VARIANT v;
    ASSERT_EQ(GetAmbient(*site.Get(), -5512, v), S_OK);
    EXPECT_EQ(V_VT(&v), VT_I4);
    EXPECT_EQ(V_I4(&v), 0x70);
    ASSERT_EQ(GetAmbient(*site.Get(), -709, v), S_OK);
    EXPECT_EQ(V_VT(&v), VT_BOOL);
    EXPECT_EQ(V_BOOL(&v), VARIANT_TRUE) << "user mode";
    EXPECT_EQ(GetAmbient(*site.Get(), -5513, v), DISP_E_MEMBERNOTFOUND)
        << "the platform's own user agent applies";

    VARIANT design;
    V_VT(&design) = VT_BOOL;
    V_BOOL(&design) = VARIANT_TRUE;
    EXPECT_EQ(PutAmbient(*site.Get(), -709, design, nullptr), S_OK);
    EXPECT_TRUE(h.browser.DesignMode);
    ASSERT_EQ(GetAmbient(*site.Get(), -709, v), S_OK);
    EXPECT_EQ(V_BOOL(&v), VARIANT_FALSE);

    // A value that is no boolean: the error comes back as an exception record.
    VARIANT text;
    V_VT(&text) = VT_BSTR;
    V_BSTR(&text) = SysAllocString(L"not a boolean");
    EXCEPINFO info{};
    EXPECT_EQ(PutAmbient(*site.Get(), -709, text, &info), DISP_E_EXCEPTION);
    EXPECT_EQ(info.wCode, 9999);
    EXPECT_NE(info.bstrDescription, nullptr);
    EXPECT_NE(info.bstrSource, nullptr);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrSource);
    VariantClear(&text);
    EXPECT_TRUE(h.browser.DesignMode) << "a failed put changes nothing";
}

// Key state for the accelerator test: exactly these modifiers down.
void HoldKeys(bool ctrl, bool shift, bool alt) {
    BYTE keys[256] = {};
    if (ctrl)
        keys[VK_CONTROL] = keys[VK_LCONTROL] = 0x80;
    if (shift)
        keys[VK_SHIFT] = keys[VK_LSHIFT] = 0x80;
    if (alt)
        keys[VK_MENU] = keys[VK_LMENU] = 0x80;
    ASSERT_TRUE(SetKeyboardState(keys));
}

TEST(DocHostWin32, CtrlShortcutsAreMaskedByTheCtrlState) {
    Hosted h;
    auto handler = SiteInterface<IDocHostUIHandler2>(h, kIidDocHostUIHandler2);
    struct Case {
        bool ctrl, shift, alt;
        UINT message;
        WPARAM key;
        HRESULT answer;
        const char* what;
    };
    const Case cases[] = {
        {true, false, false, WM_KEYDOWN, 'N', S_OK, "Ctrl+N swallowed"},
        {true, false, true, WM_KEYDOWN, 'N', S_OK, "Ctrl+Alt+N swallowed (Alt not consulted)"},
        {true, true, false, WM_KEYDOWN, 'N', S_FALSE, "Ctrl+Shift+N reaches the page"},
        {false, false, false, WM_KEYDOWN, 'N', S_FALSE, "plain N"},
        {true, false, false, WM_KEYDOWN, 'O', S_FALSE, "Ctrl+O reaches the platform"},
        {true, false, false, WM_KEYDOWN, 'P', S_FALSE, "Ctrl+P"},
        {true, false, false, WM_KEYUP, 'N', S_FALSE, "key up is never masked"},
    };
    for (const Case& c : cases) {
        HoldKeys(c.ctrl, c.shift, c.alt);
        MSG msg{};
        msg.hwnd = h.control().Handle();
        msg.message = c.message;
        msg.wParam = c.key;
        EXPECT_EQ(handler->TranslateAccelerator(&msg, nullptr, 0), c.answer) << c.what;
    }
    HoldKeys(false, false, false);
}

TEST(DocHostWin32, ScriptErrorsAndCommandStatus) {
    Hosted h;
    auto target = SiteInterface<IOleCommandTarget>(h, IID_IOleCommandTarget);
    VARIANT out;
    VariantInit(&out);
    EXPECT_EQ(target->Exec(&kCgidDocHostCommandHandler, 40, 0, nullptr, &out), S_OK);
    EXPECT_EQ(V_VT(&out), VT_BOOL);
    EXPECT_EQ(V_BOOL(&out), VARIANT_TRUE) << "scripts keep running, no dialog";

    EXPECT_EQ(target->Exec(&kCgidDocHostCommandHandler, 41, 0, nullptr, &out),
              OLECMDERR_E_NOTSUPPORTED);
    EXPECT_EQ(target->Exec(nullptr, 40, 0, nullptr, &out), OLECMDERR_E_NOTSUPPORTED);

    h.browser.ScriptErrorAction = TScriptErrorAction::eaCancel;
    VariantInit(&out);
    EXPECT_EQ(target->Exec(&kCgidDocHostCommandHandler, 40, 0, nullptr, &out), S_OK);
    EXPECT_EQ(V_BOOL(&out), VARIANT_FALSE);
    h.browser.ScriptErrorAction = TScriptErrorAction::eaAskUser;
    VariantInit(&out);
    EXPECT_EQ(target->Exec(&kCgidDocHostCommandHandler, 40, 0, nullptr, &out), S_FALSE);
    EXPECT_EQ(V_VT(&out), VT_EMPTY) << "left for the platform's dialog";

    OLECMD cmds[2] = {{OLECMDID_PRINT, 0}, {OLECMDID_SAVE, 0}};
    EXPECT_EQ(target->QueryStatus(nullptr, 2, cmds, nullptr), S_OK);
    EXPECT_EQ(cmds[0].cmdf, static_cast<DWORD>(OLECMDF_ENABLED));
    EXPECT_EQ(target->QueryStatus(nullptr, 0, nullptr, nullptr), E_POINTER);
}

// Services in the main and login windows (no download handler) and in the popup window.
TEST(DocHostWin32, ServicesPerWindowKind) {
    for (bool popup : {false, true}) {
        Hosted h;
        if (popup)
            h.browser.OnFileDownload = [](THostedBrowser&, const FileDownloadRequest&, HResult&) {};
        auto provider = SiteInterface<IServiceProvider>(h, IID_IServiceProvider);
        struct Case {
            GUID service;
            GUID iid;
            bool offered;
        };
        const Case cases[] = {
            {kIidProtectFocus, kIidProtectFocus, true},
            {kIidDownloadManager, kIidDownloadManager, popup},
            {kIidNewWindowManager, kIidNewWindowManager, false},
            {kIidAuthenticate, kIidAuthenticate, false},
            {kIidHostBehaviorInit, kIidHostBehaviorInit, false},
            {kIidHtmlOmWindowServices, kIidHtmlOmWindowServices, false},
            {IID_IOleCommandTarget, IID_IOleCommandTarget, false},
        };
        for (const Case& c : cases) {
            void* out = reinterpret_cast<void*>(1);
            const HRESULT hr = provider->QueryService(c.service, c.iid, &out);
            SCOPED_TRACE(GuidText(c.service) + (popup ? " popup" : " main"));
            if (c.offered) {
                EXPECT_EQ(hr, S_OK);
                ASSERT_NE(out, nullptr);
                static_cast<IUnknown*>(out)->Release();
            } else {
                EXPECT_EQ(hr, E_NOINTERFACE);
                EXPECT_EQ(out, nullptr);
            }
        }
        // An offered service still answers only interfaces the host has.
        void* out = reinterpret_cast<void*>(1);
        EXPECT_EQ(provider->QueryService(kIidProtectFocus, kIidNewWindowManager, &out),
                  E_NOINTERFACE);
        EXPECT_EQ(out, nullptr);
    }
}

TEST(DocHostWin32, FocusDownloadsAndFixedAnswers) {
    Hosted h;
    auto focus = SiteInterface<IProtectFocus>(h, kIidProtectFocus);
    BOOL allow = FALSE;
    EXPECT_EQ(focus->AllowFocusChange(&allow), S_OK);
    EXPECT_TRUE(allow);

    std::string headers;
    HResult answer = kENotImpl;
    h.browser.OnFileDownload = [&](THostedBrowser&, const FileDownloadRequest& r, HResult& res) {
        headers = r.pszHeaders;
        res = answer;
    };
    auto downloads = SiteInterface<IDownloadManager>(h, kIidDownloadManager);
    EXPECT_EQ(
        downloads->Download(nullptr, nullptr, 0, 0, nullptr, L"Content-Type: x/y", nullptr, 936),
        E_NOTIMPL)
        << "the popup's handler leaves the download to the platform";
    EXPECT_EQ(headers, "Content-Type: x/y");
    answer = kSOk;
    EXPECT_EQ(downloads->Download(nullptr, nullptr, 0, 0, nullptr, nullptr, nullptr, 0), S_OK);

    auto ui = SiteInterface<IDocHostUIHandler2>(h, kIidDocHostUIHandler2);
    EXPECT_EQ(ui->ShowUI(0, nullptr, nullptr, nullptr, nullptr), S_FALSE);
    EXPECT_EQ(ui->HideUI(), S_FALSE);
    EXPECT_EQ(ui->UpdateUI(), S_FALSE);
    EXPECT_EQ(ui->EnableModeless(TRUE), S_OK);
    EXPECT_EQ(ui->OnDocWindowActivate(TRUE), S_OK);
    EXPECT_EQ(ui->OnFrameWindowActivate(TRUE), S_OK);
    EXPECT_EQ(ui->ResizeBorder(nullptr, nullptr, TRUE), S_OK);
    LPOLESTR key = reinterpret_cast<LPOLESTR>(1);
    EXPECT_EQ(ui->GetOptionKeyPath(&key, 0), S_FALSE);
    EXPECT_EQ(key, nullptr);
    key = reinterpret_cast<LPOLESTR>(1);
    EXPECT_EQ(ui->GetOverrideKeyPath(&key, 0), S_FALSE);
    EXPECT_EQ(key, nullptr);
    LPWSTR url = reinterpret_cast<LPWSTR>(1);
    EXPECT_EQ(ui->TranslateUrl(0, const_cast<LPWSTR>(L"http://x/"), &url), S_FALSE);
    EXPECT_EQ(url, nullptr);
    IDataObject* data = reinterpret_cast<IDataObject*>(1);
    EXPECT_EQ(ui->FilterDataObject(nullptr, &data), S_FALSE);
    EXPECT_EQ(data, nullptr);
    IDropTarget* drop = reinterpret_cast<IDropTarget*>(1);
    EXPECT_EQ(ui->GetDropTarget(nullptr, &drop), E_NOTIMPL);
    EXPECT_EQ(drop, nullptr);
    EXPECT_TRUE(h.boxes.shown.empty()) << "setting the drop-target property raised nothing";

    auto show = SiteInterface<IDocHostShowUI>(h, kIidDocHostShowUI);
    LRESULT result = 0;
    EXPECT_EQ(show->ShowMessage(nullptr, nullptr, nullptr, 0, nullptr, 0, &result), S_FALSE);
    EXPECT_EQ(show->ShowHelp(nullptr, nullptr, 0, 0, POINT{}, nullptr), S_FALSE);
    auto zoom = SiteInterface<IZoomEvents>(h, kIidZoomEvents);
    EXPECT_EQ(zoom->OnZoomPercentChanged(150), S_FALSE);
}

TEST(DocHostWin32, ContextMenuAndExternalObjectComeFromTheWindow) {
    Hosted h;
    auto ui = SiteInterface<IDocHostUIHandler2>(h, kIidDocHostUIHandler2);
    POINT pt{5, 6};
    EXPECT_EQ(ui->ShowContextMenu(CONTEXT_MENU_DEFAULT, &pt, nullptr, nullptr), S_FALSE)
        << "no handler: the platform's own menu";
    Point seen;
    h.browser.OnShowContextMenu = [&](THostedBrowser&, std::uint32_t, const Point* p, void*, void*,
                                      HResult& r) {
        seen = *p;
        r = kSOk;
    };
    for (DWORD kind : {CONTEXT_MENU_DEFAULT, CONTEXT_MENU_IMAGE, CONTEXT_MENU_CONTROL,
                       CONTEXT_MENU_TABLE, CONTEXT_MENU_TEXTSELECT, CONTEXT_MENU_ANCHOR})
        EXPECT_EQ(ui->ShowContextMenu(kind, &pt, nullptr, nullptr), S_OK) << kind;
    EXPECT_EQ(seen.x, 5);
    EXPECT_EQ(seen.y, 6);
    h.browser.OnShowContextMenu = [](THostedBrowser&, std::uint32_t, const Point*, void*, void*,
                                     HResult&) { throw Error("Menu failed"); };
    EXPECT_EQ(ui->ShowContextMenu(0, &pt, nullptr, nullptr), S_FALSE);
    ASSERT_EQ(h.boxes.shown.size(), 1u);
    EXPECT_EQ(h.boxes.shown[0].text, "Menu failed.");

    IDispatch* external = reinterpret_cast<IDispatch*>(1);
    EXPECT_EQ(ui->GetExternal(&external), S_FALSE);
    EXPECT_EQ(external, nullptr);
    TestDispatch object;
    h.browser.OnGetExternal = [&](THostedBrowser&, std::shared_ptr<Dispatch>& out) {
        out = std::make_shared<TestExternal>(object);
    };
    ASSERT_EQ(ui->GetExternal(&external), S_OK);
    EXPECT_EQ(external, static_cast<IDispatch*>(&object));
    EXPECT_EQ(object.refs, 1u) << "the page holds the one reference";
    external->Release();
    h.browser.OnGetExternal = [](THostedBrowser&, std::shared_ptr<Dispatch>& out) {
        out = std::make_shared<Dispatch>();
    };
    EXPECT_EQ(ui->GetExternal(&external), S_FALSE) << "not a COM object: no external object";
    EXPECT_EQ(external, nullptr);

    // The automation side's own wrapper, found through the entry point's resolver.
    h.resolve = [&](const Dispatch&) -> IDispatch* {
        object.AddRef();
        return &object;
    };
    ASSERT_EQ(ui->GetExternal(&external), S_OK);
    EXPECT_EQ(external, static_cast<IDispatch*>(&object));
    external->Release();
    EXPECT_EQ(object.refs, 0u);
}

TEST(DocHostWin32, SiteOutlivingItsBrowserAnswersUnexpected) {
    ComPtr<IDocHostUIHandler2> ui;
    {
        Hosted h;
        ui = SiteInterface<IDocHostUIHandler2>(h, kIidDocHostUIHandler2);
    }
    DOCHOSTUIINFO info{};
    EXPECT_EQ(ui->GetHostInfo(&info), E_UNEXPECTED);
    IDispatch* external = nullptr;
    EXPECT_EQ(ui->GetExternal(&external), E_UNEXPECTED);
}

}  // namespace
}  // namespace kelvra::browser::win32::testing
