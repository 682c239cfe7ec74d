// Element properties read by name, as the popup-size query reads "href", "fwidth" and
// "fheight" from a page's anchors.
#include <gtest/gtest.h>

#include <map>

#include "browser/win32/html_document_win32.h"
#include "fixture.h"

namespace kelvra::browser::win32::testing {
namespace {

// An element whose properties are found by name (case-insensitive, as a page's are).
class TestElement final : public IDispatch {
  public:
    std::map<std::wstring, VARIANT> properties;
    HRESULT fail_read = S_OK;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        *ppv = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IDispatch))
            return E_NOINTERFACE;
        *ppv = static_cast<IDispatch*>(this);
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetTypeInfoCount(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) override {
        DISPID id = 1;
        for (const auto& entry : properties) {
            if (_wcsicmp(entry.first.c_str(), names[0]) == 0) {
                ids[0] = id;
                return S_OK;
            }
            ++id;
        }
        ids[0] = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result,
                        EXCEPINFO*, UINT*) override {
        if (fail_read != S_OK)
            return fail_read;
        if (!(flags & DISPATCH_PROPERTYGET) || id < 1 ||
            id > static_cast<DISPID>(properties.size()))
            return DISP_E_MEMBERNOTFOUND;
        auto it = properties.begin();
        std::advance(it, id - 1);
        return VariantCopy(result, &it->second);
    }
    ~TestElement() {
        for (auto& entry : properties)
            VariantClear(&entry.second);
    }
};

VARIANT Text(const wchar_t* s) {
    VARIANT v;
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocString(s);
    return v;
}

VARIANT Number(LONG n) {
    VARIANT v;
    V_VT(&v) = VT_I4;
    V_I4(&v) = n;
    return v;
}

TEST(HtmlDocumentWin32, PropertiesAreReadByNameAsText) {
    TestElement a;
    a.properties[L"href"] = Text(L"http://h/popup?\u4E2D");
    a.properties[L"fwidth"] = Text(L"800");
    a.properties[L"fheight"] = Number(600);
    a.properties[L"title"] = VARIANT{};  // VT_EMPTY
    EXPECT_EQ(ReadPropertyByName(a, "href"), "http://h/popup?\xE4\xB8\xAD");
    EXPECT_EQ(ReadPropertyByName(a, "fwidth"), "800");
    EXPECT_EQ(ReadPropertyByName(a, "fheight"), "600") << "numbers are read as their text";
    EXPECT_EQ(ReadPropertyByName(a, "title"), "");
    try {
        ReadPropertyByName(a, "cwidth");
        ADD_FAILURE() << "a missing property must raise";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("\"cwidth\""), std::string::npos) << e.what();
    }
    a.fail_read = E_ACCESSDENIED;
    try {
        ReadPropertyByName(a, "href");
        ADD_FAILURE() << "a failing read must raise";
    } catch (const BrowserError& e) {
        EXPECT_EQ(e.code(), static_cast<HResult>(E_ACCESSDENIED));
    }
}

}  // namespace
}  // namespace kelvra::browser::win32::testing
