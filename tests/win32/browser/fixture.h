// A real WebBrowser control hosted on a form of the headless GUI backend, placed in a real
// top-level window the test owns.
#pragma once

#include <windows.h>

#include <ole2.h>

#include <atomic>
#include <memory>

#include "browser/hosted_browser.h"
#include "browser/win32/browser_backend_win32.h"
#include "browser/win32/com_dispatch.h"
#include "browser/win32/win32_browser.h"
#include "headless_browser.h"
#include "headless_ui.h"
#include "ui/application.h"
#include "ui/form.h"

namespace kelvra::browser::win32::testing {

HWND MakeTopLevelWindow();

class HostForm final : public ui::Form {
  public:
    HostForm(ui::Application& app, BrowserBackend& backend)
        : ui::Form(app, Definition()), Browser1(*this, "Browser1", backend) {}
    THostedBrowser Browser1;

  private:
    static ui::FormDefinition Definition();
};

struct Hosted {
    Hosted();
    ~Hosted();
    HWND window;
    headless::HeadlessUi ui;
    headless::HeadlessBoxes boxes{ui};
    // Stands in for the entry point's resolver of the automation side's objects.
    ExternalResolver resolve;
    Win32BrowserBackend backend{
        [this](const ui::Form&) { return window; },
        [this](const Dispatch& d) { return resolve ? resolve(d) : nullptr; }};
    ui::Application app{ui, boxes};
    HostForm& form = app.CreateForm<HostForm>(backend);
    THostedBrowser& browser = form.Browser1;
    Win32BrowserControl& control() const {
        return static_cast<Win32BrowserControl&>(browser.control());
    }
};

// A counted IDispatch that answers nothing, standing in for the automation object.
class TestDispatch final : public IDispatch {
  public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }  // owned by the test
    STDMETHODIMP GetTypeInfoCount(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return DISP_E_UNKNOWNNAME;
    }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                        UINT*) override {
        return DISP_E_MEMBERNOTFOUND;
    }
    std::atomic<ULONG> refs{0};
};

class TestExternal final : public ComDispatch {
  public:
    explicit TestExternal(TestDispatch& object) : object_(object) { object_.AddRef(); }
    ~TestExternal() override { object_.Release(); }
    IDispatch* NewReference() const override {
        object_.AddRef();
        return &object_;
    }

  private:
    TestDispatch& object_;
};

}  // namespace kelvra::browser::win32::testing
