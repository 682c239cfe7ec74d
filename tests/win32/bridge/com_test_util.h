// Small helpers for the COM tests: OLE set-up, owned VARIANTs and DISPPARAMS in call
// order (COM wants the arguments last to first).
#pragma once

#include <windows.h>

#include <oleauto.h>

#include <string>
#include <vector>

namespace kelvra::test {

struct OleScope {
    OleScope() { OleInitialize(nullptr); }
    ~OleScope() { OleUninitialize(); }
};

class Args {
  public:
    Args() = default;
    Args(const Args&) = delete;
    Args& operator=(const Args&) = delete;
    ~Args() {
        for (VARIANT& v : values_)
            VariantClear(&v);
    }
    Args& Text(const wchar_t* text) {
        VARIANT v;
        VariantInit(&v);
        V_VT(&v) = VT_BSTR;
        V_BSTR(&v) = SysAllocString(text);
        values_.push_back(v);
        return *this;
    }
    Args& Int(LONG value) {
        VARIANT v;
        VariantInit(&v);
        V_VT(&v) = VT_I4;
        V_I4(&v) = value;
        values_.push_back(v);
        return *this;
    }
    Args& Empty() {
        VARIANT v;
        VariantInit(&v);
        values_.push_back(v);
        return *this;
    }
    // The DISPPARAMS for a call with these arguments in call order.
    DISPPARAMS Params() {
        reversed_.assign(values_.rbegin(), values_.rend());
        return DISPPARAMS{reversed_.empty() ? nullptr : reversed_.data(), nullptr,
                          static_cast<UINT>(reversed_.size()), 0};
    }

  private:
    std::vector<VARIANT> values_;
    std::vector<VARIANT> reversed_;  // shallow copies; values_ owns them
};

struct Excep {
    EXCEPINFO info{};
    ~Excep() {
        SysFreeString(info.bstrSource);
        SysFreeString(info.bstrDescription);
        SysFreeString(info.bstrHelpFile);
    }
    std::wstring Description() const { return info.bstrDescription ? info.bstrDescription : L""; }
    std::wstring Source() const { return info.bstrSource ? info.bstrSource : L""; }
};

// Invokes a member as a method with the arguments; result may be null.
inline HRESULT CallMethod(IDispatch* d, DISPID id, Args& args, Excep* excep = nullptr,
                          VARIANT* result = nullptr) {
    DISPPARAMS params = args.Params();
    UINT arg_err = 0;
    return d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result,
                     excep ? &excep->info : nullptr, &arg_err);
}

inline DISPID IdOf(IDispatch* d, const wchar_t* name, HRESULT* hr = nullptr) {
    std::wstring copy = name;
    LPOLESTR names[] = {copy.data()};
    DISPID id = DISPID_UNKNOWN;
    const HRESULT got = d->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (hr)
        *hr = got;
    return id;
}

}  // namespace kelvra::test
