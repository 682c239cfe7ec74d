#include "fixture.h"

#include <gtest/gtest.h>

namespace kelvra::browser::win32::testing {
namespace {

// OLE stays initialised for the whole test program, as in the client.
class OleEnvironment final : public ::testing::Environment {
  public:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr))); }
    void TearDown() override { OleUninitialize(); }
};
const auto* const kOle = ::testing::AddGlobalTestEnvironment(new OleEnvironment);

LRESULT CALLBACK TestWindowProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    return DefWindowProcW(w, m, wp, lp);
}

}  // namespace

HWND MakeTopLevelWindow() {
    static const ATOM atom = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = TestWindowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"KelvraBrowserTestHost";
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        return RegisterClassW(&wc);
    }();
    (void)atom;
    HWND w =
        CreateWindowExW(0, L"KelvraBrowserTestHost", L"Host", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                        10, 10, 640, 480, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    // Left hidden: under Xvfb without a window manager, destroying a shown top-level window
    // waits two seconds for a withdrawal that never comes.
    return w;
}

ui::FormDefinition HostForm::Definition() {
    ui::FormDefinition d;
    d.class_name = "THostForm";
    d.client_width = 600;
    d.client_height = 400;
    return d;
}

Hosted::Hosted() : window(MakeTopLevelWindow()) {}

Hosted::~Hosted() {
    app.DestroyForms();
    if (IsWindow(window))
        DestroyWindow(window);
}

STDMETHODIMP TestDispatch::QueryInterface(REFIID riid, void** ppv) {
    *ppv = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
        *ppv = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

}  // namespace kelvra::browser::win32::testing
