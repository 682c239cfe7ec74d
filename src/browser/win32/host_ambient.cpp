// The site's IDispatch (ambient properties asked by the control) and IOleCommandTarget.
#include <cxxabi.h>

#include <cstdlib>
#include <exception>
#include <new>
#include <optional>
#include <typeinfo>

#include "browser/doc_host.h"
#include "browser/win32/com_util.h"
#include "browser/win32/guids.h"
#include "browser/win32/host_answer.h"
#include "browser/win32/host_site.h"

#include <olectl.h>

namespace kelvra::browser::win32 {
namespace {

// Container ambients the host answers besides its own (download control, user mode).
std::optional<VARIANT> StandardAmbient(DISPID id) {
    VARIANT v;
    VariantInit(&v);
    switch (id) {
        case DISPID_AMBIENT_LOCALEID:
            V_VT(&v) = VT_I4;
            V_I4(&v) = static_cast<LONG>(GetUserDefaultLCID());
            return v;
        case DISPID_AMBIENT_BACKCOLOR:
            V_VT(&v) = VT_I4;
            V_I4(&v) = static_cast<LONG>(0x80000000u | COLOR_WINDOW);
            return v;
        case DISPID_AMBIENT_FORECOLOR:
            V_VT(&v) = VT_I4;
            V_I4(&v) = static_cast<LONG>(0x80000000u | COLOR_WINDOWTEXT);
            return v;
        case DISPID_AMBIENT_MESSAGEREFLECT:
        case DISPID_AMBIENT_UIDEAD:
        case DISPID_AMBIENT_SHOWGRABHANDLES:
        case DISPID_AMBIENT_SHOWHATCHING:
        case DISPID_AMBIENT_DISPLAYASDEFAULT:
            V_VT(&v) = VT_BOOL;
            V_BOOL(&v) = VARIANT_FALSE;
            return v;
        case DISPID_AMBIENT_SUPPORTSMNEMONICS:
        case DISPID_AMBIENT_AUTOCLIP:
            V_VT(&v) = VT_BOOL;
            V_BOOL(&v) = VARIANT_TRUE;
            return v;
        default:
            return std::nullopt;
    }
}

std::string ClassNameOf(const std::exception& e) {
    int status = 0;
    char* name = abi::__cxa_demangle(typeid(e).name(), nullptr, nullptr, &status);
    std::string out = status == 0 && name ? name : typeid(e).name();
    std::free(name);
    return out;
}

void FillException(EXCEPINFO* info, const std::string& source, const std::string& message) {
    if (info == nullptr)
        return;
    ZeroMemory(info, sizeof *info);
    info->wCode = 9999;
    info->bstrSource = SysAllocString(Widen(source).c_str());
    info->bstrDescription = SysAllocString(Widen(message).c_str());
    info->dwHelpContext = 0;
}

HRESULT AnswerAmbient(THostedBrowser& b, DISPID id, WORD flags, DISPPARAMS* params,
                      VARIANT* result) {
    if (flags & DISPATCH_PROPERTYGET) {
        if (result == nullptr)
            return E_POINTER;
        if (auto own = AmbientGet(b, id)) {
            VariantClear(result);
            if (own->kind == AmbientValue::Kind::Bool) {
                V_VT(result) = VT_BOOL;
                V_BOOL(result) = own->bool_value ? VARIANT_TRUE : VARIANT_FALSE;
            } else {
                V_VT(result) = VT_I4;
                V_I4(result) = own->int_value;
            }
            return S_OK;
        }
        if (auto standard = StandardAmbient(id)) {
            VariantClear(result);
            *result = *standard;
            return S_OK;
        }
        return DISP_E_MEMBERNOTFOUND;
    }
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        if (id != kDispidAmbientUserMode)
            return DISP_E_MEMBERNOTFOUND;
        if (params == nullptr || params->cArgs != 1)
            throw Error("The user-mode property takes one value");
        VARIANT value;
        VariantInit(&value);
        Check(VariantChangeType(&value, &params->rgvarg[0], 0, VT_BOOL));
        AmbientPut(b, id, V_BOOL(&value) != VARIANT_FALSE);
        return S_OK;
    }
    return DISP_E_MEMBERNOTFOUND;
}

}  // namespace

STDMETHODIMP HostSite::GetTypeInfoCount(UINT* pctinfo) {
    if (pctinfo == nullptr)
        return E_POINTER;
    *pctinfo = 0;
    return S_OK;
}

STDMETHODIMP HostSite::GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) {
    if (ppTInfo)
        *ppTInfo = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP HostSite::GetIDsOfNames(REFIID, LPOLESTR*, UINT cNames, LCID, DISPID* rgDispId) {
    for (UINT i = 0; rgDispId && i < cNames; ++i)
        rgDispId[i] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
}

STDMETHODIMP HostSite::Invoke(DISPID dispIdMember, REFIID, LCID, WORD wFlags,
                              DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                              UINT*) {
    if (browser_ == nullptr)
        return E_UNEXPECTED;
    try {
        try {
            return AnswerAmbient(*browser_, dispIdMember, wFlags, pDispParams, pVarResult);
        } catch (const std::exception& e) {
            FillException(pExcepInfo, ClassNameOf(e), e.what());
        } catch (...) {
            FillException(pExcepInfo, "exception", "Unknown error");
        }
    } catch (const std::bad_alloc&) {
        // Describing the error needs memory too.
        if (pExcepInfo != nullptr)
            ZeroMemory(pExcepInfo, sizeof *pExcepInfo);
        return E_OUTOFMEMORY;
    }
    return DISP_E_EXCEPTION;
}

STDMETHODIMP HostSite::QueryStatus(const GUID*, ULONG cCmds, OLECMD prgCmds[], OLECMDTEXT*) {
    if (cCmds == 0 || prgCmds == nullptr)
        return E_POINTER;
    return HostAnswer(browser_, [&](THostedBrowser&) {
        std::uint32_t flags = 0;
        const HResult answer = AnswerQueryStatus(flags);
        prgCmds[0].cmdf = flags;
        return answer;
    });
}

STDMETHODIMP HostSite::Exec(const GUID* pguidCmdGroup, DWORD nCmdID, DWORD, VARIANT*,
                            VARIANT* pvaOut) {
    return HostAnswer(browser_, [&](THostedBrowser& b) {
        const std::string group = pguidCmdGroup ? GuidText(*pguidCmdGroup) : std::string();
        std::optional<bool> out;
        const HResult answer = AnswerExec(b, group, nCmdID, out);
        if (out && pvaOut) {
            VariantClear(pvaOut);
            V_VT(pvaOut) = VT_BOOL;
            V_BOOL(pvaOut) = *out ? VARIANT_TRUE : VARIANT_FALSE;
        }
        return answer;
    });
}

}  // namespace kelvra::browser::win32
